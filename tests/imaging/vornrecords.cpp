#include "vornrecords.h"

#include <gif_lib.h>

#include <cstring>

#include "common/streams.h"
#include "storage/scrambles.h"

namespace orvatest {

using orva::TDIBX;

std::vector<uint8_t> WriteRecordFile(const RecFile& f) {
  orva::TMxMemoryStream s;
  const int v = f.version;
  if (v > 0) {
    char magic[16];
    std::snprintf(magic, sizeof magic, "Vorn%03d", v);
    s.WriteExact(magic, 7);
  }
  if (v < 103) {
    s.WriteInt32(static_cast<int32_t>(f.frames.size()));
    s.WriteByte(0);
    if (v > 101) s.WriteInt32(f.header.BGColor);
  } else {
    uint8_t h[orva::TVornHeader::kSize];
    orva::TVornHeader header = f.header;
    header.Version = v;
    header.Count = static_cast<int32_t>(f.frames.size());
    header.ToBytes(h);
    s.WriteInt32(orva::TVornHeader::kSize);
    s.WriteExact(h, sizeof h);
  }
  for (const RecFrame& fr : f.frames) {
    s.WriteString(fr.name);
    s.WriteInt32(fr.transColor);
    s.WriteInt32(fr.delay);
    s.WriteByte(fr.disposal);
    s.WriteInt32(0);
    s.WriteInt32(static_cast<int32_t>(fr.layers.size()));
    s.WriteInt32(fr.width);
    s.WriteInt32(fr.height);
    s.WriteInt32(fr.bpp);
    if (fr.bpp <= 8)
      for (int i = 0; i < (1 << fr.bpp); ++i) {
        const uint32_t c = i < static_cast<int>(fr.palette.size()) ? fr.palette[static_cast<size_t>(i)] : 0;
        s.WriteUInt32(c & 0xFFFFFF);
      }
    for (const RecLayer& l : fr.layers) {
      s.WriteInt64(0);
      s.WriteBool(l.visible);
      s.WriteInt32(l.transColor);
      s.WriteInt32(l.alpha);
      if (v > 100) s.WriteBool(l.alphaOn);
      s.WriteString(l.name);
      if (v > 106) s.WriteByte(0);
      s.WriteInt32(static_cast<int32_t>(l.color.size()));
      s.WriteExact(l.color.data(), static_cast<int64_t>(l.color.size()));
      if (v > 99) {
        s.WriteInt32(static_cast<int32_t>(l.alphaData.size()));
        s.WriteExact(l.alphaData.data(), static_cast<int64_t>(l.alphaData.size()));
      }
    }
    if (v >= 104) {
      for (const auto* list : {&fr.rects, &fr.rects2}) {
        s.WriteInt32(static_cast<int32_t>(list->size()));
        for (const orva::TRect& r : *list) {
          s.WriteInt32(r.Left);
          s.WriteInt32(r.Top);
          s.WriteInt32(r.Right);
          s.WriteInt32(r.Bottom);
        }
      }
    }
  }
  return s.Bytes();
}

std::vector<uint8_t> PlaneRows(TDIBX& plane, int32_t seed, bool shuffled) {
  const size_t stride = static_cast<size_t>(TDIBX::RowBytes(plane.Width(), plane.StorageBitCount()));
  const int h = plane.Height();
  std::vector<uint8_t> out(stride * static_cast<size_t>(h));
  const std::vector<int32_t> order = orva::ShuffleOrder(seed, h);
  for (int k = 0; k < h; ++k) {
    const int y = shuffled ? order[static_cast<size_t>(k)] : k;
    std::memcpy(out.data() + stride * static_cast<size_t>(k), plane.Row(y), stride);
  }
  return out;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) { return orva::Deflate(raw.data(), raw.size()); }

std::vector<uint8_t> PlaneBlocks(TDIBX& plane, int bw, int bh, const std::vector<std::pair<int32_t, int32_t>>& entries,
                                 int32_t seed, bool shuffled) {
  const int w = plane.Width(), h = plane.Height(), bits = plane.StorageBitCount();
  const int cols = (w + bw - 1) / bw, rows = (h + bh - 1) / bh, n = cols * rows;
  std::vector<std::pair<int32_t, int32_t>> table(static_cast<size_t>(n), {-1, 0});
  for (size_t i = 0; i < entries.size() && i < table.size(); ++i) table[i] = entries[i];
  std::vector<uint8_t> out;
  auto put32 = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  };
  // Stored entry k belongs to block order[k].
  const std::vector<int32_t> order = orva::ShuffleOrder(seed, n);
  for (int k = 0; k < n; ++k) {
    const auto& e = table[static_cast<size_t>(shuffled ? order[static_cast<size_t>(k)] : k)];
    put32(e.first);
    put32(e.second);
  }
  for (int i = 0; i < n; ++i) {
    if (table[static_cast<size_t>(i)].first != -1) continue;
    const int x0 = (i % cols) * bw, y0 = (i / cols) * bh;
    const int bwReal = std::min(bw, w - x0), bhReal = std::min(bh, h - y0);
    const int rowBytes = (bits * bwReal + 7) / 8;
    for (int y = 0; y < bhReal; ++y) {
      std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
      for (int b = 0; b < bits * bwReal; ++b) {
        const int64_t sb = int64_t{x0} * bits + b;
        const int bit = (plane.Row(y0 + y)[sb >> 3] >> (7 - (sb & 7))) & 1;
        if (bit) row[static_cast<size_t>(b >> 3)] |= static_cast<uint8_t>(0x80 >> (b & 7));
      }
      out.insert(out.end(), row.begin(), row.end());
    }
  }
  return out;
}

std::vector<uint8_t> TinyGif() {
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* data, int n) {
    auto* o = static_cast<std::vector<uint8_t>*>(g->UserData);
    o->insert(o->end(), data, data + n);
    return n;
  }, &err);
  GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, 3, 2, 2, 0, map);
  GifByteType ext[4] = {1, 0, 0, 3};
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
  EGifPutImageDesc(gif, 0, 0, 3, 2, false, nullptr);
  GifPixelType rows[2][3] = {{0, 1, 2}, {3, 2, 1}};
  EGifPutLine(gif, rows[0], 3);
  EGifPutLine(gif, rows[1], 3);
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
}

}  // namespace orvatest
