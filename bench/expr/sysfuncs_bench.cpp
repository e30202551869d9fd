// Text and array functions of the value library against Lua 5.4's string
// and table libraries on the same work: replacing every occurrence in a
// text, cutting a text into pieces, and sorting an array of texts.
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include <string>

#include "common/cp932.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"
#include "expr/sysfuncs_library.h"

namespace {

using namespace orva;

// A 4 KB text of comma-separated words with double-byte characters in it.
std::string SampleText() {
  std::string s;
  for (int i = 0; s.size() < 4096; ++i) s += "word" + std::to_string(i * 7919 % 1000) + Sys("表示") + ",";
  return s;
}

struct Library {
  explicit Library(const char* text) {
    RegisterSystemFunctions(funcs);
    vars.Declare("s", PT_STR).Value()->SetStr(SampleText());
    vars.Declare("a", PT_STR);
    LoadStatement(text, parser);
  }
  TSystemVarSource source;
  TParamCollection vars{&source};
  TSysFuncMan funcs;
  TOrvaParser parser;
};

void RunOrva(benchmark::State& state, const char* text) {
  Library lib(text);
  for (auto _ : state) {
    lib.parser.Execute(lib.vars, lib.funcs);
    benchmark::DoNotOptimize(lib.parser.Result());
  }
}

void RunLua(benchmark::State& state, const char* chunk) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_pushlstring(L, SampleText().data(), SampleText().size());
  lua_setglobal(L, "s");
  luaL_loadstring(L, chunk);
  int ref = luaL_ref(L, LUA_REGISTRYINDEX);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    lua_call(L, 0, 0);
  }
  lua_close(L);
}

// StringReplace of every "," (character-aware) against gsub with a plain pattern.
void BM_ReplaceAll_Orva(benchmark::State& st) { RunOrva(st, "StringReplace(s, \",\", \";\", TRUE)"); }
void BM_ReplaceAll_Lua(benchmark::State& st) { RunLua(st, "local r = s:gsub(',', ';')"); }
// Cutting the text at "," into an array.
void BM_Split_Orva(benchmark::State& st) { RunOrva(st, "StringToArray(s, a, \",\")"); }
void BM_Split_Lua(benchmark::State& st) {
  RunLua(st, "local t = {} for w in s:gmatch('([^,]*)') do t[#t + 1] = w end");
}
// Sorting the pieces (about 370 texts) from the same unsorted order each time.
void BM_Sort_Orva(benchmark::State& st) { RunOrva(st, "StringToArray(s, a, \",\") + SortStr(a)"); }
void BM_Sort_Lua(benchmark::State& st) {
  RunLua(st, "local t = {} for w in s:gmatch('([^,]*)') do t[#t + 1] = w end table.sort(t)");
}

BENCHMARK(BM_ReplaceAll_Orva);
BENCHMARK(BM_ReplaceAll_Lua);
BENCHMARK(BM_Split_Orva);
BENCHMARK(BM_Split_Lua);
BENCHMARK(BM_Sort_Orva);
BENCHMARK(BM_Sort_Lua);

}  // namespace

BENCHMARK_MAIN();
