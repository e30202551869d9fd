#include "storage/installsets.h"

#include <gtest/gtest.h>

#include "common/errors.h"

namespace orva {
namespace {

TOrvaInstallSet Sample(int version) {
  TOrvaInstallSet s;
  s.version = version;
  s.diskNumber = 2;
  s.setName = "\x83\x51\x81\x5b\x83\x80";
  s.texts1 = {"a", "b", "c"};
  s.byte1 = 1;
  s.text2 = "t2";
  s.byte2 = 2;
  s.text3 = "t3";
  s.int1 = -7;
  s.byte3 = 3;
  s.byte4 = 4;
  s.texts4 = {"d", "e"};
  s.records = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  s.totals = {9, 10, 11, 12};
  if (version > 99) s.totals[0] = 0x100000000LL;
  s.byte5 = 5;
  if (version > 100) s.byte6 = 6;
  if (version > 101) s.list1 = {"x", "y"};
  if (version > 102) s.contentComplete = true;
  if (version > 103) s.byte7 = 7;
  if (version > 104) s.byte8 = 8;
  if (version > 105) s.list2 = {"z"};
  if (version > 106) s.text5 = "t5";
  if (version > 107) s.texts6 = {"f", "g"};
  return s;
}

class InstallSetVersions : public ::testing::TestWithParam<int> {};

TEST_P(InstallSetVersions, RoundTripsByteForByte) {
  TMxMemoryStream out;
  Sample(GetParam()).Write(out);
  TOrvaInstallSet back;
  back.Read(out);
  EXPECT_EQ(back.version, GetParam());
  EXPECT_EQ(back.diskNumber, 2);
  EXPECT_EQ(back.setName, "\x83\x51\x81\x5b\x83\x80");
  EXPECT_EQ(back.contentComplete, GetParam() > 102);
  EXPECT_EQ(back.totals, Sample(GetParam()).totals);
  TMxMemoryStream again;
  back.Write(again);
  EXPECT_EQ(again.Bytes(), out.Bytes());
}

INSTANTIATE_TEST_SUITE_P(All, InstallSetVersions, ::testing::Values(0, 99, 100, 101, 102, 103, 104, 105, 106, 107, 108));

TEST(InstallSet, EmptyListEntriesAreSkipped) {
  auto s = Sample(108);
  s.list1 = {"x", "", "y"};
  TMxMemoryStream out;
  s.Write(out);
  TOrvaInstallSet back;
  back.Read(out);
  EXPECT_EQ(back.list1, (std::vector<std::string>{"x", "y"}));
}

TEST(InstallSet, DamagedAndNewerFilesAreRefused) {
  TMxMemoryStream out;
  Sample(108).Write(out);
  const auto bytes = out.Bytes();
  for (size_t len = 0; len < bytes.size(); ++len) {
    TMxMemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(len)));
    TOrvaInstallSet s;
    EXPECT_THROW(s.Read(cut), OrvaError) << len;
  }
  TMxMemoryStream newer(std::string("is109") + std::string(200, '\0'));
  TOrvaInstallSet s;
  EXPECT_THROW(s.Read(newer), OrvaError);
}

TEST(InstallSet, HugeRecordCountIsRefusedBeforeAllocating) {
  TMxMemoryStream out;
  Sample(0).Write(out);
  auto bytes = out.Bytes();
  const size_t countAt = 4 + (4 + 6) + 3 * (4 + 1) + 1 + (4 + 2) + 1;
  for (int i = 0; i < 4; ++i) bytes[countAt + static_cast<size_t>(i)] = i == 3 ? 0x7F : 0xFF;
  TMxMemoryStream s(bytes);
  TOrvaInstallSet set;
  EXPECT_THROW(set.Read(s), OrvaError);
}

}  // namespace
}  // namespace orva
