// Layered pictures: both generations, shuffles, blocks, composition,
// conversion, the writer and the XML element tree.
#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "imaging/mxxml.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"
#include "storage/scrambles.h"
#include "storage/vrfiles.h"
#include "testsupport.h"
#include "vornrecords.h"

namespace orva {
namespace {

using orvatest::PlaneBlocks;
using orvatest::PlaneRows;
using orvatest::RecFile;
using orvatest::RecFrame;
using orvatest::RecLayer;
using orvatest::WriteRecordFile;
using orvatest::Zlib;

// A w x h plane with distinct pixel values.
std::unique_ptr<TDIBX> Pattern(int w, int h, int bits, uint32_t seed = 1) {
  auto s = std::make_unique<TDIBX>(w, h, bits);
  const uint32_t mask = bits >= 32 ? 0xFFFFFF : bits == 24 ? 0xFFFFFF : bits == 15 ? 0x7FFF : (1u << bits) - 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s->SetPixel(x, y, ((x + 7 * y + 1) * 0x2F1B35u * seed) & mask);
  return s;
}

bool SamePixels(TCustomDIBX& a, TCustomDIBX& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

TVornFrameList Load(const std::vector<uint8_t>& bytes, int32_t ident = 0, bool keepLayers = false,
                    bool convert = false, bool firstOnly = false) {
  TVornFrameList list(ident);
  TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  list.LoadFromStream(m, firstOnly, keepLayers, convert);
  return list;
}

std::string LoadError(const std::vector<uint8_t>& bytes, int32_t ident = 0) {
  try {
    Load(bytes, ident);
  } catch (const OrvaError& e) {
    return e.what();
  }
  return "(loaded)";
}

RecFrame OneLayerFrame(TDIBX& plane, std::vector<uint8_t> data) {
  RecFrame f;
  f.width = plane.Width();
  f.height = plane.Height();
  f.bpp = plane.BitCount();
  RecLayer l;
  l.color = std::move(data);
  f.layers.push_back(l);
  return f;
}

// --- record generation ---------------------------------------------------------

struct VersionCase {
  int version;
  bool zlib;
};
class RecordVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(RecordVersions, ReadsEveryOlderLayout) {
  const VersionCase& c = GetParam();
  auto plane = Pattern(5, 3, 24);
  const std::vector<uint8_t> rows = PlaneRows(*plane);
  RecFile f;
  f.version = c.version;
  f.header.CompType = c.zlib ? 0 : 1;
  f.header.BGColor = 0x0000FF;
  f.frames.push_back(OneLayerFrame(*plane, c.zlib ? Zlib(rows) : rows));
  f.frames[0].rects = {{1, 1, 2, 2}};
  const auto list = Load(WriteRecordFile(f));
  ASSERT_EQ(const_cast<TVornFrameList&>(list).Count(), 1);
  auto& frame = *list.Frames[0];
  EXPECT_TRUE(SamePixels(frame.Color, *plane));
  EXPECT_EQ(list.Version, c.version);
  EXPECT_EQ(list.BGColor, c.version > 101 ? 0x0000FF : 0);
  EXPECT_EQ(frame.ContentRects.size(), c.version >= 104 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordVersions,
                         ::testing::Values(VersionCase{0, false}, VersionCase{99, true}, VersionCase{100, false},
                                           VersionCase{101, true}, VersionCase{102, false}, VersionCase{103, true},
                                           VersionCase{104, false}, VersionCase{107, true}));

TEST(RecordGeneration, RawRowsOfOldFilesGoThroughTheShuffle) {
  auto plane = Pattern(3, 6, 8);
  RecFile f;
  f.version = 102;
  f.frames.push_back(OneLayerFrame(*plane, PlaneRows(*plane, 1234, true)));
  f.frames[0].palette.assign(256, 0);
  EXPECT_TRUE(SamePixels(Load(WriteRecordFile(f), 1234).Frames[0]->Color, *plane));
  EXPECT_FALSE(SamePixels(Load(WriteRecordFile(f), 99).Frames[0]->Color, *plane));
  // Compressed rows are taken in stored order.
  f.frames[0].layers[0].color = Zlib(PlaneRows(*plane));
  EXPECT_TRUE(SamePixels(Load(WriteRecordFile(f), 1234).Frames[0]->Color, *plane));
}

struct ShuffleCase {
  bool blocked;
  int compType;
};
class RecordShuffle : public ::testing::TestWithParam<ShuffleCase> {};

TEST_P(RecordShuffle, RandomizedLayoutsNeedTheirCode) {
  const ShuffleCase& c = GetParam();
  auto plane = Pattern(7, 5, 32);
  auto alpha = Pattern(7, 5, 8, 3);
  const int32_t code = 0x5A17;
  auto encode = [&](TDIBX& p, int32_t seed, bool shuffled) {
    std::vector<uint8_t> raw = c.blocked ? PlaneBlocks(p, 3, 2, {}, seed, shuffled) : PlaneRows(p, seed, shuffled);
    return c.compType == 0 ? Zlib(raw) : raw;
  };
  RecFile f;
  f.header.Randomized = 1;
  f.header.CompType = static_cast<uint8_t>(c.compType);
  f.header.BlockWidth = c.blocked ? 3 : 0;
  f.header.BlockHeight = c.blocked ? 2 : 0;
  f.frames.push_back(OneLayerFrame(*plane, encode(*plane, code, true)));
  f.frames[0].layers[0].alphaData = encode(*alpha, code, true);
  f.frames[0].layers[0].alphaOn = true;
  auto list = Load(WriteRecordFile(f), code, true);
  EXPECT_TRUE(SamePixels(list.Frames[0]->Color, *plane));
  EXPECT_TRUE(SamePixels(*list.Frames[0]->Layers[0]->AlphaPlane, *alpha));
  EXPECT_TRUE(SamePixels(*list.Frames[0]->AlphaPlane, *alpha));
  // With code 0 the shuffle keeps the stored order: no error.
  f.frames[0].layers[0].color = encode(*plane, 0, false);
  f.frames[0].layers[0].alphaData = encode(*alpha, 0, false);
  EXPECT_TRUE(SamePixels(Load(WriteRecordFile(f), 0).Frames[0]->Color, *plane));
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordShuffle,
                         ::testing::Values(ShuffleCase{false, 0}, ShuffleCase{false, 1}, ShuffleCase{true, 0},
                                           ShuffleCase{true, 1}));

TEST(RecordGeneration, BlockReferencesCopyDecodedData) {
  // Frame 0: block 3 repeats block 0 of the same layer. Frame 1: every
  // block comes from frame 0's layer 0.
  auto plane = std::make_unique<TDIBX>(4, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) plane->SetPixel(x, y, (x % 2) * 0x10 + (y % 2) * 0x1000 + 5);
  RecFile f;
  f.header.CompType = 1;
  f.header.BlockWidth = 2;
  f.header.BlockHeight = 2;
  f.frames.push_back(OneLayerFrame(*plane, PlaneBlocks(*plane, 2, 2, {{-1, 0}, {-2, 0}, {-2, 1}, {-2, 0}})));
  f.frames.push_back(OneLayerFrame(*plane, PlaneBlocks(*plane, 2, 2, {{0, 0}, {0, 0}, {0, 0}, {0, 0}})));
  auto list = Load(WriteRecordFile(f));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_TRUE(SamePixels(list.Frame(0).Color, *plane));
  EXPECT_TRUE(SamePixels(list.Frame(1).Color, *plane));
  EXPECT_TRUE(list.Frame(1).Layers.empty());  // layers dropped after composition
  // firstFrameOnly stops after frame 0.
  EXPECT_EQ(Load(WriteRecordFile(f), 0, false, false, true).Count(), 1);
}

TEST(RecordGeneration, BadBlockReferencesAreRefused) {
  auto plane = Pattern(4, 2, 8);
  const std::string broken = "ファイルが破壊されています";
  const std::vector<std::vector<std::pair<int32_t, int32_t>>> tables = {
      {{-2, 0}, {-1, 0}},  // refers to itself
      {{-1, 0}, {-2, 5}},  // block past the end
      {{-1, 0}, {-2, 1}},  // a block not yet decoded
      {{0, 0}, {-1, 0}},   // the layer being decoded
      {{3, 0}, {-1, 0}},   // a frame that does not exist
      {{-3, 0}, {-1, 0}},  // unknown kind
  };
  for (const auto& table : tables) {
    RecFile f;
    f.header.CompType = 1;
    f.header.BlockWidth = 2;
    f.header.BlockHeight = 2;
    f.frames.push_back(OneLayerFrame(*plane, PlaneBlocks(*plane, 2, 2, table)));
    f.frames[0].palette.assign(256, 0);
    EXPECT_EQ(LoadError(WriteRecordFile(f)), broken) << table[0].first << "," << table[1].second;
  }
  // A reference to a layer of another geometry.
  auto small = Pattern(2, 2, 8);
  RecFile f;
  f.header.CompType = 1;
  f.header.BlockWidth = 2;
  f.header.BlockHeight = 2;
  f.frames.push_back(OneLayerFrame(*small, PlaneBlocks(*small, 2, 2)));
  f.frames.push_back(OneLayerFrame(*plane, PlaneBlocks(*plane, 2, 2, {{0, 0}, {-1, 0}})));
  EXPECT_EQ(LoadError(WriteRecordFile(f)), broken);
}

TEST(RecordGeneration, CorruptFilesGiveTheBrokenFileMessage) {
  auto plane = Pattern(3, 2, 24);
  RecFile good;
  good.header.CompType = 1;
  good.frames.push_back(OneLayerFrame(*plane, PlaneRows(*plane)));
  const std::vector<uint8_t> bytes = WriteRecordFile(good);
  ASSERT_EQ(LoadError(bytes), "(loaded)");
  const std::string broken = "ファイルが破壊されています";
  // Every truncation fails cleanly.
  for (size_t n = 0; n + 1 < bytes.size(); n += 3) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    const std::string err = LoadError(cut);
    if (n >= 11) EXPECT_EQ(err, broken) << "cut at " << n;  // shorter ones may be an empty version-0 file
    else EXPECT_NE(err, "");
  }
  struct Edit {
    const char* what;
    void (*apply)(RecFile&);
  } edits[] = {
      {"width", [](RecFile& f) { f.frames[0].width = 100000; }},
      {"negative height", [](RecFile& f) { f.frames[0].height = -1; }},
      {"bpp", [](RecFile& f) { f.frames[0].bpp = 12; }},
      {"short data", [](RecFile& f) { f.frames[0].layers[0].color.resize(5); }},
      {"comp type", [](RecFile& f) { f.header.CompType = 9; }},
      {"zlib", [](RecFile& f) { f.header.CompType = 0; }},
  };
  for (const Edit& e : edits) {
    RecFile f = good;
    e.apply(f);
    EXPECT_EQ(LoadError(WriteRecordFile(f)), broken) << e.what;
  }
  // Huge counts and lengths are refused before anything is allocated.
  std::vector<uint8_t> huge = bytes;
  huge[11 + 16] = 0xFF;  // frame count in the header
  huge[11 + 17] = 0xFF;
  huge[11 + 18] = 0xFF;
  huge[11 + 19] = 0x7F;
  EXPECT_EQ(LoadError(huge), broken);
  std::vector<uint8_t> nameLen = bytes;
  nameLen[51 + 3] = 0x7F;  // first frame's name length
  EXPECT_EQ(LoadError(nameLen), broken);
}

TEST(RecordGeneration, OldRandomizedDataNeedsACode) {
  // Version 102 has no header record, so it can never say "randomized";
  // the message belongs to newer headers that do.
  auto plane = Pattern(2, 2, 24);
  RecFile f;
  f.version = 102;
  f.frames.push_back(OneLayerFrame(*plane, PlaneRows(*plane)));
  EXPECT_EQ(LoadError(WriteRecordFile(f)), "(loaded)");
}

TEST(Composition, LayersOverBackground) {
  // Layer 0 copies; layer 1 is keyed by colour 1; layer 2 blends at 128;
  // layer 3 draws through its alpha plane; layer 4 is hidden.
  auto base = std::make_unique<TDIBX>(4, 1, 32);
  for (int x = 0; x < 4; ++x) base->SetPixel(x, 0, 0x000010);
  auto keyed = std::make_unique<TDIBX>(4, 1, 32);
  for (uint32_t x = 0; x < 4; ++x) keyed->SetPixel(static_cast<int>(x), 0, x == 1 ? 0x00FF00 : 1);
  auto half = std::make_unique<TDIBX>(4, 1, 32);
  half->Clear(0xFFFFFF);
  auto masked = std::make_unique<TDIBX>(4, 1, 32);
  masked->Clear(0x0000FF);
  auto mask = std::make_unique<TDIBX>(4, 1, 8);
  for (uint32_t x = 0; x < 4; ++x) mask->SetPixel(static_cast<int>(x), 0, x == 3 ? 255 : 0);
  RecFile f;
  f.header.CompType = 1;
  f.header.BGColor = 0x0000FF;  // red as 0x00BBGGRR
  RecFrame fr = OneLayerFrame(*base, PlaneRows(*base));
  RecLayer l1;
  l1.color = PlaneRows(*keyed);
  l1.transColor = 1;
  RecLayer l2;
  l2.color = PlaneRows(*half);
  l2.alpha = 128;
  l2.visible = true;
  RecLayer l3;
  l3.color = PlaneRows(*masked);
  l3.alphaData = PlaneRows(*mask);
  l3.alphaOn = true;
  l3.transColor = 7;  // ignored: the layer has an alpha plane
  RecLayer l4 = l1;
  l4.visible = false;
  fr.layers.push_back(l1);
  fr.layers.push_back(l2);
  fr.layers.push_back(l3);
  fr.layers.push_back(l4);
  f.frames.push_back(fr);
  auto list = Load(WriteRecordFile(f), 0, true);
  TVornFrame& frame = list.Frame(0);
  auto blend = [](uint32_t s, uint32_t d, uint32_t a) {
    uint32_t out = 0;
    for (uint32_t M : {0xFF0000u, 0xFF00u, 0xFFu}) out |= (((s & M) * a + (d & M) * (255 - a)) >> 8) & M;
    return out;
  };
  EXPECT_EQ(frame.Color.GetPixel(0, 0), blend(0xFFFFFF, 0x000010, 128));
  EXPECT_EQ(frame.Color.GetPixel(1, 0), blend(0xFFFFFF, 0x00FF00, 128));
  EXPECT_EQ(frame.Color.GetPixel(3, 0), 0x0000FFu);
  EXPECT_EQ(frame.Layers[2]->TransColor, -1);
  EXPECT_EQ(frame.AlphaPlane, nullptr);  // the first layer has no plane
}

TEST(Composition, TransparentColourAndConversion) {
  auto plane = std::make_unique<TDIBX>(3, 1, 8);
  plane->SetPixel(0, 0, 2);
  plane->SetPixel(1, 0, 1);
  plane->SetPixel(2, 0, 2);
  RecFile f;
  f.header.CompType = 1;
  RecFrame fr = OneLayerFrame(*plane, PlaneRows(*plane));
  fr.palette = {0x000000, 0x102030, 0xFF00FF};
  fr.transColor = 2;
  f.frames.push_back(fr);
  const std::vector<uint8_t> bytes = WriteRecordFile(f);
  auto indexed = Load(bytes);
  EXPECT_EQ(indexed.Frame(0).Bpp(), 8);
  EXPECT_EQ(indexed.Frame(0).TransRgb, 0xFF00FF);
  EXPECT_EQ(indexed.Frame(0).Color.GetPixel(0, 0), 2u);  // the pixels are not touched
  auto converted = Load(bytes, 0, false, true);
  TVornFrame& c = converted.Frame(0);
  EXPECT_EQ(c.Bpp(), 24);
  EXPECT_EQ(c.TransColor, 0xFF00FF);
  EXPECT_EQ(c.Color.GetPixel(1, 0), 0x102030u);
  ASSERT_NE(c.AlphaPlane, nullptr);
  EXPECT_EQ(c.AlphaPlane->GetPixel(0, 0), 0u);
  EXPECT_EQ(c.AlphaPlane->GetPixel(1, 0), 255u);
  TVornFrameList to16(0);
  to16.TargetBitCount = 16;
  TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  to16.LoadFromStream(m, false, false, true);
  EXPECT_EQ(to16.Frame(0).Bpp(), 16);
  EXPECT_EQ(to16.Frame(0).Color.GetPixel(1, 0), to16.Frame(0).Color.ColorToPixel(0x302010));
  EXPECT_THROW(to16.Frame(1), OrvaError);
}

TEST(Composition, CropToVisibleMovesRectangles) {
  TVornFrame f;
  f.Color.SetSize(4, 3, 32);
  f.Color.Clear(9);
  f.Color.SetPixel(1, 1, 5);
  f.Color.SetPixel(2, 1, 6);
  f.TransColor = 9;
  f.ContentRects = {{0, 0, 2, 2}, {3, 2, 4, 3}};
  EXPECT_EQ(f.CropToVisible(), (TRect{1, 1, 3, 2}));
  EXPECT_EQ(f.Width(), 2);
  EXPECT_EQ(f.Color.GetPixel(1, 0), 6u);
  EXPECT_EQ(f.ContentRects, (std::vector<TRect>{{0, 0, 1, 1}}));
  TVornFrame opaque;
  opaque.Color.SetSize(2, 2, 32);
  EXPECT_EQ(opaque.CropToVisible(), (TRect{0, 0, 2, 2}));
}

// --- XML generation ----------------------------------------------------------------

struct RoundTripCase {
  int bits;
  int compType;
  int32_t ident;
  bool withAlpha;
};
class XmlRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(XmlRoundTrip, WriterAndReaderAgree) {
  const RoundTripCase& c = GetParam();
  TVornFrameList out(c.ident);
  out.BGColor = 0x00123456;
  for (int i = 0; i < 2; ++i) {
    auto frame = std::make_unique<TVornFrame>();
    frame->Name = Sys("コマ") + std::to_string(i);
    frame->Delay = 100 + i;
    auto plane = Pattern(9, 7, c.bits, static_cast<uint32_t>(i + 1));
    frame->Color.SetSize(9, 7, c.bits);
    if (c.bits <= 8) {
      uint32_t pal[256];
      for (uint32_t k = 0; k < 256; ++k) pal[k] = k * 0x030507u & 0xFFFFFF;
      frame->Color.SetPalette(pal);
      frame->TransColor = 3;
    }
    frame->Color.Draw(0, 0, *plane, plane->BoundsRect());
    if (c.withAlpha) frame->AlphaPlane = Pattern(9, 7, 8, 5);
    out.Frames.push_back(std::move(frame));
  }
  TMxMemoryStream m;
  out.SaveToStream(m, c.compType, 90);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 8), "VornX200");
  TVornFrameList in(c.ident);
  in.LoadFromStream(m, false, false, false);
  ASSERT_EQ(in.Count(), 2);
  EXPECT_EQ(in.Version, 200);
  EXPECT_EQ(in.Header.Randomized, c.ident != 0);
  EXPECT_EQ(in.Header.CompType, c.ident != 0 ? 1 : c.compType);
  for (int i = 0; i < 2; ++i) {
    TVornFrame& a = out.Frame(i);
    TVornFrame& b = in.Frame(i);
    EXPECT_EQ(b.Name, a.Name);
    EXPECT_EQ(b.Delay, a.Delay);
    EXPECT_EQ(b.TransColor, a.TransColor);
    EXPECT_EQ(b.Bpp(), c.bits);
    if (in.Header.CompType != 2) {
      EXPECT_TRUE(SamePixels(b.Color, a.Color)) << i;
    }
    if (c.withAlpha) {
      ASSERT_NE(b.AlphaPlane, nullptr);
      EXPECT_TRUE(SamePixels(*b.AlphaPlane, *a.AlphaPlane));
    } else {
      EXPECT_EQ(b.AlphaPlane, nullptr);
    }
  }
  // Opened with another code, shuffled rows come out in another order.
  if (c.ident != 0) {
    m.SetPosition(0);
    TVornFrameList wrong(c.ident + 1);
    wrong.LoadFromStream(m, false, false, false);
    EXPECT_FALSE(SamePixels(wrong.Frame(0).Color, out.Frame(0).Color));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, XmlRoundTrip,
                         ::testing::Values(RoundTripCase{32, 0, 0, true}, RoundTripCase{24, 1, 0, false},
                                           RoundTripCase{8, 0, 0, false}, RoundTripCase{4, 1, 0, false},
                                           RoundTripCase{16, 0, 0, true}, RoundTripCase{24, 0, 77, true},
                                           RoundTripCase{32, 2, 77, true}, RoundTripCase{24, 2, 0, true}));

TEST(XmlGeneration, JpegLayersDecodeCloseToTheSource) {
  TVornFrameList out(0);
  auto frame = std::make_unique<TVornFrame>();
  frame->Color.SetSize(16, 16, 24);
  frame->Color.Clear(0x4080C0);
  out.Frames.push_back(std::move(frame));
  TMxMemoryStream m;
  out.SaveToStream(m, 2, 95);
  TVornFrameList in(0);
  in.LoadFromStream(m, false, false, false);
  const uint32_t p = in.Frame(0).Color.GetPixel(8, 8);
  EXPECT_NEAR(static_cast<int>(p >> 16), 0x40, 3);
  EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 0x80, 3);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 0xC0, 3);
}

