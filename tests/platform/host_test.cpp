#include "platform/host.h"

#include <gtest/gtest.h>

#include <map>

namespace orva::platform {
namespace {

EnvLookup Env(std::map<std::string, std::string> vars) {
  return [vars](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(KnownFolders, FollowTheXdgRules) {
  auto f = FindKnownFolders(Env({{"HOME", "/home/u/"}}));
  EXPECT_EQ(f.home, "/home/u");
  EXPECT_EQ(f.dataHome, "/home/u/.local/share");
  EXPECT_EQ(f.configHome, "/home/u/.config");
  EXPECT_EQ(f.temp, "/tmp");
  EXPECT_EQ(f.runtimeDir, "/tmp");

  f = FindKnownFolders(Env({{"HOME", "/h"},
                            {"XDG_DATA_HOME", "/d"},
                            {"XDG_CONFIG_HOME", "relative/ignored"},
                            {"XDG_RUNTIME_DIR", "/run/user/1"},
                            {"TMPDIR", "/var/tmp"}}));
  EXPECT_EQ(f.dataHome, "/d");
  EXPECT_EQ(f.configHome, "/h/.config");
  EXPECT_EQ(f.runtimeDir, "/run/user/1");
  EXPECT_EQ(f.temp, "/var/tmp");

  EXPECT_EQ(FindKnownFolders(Env({})).runtimeDir, "/tmp");
}

TEST(UserLanguage, TheFirstSetVariableDecides) {
  struct Case {
    std::map<std::string, std::string> env;
    bool japanese;
  };
  const std::vector<Case> cases = {
      {{{"LANG", "ja_JP.UTF-8"}}, true},
      {{{"LANG", "en_US.UTF-8"}}, false},
      {{{"LC_ALL", "C"}, {"LANG", "ja_JP.UTF-8"}}, false},
      {{{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP"}, {"LANG", "C"}}, true},
      {{}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(UserLanguageIsJapanese(Env(c.env)), c.japanese);
}

}  // namespace
}  // namespace orva::platform
