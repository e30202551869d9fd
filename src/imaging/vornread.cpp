// Reading layered pictures of both generations. Every length, count, size
// and block reference is checked before use; a bad file throws
// "ファイルが破壊されています" and never reads outside its data.
#include <cctype>
#include <cstring>

#include <zlib.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "imaging/mxxml.h"
#include "imaging/pictures.h"
#include "imaging/pixelops.h"
#include "imaging/vornimpl.h"
#include "imaging/vorns.h"
#include "storage/scrambles.h"

namespace orva {

namespace {

// zlib data expected to hold at most maxOut bytes; more, or corrupt data,
// is a broken file.
std::vector<uint8_t> InflateBounded(const std::vector<uint8_t>& in, size_t maxOut) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) ThrowBrokenFile();
  std::vector<uint8_t> out(std::min<size_t>(maxOut, std::max<size_t>(in.size() * 4, 4096)));
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  size_t produced = 0;
  int rc = Z_OK;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= maxOut) {
        // Room is exhausted: only the end of the stream may follow.
        uint8_t probe;
        zs.next_out = &probe;
        zs.avail_out = 1;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END && zs.avail_out == 1) break;
        inflateEnd(&zs);
        ThrowBrokenFile();
      }
      out.resize(std::min(maxOut, out.size() * 2));
    }
    zs.next_out = out.data() + produced;
    zs.avail_out = static_cast<uInt>(out.size() - produced);
    rc = inflate(&zs, Z_NO_FLUSH);
    produced = out.size() - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_out == 0)) {
      inflateEnd(&zs);
      ThrowBrokenFile();
    }
  }
  inflateEnd(&zs);
  out.resize(produced);
  return out;
}

// Bounds-checked reads from the stream.
class Input {
 public:
  explicit Input(TStream& s) : s_(s) {}
  int64_t Remaining() { return s_.GetSize() - s_.GetPosition(); }
  void Bytes(void* out, int64_t n) {
    if (n < 0 || n > Remaining() || s_.Read(out, n) != n) ThrowBrokenFile();
  }
  void Skip(int64_t n) {
    if (n < 0 || n > Remaining()) ThrowBrokenFile();
    s_.SetPosition(s_.GetPosition() + n);
  }
  int32_t I32() {
    uint8_t b[4];
    Bytes(b, 4);
    return static_cast<int32_t>(b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24));
  }
  uint8_t U8() {
    uint8_t b;
    Bytes(&b, 1);
    return b;
  }
  // int32 length then that many bytes.
  std::vector<uint8_t> Block() {
    const int32_t n = I32();
    if (n < 0 || n > Remaining()) ThrowBrokenFile();
    std::vector<uint8_t> out(static_cast<size_t>(n));
    Bytes(out.data(), n);
    return out;
  }
  std::string String() {
    const std::vector<uint8_t> b = Block();
    return std::string(b.begin(), b.end());
  }
  // A count of items that each take at least minBytes of what is left.
  int32_t Count(int64_t minBytes) {
    const int32_t n = I32();
    if (n < 0 || (minBytes > 0 && n > Remaining() / minBytes)) ThrowBrokenFile();
    return n;
  }
  TStream& Stream() { return s_; }

 private:
  TStream& s_;
};

bool ValidBpp(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 15 || bpp == 16 || bpp == 24 || bpp == 32; }
int StorageBits(int bpp) { return bpp == 15 ? 16 : bpp; }

// Geometry of one frame's layers.
struct Geometry {
  int width = 0, height = 0, bpp = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, 2^bpp entries for bpp <= 8
};

void CheckGeometry(const Geometry& g) {
  if (!ValidBpp(g.bpp) || g.width <= 0 || g.height <= 0 || g.width > kMaxSurfaceSide || g.height > kMaxSurfaceSide)
    ThrowBrokenFile();
  if (int64_t{TDIBX::RowBytes(g.width, StorageBits(g.bpp))} * g.height > SurfaceByteLimit()) ThrowBrokenFile();
}