// A hand-made XML generation file: header text, then data blocks.
std::vector<uint8_t> XmlFile(const std::string& xml, const std::vector<std::vector<uint8_t>>& blocks,
                             const char* magic = "VornX200") {
  TMxMemoryStream m;
  m.WriteBytes(magic);
  const std::vector<uint8_t> packed = Deflate(reinterpret_cast<const uint8_t*>(xml.data()), xml.size());
  m.WriteInt32(static_cast<int32_t>(packed.size()));
  m.WriteExact(packed.data(), static_cast<int64_t>(packed.size()));
  for (const auto& b : blocks) {
    m.WriteInt32(static_cast<int32_t>(b.size()));
    m.WriteExact(b.data(), static_cast<int64_t>(b.size()));
  }
  return m.Bytes();
}

TEST(XmlGeneration, DefaultsGiveBlocksOf32) {
  auto plane = Pattern(40, 3, 24);
  const std::string xml =
      "<frames count=\"1\" compType=\"1\" bgcolor=\"x\">\r\n <FRAME name=\"a\"><Layers Count=\"1\" Width=\"40\" "
      "Height=\"3\" Bpp=\"24\"><Layer/></Layers></FRAME></frames>";
  auto list = Load(XmlFile(xml, {PlaneBlocks(*plane, 32, 32), {}}));
  EXPECT_EQ(list.Header.BlockWidth, 32);
  EXPECT_EQ(list.BGColor, 0);  // not a number: the default
  EXPECT_TRUE(list.NotFillBG);
  EXPECT_TRUE(SamePixels(list.Frame(0).Color, *plane));
}

