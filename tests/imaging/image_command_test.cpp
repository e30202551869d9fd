// orvatool image: encode, info and decode on real files.
#include <gtest/gtest.h>

#include "imaging/pictures.h"
#include "testsupport.h"

namespace orva {
namespace {

std::string Tool(const std::string& args, int* status = nullptr) {
  std::string out;
  const int rc = orvatest::RunCommand(std::string(ORVATOOL_PATH) + " image " + args + " 2>&1", &out);
  if (status) *status = rc;
  return out;
}

TEST(ImageCommand, EncodeInfoDecodeRoundTrip) {
  orvatest::TempDir dir;
  TDIBX color(6, 4, 24), alpha(6, 4, 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      color.SetPixel(x, y, static_cast<uint32_t>(x * 0x2A0000 + y * 0x3300 + 0x40));
      alpha.SetPixel(x, y, static_cast<uint32_t>(x * 50));
    }
  orvatest::WriteFile(dir / "in.png", EncodePng(color, &alpha));
  int rc = -1;
  Tool("encode " + (dir / "in.png") + " " + (dir / "pic.vor") + " --ident-code 99", &rc);
  ASSERT_EQ(rc, 0);
  const std::string info = Tool("info " + (dir / "pic.vor") + " --ident-code 99", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(info.find("XML generation"), std::string::npos) << info;
  EXPECT_NE(info.find("frame 0: 6x4, 24 bits, 1 layers, alpha yes"), std::string::npos) << info;
  Tool("decode " + (dir / "pic.vor") + " " + (dir / "out.png") + " --ident-code 99", &rc);
  ASSERT_EQ(rc, 0);
  const std::string png = orvatest::ReadFile(dir / "out.png");
  TPicture pic = DecodePng(std::vector<uint8_t>(png.begin(), png.end()));
  ASSERT_NE(pic.alpha, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(pic.color->GetPixel(x, y), color.GetPixel(x, y));
      EXPECT_EQ(pic.alpha->GetPixel(x, y), alpha.GetPixel(x, y));
    }
  Tool("decode " + (dir / "pic.vor") + " " + (dir / "x.png") + " --frame 2", &rc);
  EXPECT_EQ(rc, 1);
  Tool("decode", &rc);
  EXPECT_EQ(rc, 1);
  Tool("paint", &rc);
  EXPECT_EQ(rc, 2);
}

}  // namespace
}  // namespace orva