// Copies nbits bits from src (starting at bit srcBit) to dst (at dstBit),
// most significant bit first as the packed formats store them.
void CopyBits(uint8_t* dst, int64_t dstBit, const uint8_t* src, int64_t srcBit, int64_t nbits) {
  if ((dstBit & 7) == 0 && (srcBit & 7) == 0) {
    const int64_t whole = nbits / 8;
    std::memmove(dst + dstBit / 8, src + srcBit / 8, static_cast<size_t>(whole));
    dstBit += whole * 8;
    srcBit += whole * 8;
    nbits -= whole * 8;
  }
  for (int64_t i = 0; i < nbits; ++i) {
    const int64_t s = srcBit + i, d = dstBit + i;
    const int bit = (src[s >> 3] >> (7 - (s & 7))) & 1;
    const uint8_t m = static_cast<uint8_t>(0x80u >> (d & 7));
    dst[d >> 3] = bit ? (dst[d >> 3] | m) : (dst[d >> 3] & ~m);
  }
}

class VornReader {
 public:
  VornReader(TVornFrameList& list, TStream& stream, bool firstFrameOnly, bool keepLayers, bool convert)
      : list_(list), in_(stream), firstOnly_(firstFrameOnly), keepLayers_(keepLayers), convert_(convert) {}

  void Run() {
    list_.Clear();
    auto& s = in_.Stream();
    s.SetPosition(0);
    char magic[8] = {};
    const int64_t got = s.Read(magic, 8);
    s.SetPosition(0);
    if (got >= 5 && std::memcmp(magic, "VornX", 5) == 0) {
      if (got < 8) ThrowBrokenFile();
      if (magic[5] >= '0' && magic[5] <= '9' && magic[5] > '2') throw OrvaError(Sys("読み込めないファイル形式です"));
      in_.Skip(8);
      ReadXml();
    } else {
      ReadRecords();
    }
    for (auto& f : list_.Frames) {
      if (convert_) vornimpl::ConvertFrame(*f, list_.TargetBitCount, keepLayers_);
      if (!keepLayers_) f->Layers.clear();
    }
  }

  // --- record generation --------------------------------------------------
  static int ReadRecordVersion(Input& in) {
    auto& s = in.Stream();
    char magic[7] = {};
    if (s.Read(magic, 7) == 7 && std::memcmp(magic, "Vorn", 4) == 0) {
      for (int i = 4; i < 7; ++i)
        if (magic[i] < '0' || magic[i] > '9') ThrowBrokenFile();
      return (magic[4] - '0') * 100 + (magic[5] - '0') * 10 + (magic[6] - '0');
    }
    s.SetPosition(0);
    return 0;
  }

  static TVornHeader ReadRecordHeader(Input& in, int version) {
    TVornHeader h;
    if (version < 103) {
      h.Count = in.I32();
      in.Skip(1);
      if (version > 101) h.BGColor = in.I32();
    } else {
      const int32_t n = in.I32();
      if (n < 0) ThrowBrokenFile();
      uint8_t bytes[TVornHeader::kSize] = {};
      const int32_t take = std::min(n, TVornHeader::kSize);
      in.Bytes(bytes, take);
      in.Skip(n - take);
      h.FromBytes(bytes);
    }
    if (version < 105) h.NotFillBG = 0;
    h.Version = version;
    return h;
  }

 private:
  void ReadRecords() {
    version_ = ReadRecordVersion(in_);
    header_ = ReadRecordHeader(in_, version_);
    Adopt();
    const int32_t count = header_.Count;
    if (count < 0) ThrowBrokenFile();
    for (int32_t i = 0; i < count; ++i) {
      if (firstOnly_ && i > 0) break;
      ReadRecordFrame();
    }
  }