TEST(XmlGeneration, Failures) {
  const std::string layers = "<Layers Count=\"1\" Width=\"1\" Height=\"1\" Bpp=\"24\"><Layer /></Layers>";
  const std::vector<uint8_t> row = {1, 2, 3, 0};
  struct Case {
    std::string xml;
    const char* magic;
    std::string message;
  } cases[] = {
      {"<Frames Count=\"1\" CompType=\"1\" BlockWidth=\"0\"><Frame>" + layers + "</Frame></Frames>", "VornX200", "(loaded)"},
      {"<Frames Count=\"1\" />", "VornX200", "ファイルが破壊されています"},
      {"<Frames Count=\"1\"><Frame /></Frames>", "VornX200", "レイヤーがありません"},
      {"<Frames Count=\"1\"><Frame><Layers Count=\"2\" Width=\"1\" Height=\"1\" Bpp=\"24\"><Layer/></Layers></Frame>"
       "</Frames>",
       "VornX200", "ファイルが破壊されています"},
      {"<Frames Count=\"1\"><Frame><Layers Count=\"0\" Width=\"1\" Height=\"1\" Bpp=\"4\"><RGB>00FF00</RGB></Layers>"
       "</Frame></Frames>",
       "VornX200", "カラーテーブルがありません"},
      {"<Frames Count=\"1\"><Frame>" + layers + "</Frame></Frames>", "VornX300", "読み込めないファイル形式です"},
      {"<Frames Count=\"1\"><Frame>" + layers + "</Frame>", "VornX200", "ファイルが破壊されています"},
      {"<Frames Count=\"1\" BlockWidth=\"0\"><Frame><Layers Count=\"1\" Width=\"99999\" Height=\"1\" Bpp=\"24\">"
       "<Layer /></Layers></Frame></Frames>",
       "VornX200", "ファイルが破壊されています"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadError(XmlFile(c.xml, {row, {}}, c.magic)), c.message) << c.xml;
  TMxMemoryStream future;
  const auto bytes = XmlFile(cases[0].xml, {}, "VornX300");
  future.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  try {
    TVornFrameList::ReadHeader(future);
    ADD_FAILURE();
  } catch (const OrvaError& e) {
    EXPECT_STREQ(e.what(), "Can not load this file.\r\nTry the latest version.");
  }
}

TEST(XmlGeneration, ReadHeaderOfBothGenerations) {
  TMxMemoryStream xml;
  const auto bytes = XmlFile("<Frames Count=\"3\" Width=\"640\" Height=\"480\" Bpp=\"32\" Randomized=\"1\" />", {});
  xml.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  bool isXml = false;
  TVornHeader h = TVornFrameList::ReadHeader(xml, &isXml);
  EXPECT_TRUE(isXml);
  EXPECT_EQ(h.Count, 3);
  EXPECT_EQ(h.Width, 640);
  EXPECT_EQ(h.Randomized, 1);
  RecFile f;
  f.header.BlockWidth = 16;
  const auto rec = WriteRecordFile(f);
  TMxMemoryStream rs(std::string_view(reinterpret_cast<const char*>(rec.data()), rec.size()));
  h = TVornFrameList::ReadHeader(rs, &isXml);
  EXPECT_FALSE(isXml);
  EXPECT_EQ(h.Version, 107);
  EXPECT_EQ(h.BlockWidth, 16);
}

TEST(MxXml, WritesTheElementTreeLayout) {
  TMxXml root("Frames");
  root.SetAttribute("Name", std::string("a&b\"<>\x01") + Sys("表"));
  TMxXml& child = root.AddChild("RGB");
  child.Text = "00FF00";
  root.AddChild("Layer").SetAttribute("Count", 2);
  const std::string text = root.Write();
  EXPECT_EQ(text, "<Frames Name=\"a&amp;b&quot;&lt;&gt;&#1;" + Sys("表") +
                      "\">\r\n  <RGB>00FF00</RGB>\r\n  <Layer Count=\"2\" />\r\n</Frames>\r\n");
  const auto back = TMxXml::Parse(text);
  EXPECT_EQ(*back->Attribute("name"), *root.Attribute("Name"));
  EXPECT_EQ(back->Child("rgb")->Text, "00FF00");
  EXPECT_EQ(back->Child("LAYER")->IntAttribute("count", 0), 2);
  EXPECT_FALSE(back->Child("Layer")->BoolAttribute("Visible", false));
  for (const char* bad : {"<a", "<a></b>", "<a x=1/>", "<a>&bogus;</a>", "<a/><b/>", ""})
    EXPECT_THROW(TMxXml::Parse(bad), OrvaError) << bad;
  EXPECT_THROW(TMxXml::Parse(std::string(100, '<')), OrvaError);
}

// --- other ways in -------------------------------------------------------------------

TEST(Loading, SurfaceStreamDispatch) {
  auto plane = Pattern(3, 2, 24);
  RecFile f;
  f.header.CompType = 1;
  f.frames.push_back(OneLayerFrame(*plane, PlaneRows(*plane)));
  const auto vor = WriteRecordFile(f);
  const auto bmp = EncodeBmp24(*plane);
  const auto png = EncodePng(*plane, nullptr);
  for (const auto* bytes : {&vor, &bmp, &png}) {
    TDIBX target(1, 1, 32);
    TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    target.LoadFromStream(m, 0);
    EXPECT_EQ(target.BitCount(), 32);
    EXPECT_TRUE(SamePixels(target, *plane));
  }
  TDIBX untouched(2, 2, 32);
  TMxMemoryStream other(std::string_view("GIF89a...."));
  untouched.LoadFromStream(other, 0);
  EXPECT_EQ(untouched.Width(), 2);
}

TEST(Loading, FromTheVirtualFileSystemAndFiles) {
  orvatest::TempDir dir;
  auto plane = Pattern(4, 4, 24);
  TVornFrameList out(0);
  auto frame = std::make_unique<TVornFrame>();
  frame->Color.SetSize(4, 4, 24);
  frame->Color.Draw(0, 0, *plane, plane->BoundsRect());
  frame->ContentRects = {{0, 0, 1, 1}};
  out.Frames.push_back(std::move(frame));
  out.SaveToFile(dir / "pic.vor");
  orvatest::WriteFile(dir / "pic.png", EncodePng(*plane, nullptr));
  TVrFileManager files;
  files.SetRootFolder(dir.path());
  for (const char* name : {"PIC.VOR", "pic.png"}) {
    TVornFrameList in(0);
    in.LoadFromVfs(files, name, false, false, true);
    ASSERT_EQ(in.Count(), 1) << name;
    EXPECT_TRUE(SamePixels(in.Frame(0).Color, *plane)) << name;
    TDIBX surface(1, 1, 32);
    CopyFrameToSurface(in.Frame(0), surface);
    EXPECT_TRUE(SamePixels(surface, *plane));
    TDIBX alpha;
    CopyAlphaToSurface(in.Frame(0), alpha);
    EXPECT_EQ(alpha.GetPixel(3, 3), 255u);
  }
  TVornFrameList none(0);
  none.LoadFromFile(dir / "pic.txt", false, false, false);
  EXPECT_EQ(none.Count(), 0);
  none.LoadFromFile(dir / "pic.png", false, false, false);
  EXPECT_EQ(none.Count(), 1);
}

}  // namespace
}  // namespace orva
