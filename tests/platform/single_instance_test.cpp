#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/errors.h"
#include "testsupport.h"

namespace orva::platform {
namespace {

TEST(InstanceLockName, FoldsCaseAndSeparators) {
  struct Case {
    std::string folder, name;
  };
  const std::vector<Case> cases = {
      {"/home/ai/Games/Demo", "-HOME-AI-GAMES-DEMO-"},
      {"/home/ai/Games/Demo/", "-HOME-AI-GAMES-DEMO-"},   // a trailing "/" makes no difference
      {"/home/ai/games/demo", "-HOME-AI-GAMES-DEMO-"},    // nor does case
      {"/ゲーム/a", "-ゲーム-A-"},                         // non-ASCII bytes stay as they are
      {"/", "-"},
  };
  for (const auto& c : cases) EXPECT_EQ(InstanceLockName(c.folder), c.name) << c.folder;
}

TEST(InstanceLockName, LongFoldersAreHashedIntoAFileName) {
  const std::string base = "/" + std::string(300, 'a');
  const std::string a = InstanceLockName(base + "/one"), b = InstanceLockName(base + "/two");
  EXPECT_LE(a.size(), 180u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a, InstanceLockName(base + "/ONE"));
  // Cut on a character boundary: never half of a UTF-8 sequence.
  const std::string wide = InstanceLockName("/" + std::string(60, 'x') + [] {
    std::string s;
    for (int i = 0; i < 80; ++i) s += "あ";
    return s;
  }());
  const size_t tilde = wide.rfind('~');
  ASSERT_NE(tilde, std::string::npos);
  EXPECT_EQ((tilde - 61) % 3, 0u);  // "-", 60 "X", then whole three-byte characters
}

TEST(SingleInstanceLock, OneHolderPerFolder) {
  orvatest::TempDir dir;
  auto first = SingleInstanceLock::Acquire("/games/demo", dir.path());
  ASSERT_TRUE(first);
  EXPECT_FALSE(SingleInstanceLock::Acquire("/GAMES/DEMO/", dir.path()));
  EXPECT_TRUE(SingleInstanceLock::Acquire("/games/other", dir.path()));
  first.reset();
  EXPECT_TRUE(SingleInstanceLock::Acquire("/games/demo", dir.path()));
}

TEST(SingleInstanceLock, AMissingLockFolderIsAnError) {
  orvatest::TempDir dir;
  EXPECT_THROW(SingleInstanceLock::Acquire("/games/demo", dir / "missing"), OrvaError);
}

}  // namespace
}  // namespace orva::platform