  void ReadRecordFrame() {
    auto frame = std::make_unique<TVornFrame>();
    frame->Name = in_.String();
    frame->TransColor = in_.I32();
    frame->Delay = in_.I32();
    frame->Disposal = in_.U8();
    in_.Skip(4);
    const int32_t layerCount = in_.Count(8 + 1 + 4 + 4 + 4 + 4);
    Geometry g;
    g.width = in_.I32();
    g.height = in_.I32();
    g.bpp = in_.I32();
    CheckGeometry(g);
    if (g.bpp <= 8) {
      const int n = 1 << g.bpp;
      std::vector<uint8_t> table(static_cast<size_t>(n) * 4);
      in_.Bytes(table.data(), static_cast<int64_t>(table.size()));
      for (int i = 0; i < n; ++i)
        g.palette.push_back(table[4 * i] | (uint32_t{table[4 * i + 1]} << 8) | (uint32_t{table[4 * i + 2]} << 16));
    }
    StartFrame(*frame, g);
    for (int32_t li = 0; li < layerCount; ++li) {
      auto layer = std::make_unique<TVornLayer>();
      in_.Skip(8);
      layer->Visible = in_.U8() != 0;
      layer->TransColor = in_.I32();
      layer->Alpha = in_.I32();
      if (version_ > 100) layer->AlphaOn = in_.U8() != 0;
      layer->Name = in_.String();
      if (version_ > 106) in_.Skip(1);
      const std::vector<uint8_t> colorData = in_.Block();
      std::vector<uint8_t> alphaData;
      if (version_ > 99) alphaData = in_.Block();
      DecodeLayer(*frame, *layer, g, colorData, alphaData, li);
      if (layer->AlphaPlane && layer->AlphaOn) layer->TransColor = -1;
      frame->Layers.push_back(std::move(layer));
    }
    if (version_ >= 104) {
      ReadRects(frame->ContentRects);
      ReadRects(frame->SecondRects);
    }
    FinishFrame(std::move(frame));
  }

  void ReadRects(std::vector<TRect>& rects) {
    const int32_t n = in_.Count(16);
    rects.resize(static_cast<size_t>(n));
    for (TRect& r : rects) {
      r.Left = in_.I32();
      r.Top = in_.I32();
      r.Right = in_.I32();
      r.Bottom = in_.I32();
    }
  }

  // --- XML generation -------------------------------------------------------
  void ReadXml() {
    const std::vector<uint8_t> packed = in_.Block();
    const std::vector<uint8_t> text = InflateBounded(packed, size_t{16} << 20);
    const auto root = TMxXml::Parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    header_ = HeaderFromXml(*root);
    version_ = header_.Version;
    Adopt();
    if (header_.Count < 0) ThrowBrokenFile();
    for (int32_t fi = 0; fi < header_.Count; ++fi) {
      const TMxXml* fe = root->Child("Frame", fi);
      if (!fe) ThrowBrokenFile();
      auto frame = std::make_unique<TVornFrame>();
      const std::string* name = fe->Attribute("Name");
      frame->Name = name ? *name : std::string();
      frame->TransColor = fe->IntAttribute("TransColor", -1);
      frame->Delay = fe->IntAttribute("Delay", 0);
      frame->Disposal = static_cast<uint8_t>(fe->IntAttribute("Disposal", 0));
      const TMxXml* layers = fe->Child("Layers");
      if (!layers) throw OrvaError(Sys("レイヤーがありません"));
      Geometry g;
      g.width = layers->IntAttribute("Width", 100);
      g.height = layers->IntAttribute("Height", 100);
      g.bpp = layers->IntAttribute("Bpp", 8);
      CheckGeometry(g);
      if (g.bpp <= 8) {
        const int n = 1 << g.bpp;
        const TMxXml* rgb = layers->Child("RGB");
        std::string digits;
        if (rgb)
          for (char c : rgb->Text)
            if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
        if (digits.size() < static_cast<size_t>(6 * n)) throw OrvaError(Sys("カラーテーブルがありません"));
        for (int i = 0; i < n; ++i) {
          const uint32_t bgr = static_cast<uint32_t>(std::stoul(digits.substr(static_cast<size_t>(6 * i), 6), nullptr, 16));
          g.palette.push_back(vornimpl::SwapRB(bgr));
        }
      }
      const int32_t layerCount = layers->IntAttribute("Count", 0);
      if (layerCount < 0) ThrowBrokenFile();
      StartFrame(*frame, g);
      for (int32_t li = 0; li < layerCount; ++li) {
        const TMxXml* le = layers->Child("Layer", li);
        if (!le) ThrowBrokenFile();
        auto layer = std::make_unique<TVornLayer>();
        layer->Visible = le->BoolAttribute("Visible", true);
        layer->TransColor = le->IntAttribute("TransColor", -1);
        layer->Alpha = le->IntAttribute("Alpha", 255);
        layer->AlphaOn = le->BoolAttribute("AlphaOn", false);
        const std::string* lname = le->Attribute("Name");
        layer->Name = lname ? *lname : std::string();
        const std::vector<uint8_t> colorData = in_.Block();
        const std::vector<uint8_t> alphaData = in_.Block();
        DecodeLayer(*frame, *layer, g, colorData, alphaData, li);
        if (layer->AlphaPlane && layer->AlphaOn) layer->TransColor = -1;
        frame->Layers.push_back(std::move(layer));
      }
      FinishFrame(std::move(frame));
    }
  }

