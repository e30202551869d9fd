#include "common/paths.h"

#include <gtest/gtest.h>

#include "testsupport.h"

namespace orva::paths {
namespace {

const std::string kSo = "\x83\x5c";  // trail byte is '\\'

TEST(Paths, NameParts) {
  struct Case { std::string name, ext, file, dir; };
  for (const auto& c : {Case{"a\\b.txt", ".txt", "b.txt", "a\\"}, Case{"noext", "", "noext", ""},
                        Case{"dir.d\\file", "", "file", "dir.d\\"}, Case{kSo + ".png", ".png", kSo + ".png", ""},
                        Case{"x\\" + kSo, "", kSo, "x\\"}, Case{"a/b.ogg", ".ogg", "b.ogg", "a/"}}) {
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFilePath(c.name), c.dir) << c.name;
  }
  EXPECT_EQ(ChangeFileExt("game.dat", ".ext"), "game.ext");
  EXPECT_EQ(IncludeTrailingBackslash(kSo), kSo + "\\");
  EXPECT_EQ(IncludeTrailingBackslash("a\\"), "a\\");
}

TEST(Paths, HostExtensions) {
  // "あ" in UTF-8 ends with a byte that code page 932 would take for a lead byte.
  const struct {
    const char* path;
    const char* ext;
  } cases[] = {{"pic.PNG", ".PNG"}, {"dir.d/file", ""}, {"a/b", ""}, {"\xE3\x81\x82.vor", ".vor"}, {"x.tar.gz", ".gz"}};
  for (const auto& c : cases) EXPECT_EQ(ExtractHostExt(c.path), c.ext) << c.path;
}

TEST(Paths, ComponentsNeverSplitATrailByte) {
  EXPECT_EQ(SplitComponents("a\\" + kSo + "\\\\b/c"), (std::vector<std::string>{"a", kSo, "b", "c"}));
}

TEST(Paths, NamesThatEscapeTheirFolder) {
  struct Case { std::string name; bool escapes; };
  for (const auto& c : {Case{"a\\b", false}, Case{"..\\x", true}, Case{"a\\..\\..\\x", true}, Case{"\\abs", true},
                        Case{"/abs", true}, Case{"C:\\x", true}, Case{"..a\\b", false}, Case{kSo + "..", false}})
    EXPECT_EQ(EscapesFolder(c.name), c.escapes) << c.name;
}

TEST(Paths, ResolvesHostFilesCaseInsensitively) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "Data/Pic.PNG", "x");
  orvatest::WriteFile(dir / "Data/ソ.txt", "y");
  EXPECT_EQ(ResolveCaseInsensitive(dir.path(), "data\\pic.png"), dir / "Data/Pic.PNG");
  EXPECT_EQ(ResolveCaseInsensitive(dir.path(), "DATA\\" + kSo + ".TXT"), dir / "Data/ソ.txt");
  EXPECT_FALSE(ResolveCaseInsensitive(dir.path(), "data\\missing.png"));
  // A file made after the folder was listed is still found.
  orvatest::WriteFile(dir / "Data/Later.bin", "z");
  EXPECT_EQ(ResolveCaseInsensitive(dir.path(), "data\\later.BIN"), dir / "Data/Later.bin");
}

}  // namespace
}  // namespace orva::paths
