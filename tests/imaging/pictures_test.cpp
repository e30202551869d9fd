// Plain picture files: BMP, PNG, JPEG and GIF.
#include <gtest/gtest.h>

#include <cstring>

#include "common/errors.h"
#include "imaging/pictures.h"
#include "vornrecords.h"

namespace orva {
namespace {

std::unique_ptr<TDIBX> Gradient(int w, int h) {
  auto s = std::make_unique<TDIBX>(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s->SetPixel(x, y, static_cast<uint32_t>((x * 40) << 16 | (y * 50) << 8 | (x + y) * 9));
  return s;
}

bool Same(TCustomDIBX& a, TCustomDIBX& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.PixelToRgb(a.GetPixel(x, y)) != b.PixelToRgb(b.GetPixel(x, y))) return false;
  return true;
}

TEST(Pictures, SniffsByFirstBytes) {
  struct Case {
    std::string bytes;
    PictureKind kind;
  } cases[] = {{"BM....", PictureKind::Bmp},       {"\x89PNG\r\n", PictureKind::Png},
               {"Vorn107", PictureKind::Vorn},      {"VornX200", PictureKind::Vorn},
               {"\xFF\xD8\xFF\xE0", PictureKind::Jpeg}, {"GIF89a", PictureKind::Gif},
               {"GIF90a", PictureKind::Unknown},    {"", PictureKind::Unknown}};
  for (const Case& c : cases) {
    std::vector<uint8_t> b(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(SniffPicture(b), c.kind) << c.bytes;
  }
}

TEST(Pictures, PngRoundTripWithAlpha) {
  auto color = Gradient(5, 4);
  TDIBX alpha(5, 4, 8);
  for (int i = 0; i < 20; ++i) alpha.SetPixel(i % 5, i / 5, static_cast<uint32_t>(i * 13));
  TPicture pic = DecodePng(EncodePng(*color, &alpha));
  EXPECT_TRUE(Same(*pic.color, *color));
  ASSERT_NE(pic.alpha, nullptr);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(pic.alpha->GetPixel(i % 5, i / 5), static_cast<uint32_t>(i * 13));
  TPicture opaque = DecodePng(EncodePng(*color, nullptr));
  EXPECT_EQ(opaque.alpha, nullptr);
  EXPECT_EQ(opaque.transColor, -1);
}

TEST(Pictures, BmpFormats) {
  auto color = Gradient(3, 3);
  TPicture pic = DecodeBmp(EncodeBmp24(*color));
  EXPECT_TRUE(Same(*pic.color, *color));
  // A top-down 32-bit bitmap whose fourth byte is the alpha plane, and an
  // 8-bit one with a palette.
  auto bmp = [](int bits, int32_t h, const std::vector<uint8_t>& pixels, const std::vector<uint32_t>& pal) {
    std::vector<uint8_t> out(54 + pal.size() * 4, 0);
    auto put = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put(10, static_cast<uint32_t>(54 + pal.size() * 4));
    put(14, 40);
    put(18, 2);
    put(22, static_cast<uint32_t>(h));
    out[26] = 1;
    out[28] = static_cast<uint8_t>(bits);
    for (size_t i = 0; i < pal.size(); ++i) put(54 + 4 * i, pal[i]);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  };
  TPicture p32 = DecodeBmp(bmp(32, -1, {1, 2, 3, 200, 4, 5, 6, 0}, {}));
  EXPECT_EQ(p32.color->BitCount(), 24);
  EXPECT_EQ(p32.color->GetPixel(0, 0), 0x030201u);
  ASSERT_NE(p32.alpha, nullptr);
  EXPECT_EQ(p32.alpha->GetPixel(0, 0), 200u);
  EXPECT_EQ(p32.alpha->GetPixel(1, 0), 0u);
  std::vector<uint32_t> pal(256, 0);
  pal[1] = 0x112233;
  TPicture p8 = DecodeBmp(bmp(8, 1, {1, 0, 0, 0}, pal));
  EXPECT_EQ(p8.color->BitCount(), 8);
  EXPECT_EQ(p8.color->PixelToRgb(p8.color->GetPixel(0, 0)), 0x112233u);
  // Rows that are not all there, odd depths and absurd sizes are refused.
  const std::vector<std::vector<uint8_t>> bad = {
      bmp(32, 1, {1, 2, 3}, {}), bmp(7, 1, {0, 0, 0, 0}, {}), bmp(24, 0x7FFFFFFF, {0, 0, 0, 0}, {}),
      std::vector<uint8_t>{'B', 'M', 0, 0}};
  for (const auto& b : bad) EXPECT_THROW(DecodeBmp(b), OrvaError);
}

TEST(Pictures, JpegRoundTripIsClose) {
  auto color = std::make_unique<TDIBX>(16, 8, 24);
  color->Clear(0x336699);
  TPicture pic = DecodeJpeg(EncodeJpeg(*color, 95));
  ASSERT_EQ(pic.color->Width(), 16);
  const uint32_t p = pic.color->GetPixel(5, 5);
  EXPECT_NEAR(static_cast<int>(p >> 16), 0x33, 3);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 0x99, 3);
}

TEST(Pictures, GifFirstImageWithTransparentIndex) {
  TPicture pic = DecodeGif(orvatest::TinyGif());
  ASSERT_EQ(pic.color->BitCount(), 8);
  EXPECT_EQ(pic.transColor, 3);
  EXPECT_EQ(pic.color->GetPixel(1, 0), 1u);
  EXPECT_EQ(pic.color->PixelToRgb(pic.color->GetPixel(2, 0)), 0x00FF00u);
  std::vector<uint8_t> cut = orvatest::TinyGif();
  cut.resize(cut.size() / 2);
  EXPECT_THROW(DecodeGif(cut), OrvaError);
}

TEST(Pictures, BrokenDataNeverCrashes) {
  std::vector<std::vector<uint8_t>> inputs;
  for (auto bytes : {EncodePng(*Gradient(4, 4), nullptr), EncodeJpeg(*Gradient(8, 8), 80), orvatest::TinyGif()}) {
    for (size_t n : {size_t{8}, bytes.size() / 2, bytes.size() - 1}) inputs.emplace_back(bytes.begin(), bytes.begin() + n);
    auto flipped = bytes;
    for (size_t i = 12; i < flipped.size(); i += 7) flipped[i] ^= 0x5A;
    inputs.push_back(flipped);
  }
  for (const auto& in : inputs) {
    try {
      DecodePicture(in);
    } catch (const OrvaError&) {
    }
  }
  EXPECT_THROW(DecodePicture(std::vector<uint8_t>{'x'}), OrvaError);
}

}  // namespace
}  // namespace orva