 public:
  static TVornHeader HeaderFromXml(const TMxXml& root) {
    if (!cp932::SameTextCI(root.Name, "Frames")) ThrowBrokenFile();
    TVornHeader h;
    h.Version = root.IntAttribute("Version", 200);
    h.Width = root.IntAttribute("Width", 100);
    h.Height = root.IntAttribute("Height", 100);
    h.Bpp = root.IntAttribute("Bpp", 8);
    h.Count = root.IntAttribute("Count", 0);
    h.CompType = static_cast<uint8_t>(root.IntAttribute("CompType", 0));
    h.CompLevel = static_cast<uint8_t>(root.IntAttribute("CompLevel", 0));
    h.BGColor = root.IntAttribute("BGColor", 0);
    h.BlockWidth = root.IntAttribute("BlockWidth", 32);
    h.BlockHeight = root.IntAttribute("BlockHeight", 32);
    h.SyncPal = root.BoolAttribute("SyncPal", false);
    h.Randomized = root.BoolAttribute("Randomized", false);
    h.NotFillBG = root.BoolAttribute("NotFillBG", true);
    return h;
  }

 private:
  void Adopt() {
    list_.Header = header_;
    list_.Version = version_;
    list_.BGColor = header_.BGColor;
    list_.NotFillBG = header_.NotFillBG != 0;
  }

  // Every surface of one load counts against a budget, so that references
  // between layers cannot turn a small file into unbounded memory.
  void Spend(const Geometry& g) {
    spent_ += int64_t{TDIBX::RowBytes(g.width, StorageBits(g.bpp))} * g.height + int64_t{g.width} * g.height;
    if (spent_ > 4 * SurfaceByteLimit()) ThrowBrokenFile();
  }

  void StartFrame(TVornFrame& frame, const Geometry& g) {
    Spend(g);
    frame.Color.SetSize(g.width, g.height, g.bpp);
    if (!g.palette.empty()) frame.Color.SetPaletteEntries(0, static_cast<int>(g.palette.size()), g.palette.data());
  }

  void FinishFrame(std::unique_ptr<TVornFrame> frame) {
    vornimpl::ComposeFrame(*frame, list_.BGColor, list_.NotFillBG);
    list_.Frames.push_back(std::move(frame));
  }

  // --- layer data ------------------------------------------------------------
  void DecodeLayer(TVornFrame& frame, TVornLayer& layer, const Geometry& g, const std::vector<uint8_t>& colorData,
                   const std::vector<uint8_t>& alphaData, int layerIndex) {
    Spend(g);
    layer.Color.SetSize(g.width, g.height, g.bpp);
    if (!g.palette.empty()) layer.Color.SetPaletteEntries(0, static_cast<int>(g.palette.size()), g.palette.data());
    const int frameIndex = list_.Count();
    if (version_ > 102 && header_.CompType == 2) {
      TPicture jpeg = DecodeJpeg(colorData);
      if (jpeg.color->Width() != g.width || jpeg.color->Height() != g.height) ThrowBrokenFile();
      CopyConvert(layer.Color, *jpeg.color);
      if (!g.palette.empty()) layer.Color.SetPaletteEntries(0, static_cast<int>(g.palette.size()), g.palette.data());
    } else {
      DecodePlane(layer.Color, colorData, false, frameIndex, layerIndex, &frame);
    }
    if (!alphaData.empty()) {
      layer.AlphaPlane = std::make_unique<TDIBX>(g.width, g.height, 8);
      DecodePlane(*layer.AlphaPlane, alphaData, true, frameIndex, layerIndex, &frame);
    }
  }

