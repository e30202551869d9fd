# Small helpers shared by every subsystem's CMakeLists.

# Adds every sub-folder of DIR that holds a CMakeLists.txt, in alphabetical
# order, so a new subsystem only needs its own folder.
function(orva_add_subdirectories dir)
  file(GLOB children RELATIVE ${dir} ${dir}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${dir}/${child} AND EXISTS ${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# orva_add_test(NAME SOURCES a.cpp b.cpp LIBS orva_storage ...)
function(orva_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} orva_testsupport GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ORVA_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  # MIDI sounds the same on every machine: the tests name their SoundFont.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1;ORVA_SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2")
endfunction()

# orva_add_fuzzer(NAME SOURCE file.cpp LIBS orva_storage ...)
function(orva_add_fuzzer name)
  cmake_parse_arguments(F "" "SOURCE" "LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCE})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
