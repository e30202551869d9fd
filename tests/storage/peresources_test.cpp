#include "storage/peresources.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "testsupport.h"

namespace orva {
namespace {

TEST(PeResources, FindsANamedResourceCaseInsensitively) {
  std::vector<uint8_t> data = orvatest::Bytes("resource payload");
  TMxMemoryStream pe(BuildPeWithResource("DUMMY", "BINTYPE", data));
  EXPECT_TRUE(IsPeFile(pe));
  auto loc = FindPeResource(pe, "dummy", "BinType");
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->size, static_cast<int64_t>(data.size()));
  EXPECT_EQ(pe.AsString().substr(static_cast<size_t>(loc->offset), data.size()), "resource payload");
  EXPECT_FALSE(FindPeResource(pe, "OTHER", "BINTYPE"));
  EXPECT_FALSE(FindPeResource(pe, "DUMMY", "#10"));
}

TEST(PeResources, NotAProgramFile) {
  TMxMemoryStream s("vf this is an archive");
  EXPECT_FALSE(IsPeFile(s));
  EXPECT_THROW(FindPeResource(s, "DUMMY", "BINTYPE"), OrvaError);
}

TEST(PeResources, EveryTruncationAndByteFlipFailsCleanly) {
  auto pe = BuildPeWithResource("DUMMY", "BINTYPE", orvatest::Bytes("abc"));
  for (size_t len = 0; len < pe.size(); len += 3) {
    TMxMemoryStream s(std::vector<uint8_t>(pe.begin(), pe.begin() + static_cast<long>(len)));
    try {
      FindPeResource(s, "DUMMY", "BINTYPE");
    } catch (const OrvaError&) {
    }
  }
  for (size_t at = 0; at < pe.size(); ++at) {
    auto bad = pe;
    bad[at] ^= 0xA5;
    TMxMemoryStream s(bad);
    try {
      auto loc = FindPeResource(s, "DUMMY", "BINTYPE");
      if (loc) {
        EXPECT_LE(loc->offset + loc->size, static_cast<int64_t>(bad.size()));
      }
    } catch (const OrvaError&) {
    }
  }
}

}  // namespace
}  // namespace orva