  void DecodePlane(TDIBX& target, const std::vector<uint8_t>& data, bool alpha, int frameIndex, int layerIndex,
                   TVornFrame* current) {
    const int w = target.Width(), h = target.Height();
    const int bits = alpha ? 8 : target.StorageBitCount();
    const int64_t stride = TDIBX::RowBytes(w, bits);
    const int64_t rawSize = stride * h;
    if (version_ <= 102) {
      if (header_.Randomized && list_.IdentCode == 0) throw OrvaError(Sys("識別コードを設定してください"));
      if (static_cast<int64_t>(data.size()) == rawSize) {
        PlaceRows(target, data.data(), stride, true);
      } else {
        const std::vector<uint8_t> rows = InflateBounded(data, static_cast<size_t>(rawSize));
        if (static_cast<int64_t>(rows.size()) != rawSize) ThrowBrokenFile();
        PlaceRows(target, rows.data(), stride, false);
      }
      return;
    }
    const bool blocked = header_.BlockWidth > 0 && header_.BlockHeight > 0 && header_.CompType != 2;
    const bool shuffled = header_.Randomized && header_.CompType != 2;
    int64_t maxSize = rawSize;
    if (blocked) {
      const int64_t cols = (w + int64_t{header_.BlockWidth} - 1) / header_.BlockWidth;
      const int64_t rows = (h + int64_t{header_.BlockHeight} - 1) / header_.BlockHeight;
      // Table plus every block stored in full (rows of a block are packed to
      // whole bytes, at most one extra byte each).
      maxSize = cols * rows * 8 + rawSize + int64_t{h} * cols;
    }
    std::vector<uint8_t> inflated;
    const uint8_t* raw = data.data();
    size_t rawLen = data.size();
    switch (header_.CompType) {
      case 0:
      case 2:
        inflated = InflateBounded(data, static_cast<size_t>(maxSize));
        raw = inflated.data();
        rawLen = inflated.size();
        break;
      case 1: break;
      default: ThrowBrokenFile();
    }
    if (!blocked) {
      if (static_cast<int64_t>(rawLen) < rawSize) ThrowBrokenFile();
      PlaceRows(target, raw, stride, shuffled);
      return;
    }
    DecodeBlocks(target, raw, rawLen, alpha, bits, frameIndex, layerIndex, current);
  }

  // Stored rows top first; shuffled rows go to the position the shuffle
  // draws for each.
  void PlaceRows(TDIBX& target, const uint8_t* rows, int64_t stride, bool shuffled) {
    const int h = target.Height();
    std::vector<int32_t> order;
    if (shuffled) order = ShuffleOrder(list_.IdentCode, h);
    for (int k = 0; k < h; ++k) {
      const int y = shuffled ? order[static_cast<size_t>(k)] : k;
      std::memcpy(target.Row(y), rows + stride * k, static_cast<size_t>(stride));
    }
  }

