// orvatool image: encode, info and decode on real files.
#include <gtest/gtest.h>

#include "imaging/pictures.h"
#include "testsupport.h"
#include "vornrecords.h"

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

TEST(ImageCommand, ReadsByExtensionIncludingVersion0Layered) {
  orvatest::TempDir dir;
  // A version-0 record-generation file has no magic: only its name says
  // what it is.
  TDIBX plane(3, 2, 24);
  plane.Clear(0x203040);
  orvatest::RecFile rec;
  rec.version = 0;
  orvatest::RecFrame frame;
  frame.width = 3;
  frame.height = 2;
  frame.bpp = 24;
  frame.delay = 70;
  orvatest::RecLayer layer;
  layer.color = orvatest::PlaneRows(plane);
  frame.layers.push_back(layer);
  rec.frames = {frame, frame};
  orvatest::WriteFile(dir / "old.vor", orvatest::WriteRecordFile(rec));
  int rc = -1;
  const std::string info = Tool("info " + (dir / "old.vor"), &rc);
  EXPECT_EQ(rc, 0) << info;
  EXPECT_NE(info.find("format: layered (record generation, version 0)"), std::string::npos) << info;
  EXPECT_NE(info.find("frames: 2"), std::string::npos) << info;
  Tool("decode " + (dir / "old.vor") + " " + (dir / "old.png") + " --frame 1", &rc);
  ASSERT_EQ(rc, 0);
  const std::string png = orvatest::ReadFile(dir / "old.png");
  TPicture pic = DecodePng(std::vector<uint8_t>(png.begin(), png.end()));
  EXPECT_EQ(pic.color->GetPixel(2, 1), 0x203040u);

  // Other extensions are refused with the file's name, whatever they hold.
  orvatest::WriteFile(dir / "old.tga", orvatest::WriteRecordFile(rec));
  for (const std::string action : {"info ", "decode "}) {
    const std::string out = Tool(action + (dir / "old.tga") + (action == "decode " ? " x.png" : ""), &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("old.tga: not a picture name"), std::string::npos) << out;
  }
}

TEST(ImageCommand, EncodesSeveralInputsAsFrames) {
  orvatest::TempDir dir;
  TDIBX red(2, 2, 24), blue(2, 2, 24);
  red.Clear(0xFF0000);
  blue.Clear(0x0000FF);
  orvatest::WriteFile(dir / "a.png", EncodePng(red, nullptr));
  orvatest::WriteFile(dir / "b.BMP", EncodeBmp24(blue));
  const std::string inputs = (dir / "a.png") + " " + (dir / "b.BMP") + " " + (dir / "a.png") + " ";
  struct Case {
    std::string delay;
    int status;
    std::vector<std::string> expected;
  } cases[] = {
      {"", 0, {"frames: 3", "delay 0"}},
      {" --delay 80", 0, {"frame 0: 2x2", "frame 2: 2x2, 24 bits, 1 layers, alpha no, transparent none, delay 80"}},
      {" --delay 10,20,30", 0, {"delay 10,", "delay 20,", "delay 30,"}},
      {" --delay 10,20", 1, {"--delay gives 2 delays for 3 frames"}},
      {" --delay 10,-1,3", 1, {"cannot be negative"}},
      {" --delay 1,,2", 1, {"not a number"}},
  };
  for (const Case& c : cases) {
    int rc = -1;
    const std::string out = Tool("encode " + inputs + (dir / "anim.vor") + c.delay, &rc);
    ASSERT_EQ(rc, c.status) << c.delay << ": " << out;
    const std::string text = c.status == 0 ? Tool("info " + (dir / "anim.vor"), &rc) : out;
    for (const std::string& e : c.expected) EXPECT_NE(text.find(e), std::string::npos) << c.delay << ": " << text;
  }
  int rc = -1;
  Tool("decode " + (dir / "anim.vor") + " " + (dir / "b.png") + " --frame 1", &rc);
  ASSERT_EQ(rc, 0);
  const std::string png = orvatest::ReadFile(dir / "b.png");
  EXPECT_EQ(DecodePng(std::vector<uint8_t>(png.begin(), png.end())).color->GetPixel(0, 0), 0x0000FFu);
  const std::string refused = Tool("encode " + (dir / "a.png") + " " + (dir / "notes.txt") + " " + (dir / "x.vor"), &rc);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(refused.find("notes.txt: not a picture name"), std::string::npos) << refused;
}

}  // namespace
}  // namespace orva