  void DecodeBlocks(TDIBX& target, const uint8_t* data, size_t len, bool alpha, int bits, int frameIndex,
                    int layerIndex, TVornFrame* current) {
    const int w = target.Width(), h = target.Height();
    const int bw = header_.BlockWidth, bh = header_.BlockHeight;
    const int cols = static_cast<int>((w + int64_t{bw} - 1) / bw), rows = static_cast<int>((h + int64_t{bh} - 1) / bh);
    const int64_t n = int64_t{cols} * rows;
    if (n * 8 > static_cast<int64_t>(len)) ThrowBrokenFile();
    std::vector<std::pair<int32_t, int32_t>> table(static_cast<size_t>(n));
    std::vector<int32_t> order;
    if (header_.Randomized) order = ShuffleOrder(list_.IdentCode, static_cast<int32_t>(n));
    for (int64_t k = 0; k < n; ++k) {
      const uint8_t* e = data + 8 * k;
      const int32_t a = static_cast<int32_t>(e[0] | (uint32_t{e[1]} << 8) | (uint32_t{e[2]} << 16) | (uint32_t{e[3]} << 24));
      const int32_t b = static_cast<int32_t>(e[4] | (uint32_t{e[5]} << 8) | (uint32_t{e[6]} << 16) | (uint32_t{e[7]} << 24));
      table[static_cast<size_t>(header_.Randomized ? order[static_cast<size_t>(k)] : k)] = {a, b};
    }
    size_t pos = static_cast<size_t>(n * 8);
    auto blockRect = [&](int64_t index) {
      const int bx = static_cast<int>(index % cols), by = static_cast<int>(index / cols);
      const int x0 = bx * bw, y0 = by * bh;
      return TRect{x0, y0, std::min(w, x0 + bw), std::min(h, y0 + bh)};
    };
    auto copyRect = [&](TDIBX& from, const TRect& src, const TRect& dst) {
      for (int y = 0; y < dst.Height(); ++y)
        CopyBits(target.Row(dst.Top + y), int64_t{dst.Left} * bits, from.Row(src.Top + y), int64_t{src.Left} * bits,
                 int64_t{dst.Width()} * bits);
    };
    for (int64_t index = 0; index < n; ++index) {
      const auto [a, b] = table[static_cast<size_t>(index)];
      const TRect r = blockRect(index);
      if (a == -1) {
        const int64_t rowBytes = (int64_t{bits} * r.Width() + 7) / 8;
        if (rowBytes * r.Height() > static_cast<int64_t>(len - pos)) ThrowBrokenFile();
        for (int y = 0; y < r.Height(); ++y) {
          CopyBits(target.Row(r.Top + y), int64_t{r.Left} * bits, data + pos, 0, int64_t{r.Width()} * bits);
          pos += static_cast<size_t>(rowBytes);
        }
      } else if (a == -2) {
        // An earlier block of this layer, of the same size.
        if (b < 0 || b >= index) ThrowBrokenFile();
        const TRect from = blockRect(b);
        if (from.Width() != r.Width() || from.Height() != r.Height()) ThrowBrokenFile();
        copyRect(target, from, r);
      } else if (a >= 0) {
        // The same rectangle of an already decoded layer with the same
        // geometry: an earlier frame, or an earlier layer of this frame.
        TVornFrame* source = a < frameIndex ? list_.Frames[static_cast<size_t>(a)].get()
                                            : (a == frameIndex ? current : nullptr);
        if (!source || b < 0 || b >= static_cast<int32_t>(source->Layers.size()) ||
            (a == frameIndex && b >= layerIndex))
          ThrowBrokenFile();
        TVornLayer& other = *source->Layers[static_cast<size_t>(b)];
        TDIBX* plane = alpha ? other.AlphaPlane.get() : &other.Color;
        if (!plane || plane->Width() != w || plane->Height() != h || plane->BitCount() != (alpha ? 8 : target.BitCount()))
          ThrowBrokenFile();
        copyRect(*plane, r, r);
      } else {
        ThrowBrokenFile();
      }
    }
  }

  TVornFrameList& list_;
  Input in_;
  bool firstOnly_, keepLayers_, convert_;
  int version_ = 0;
  TVornHeader header_;
  int64_t spent_ = 0;
};

}  // namespace

void TVornFrameList::LoadFromStream(TStream& stream, bool firstFrameOnly, bool keepLayers, bool convert) {
  VornReader(*this, stream, firstFrameOnly, keepLayers, convert).Run();
}

TVornHeader TVornFrameList::ReadHeader(TStream& stream, bool* xml) {
  Input in(stream);
  stream.SetPosition(0);
  char magic[8] = {};
  const int64_t got = stream.Read(magic, 8);
  stream.SetPosition(0);
  const bool isXml = got >= 5 && std::memcmp(magic, "VornX", 5) == 0;
  if (xml) *xml = isXml;
  if (!isXml) {
    const int version = VornReader::ReadRecordVersion(in);
    return VornReader::ReadRecordHeader(in, version);
  }
  if (got < 8) ThrowBrokenFile();
  if (magic[5] > '2' && magic[5] <= '9') throw OrvaError::Utf8("Can not load this file.\r\nTry the latest version.");
  in.Skip(8);
  const std::vector<uint8_t> packed = in.Block();
  const std::vector<uint8_t> text = InflateBounded(packed, size_t{16} << 20);
  const auto root = TMxXml::Parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  return VornReader::HeaderFromXml(*root);
}

}  // namespace orva
