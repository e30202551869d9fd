// The layered-picture model: frames, composition, conversion and the
// loaders of single pictures into frames.
#include "imaging/vorns.h"

#include <cstring>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "common/streams.h"
#include "imaging/pictures.h"
#include "imaging/vornimpl.h"
#include "storage/rands.h"
#include "storage/vrfiles.h"

namespace orva {

using vornimpl::SwapRB;

namespace {
int32_t GetI32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24));
}
void PutI32(uint8_t* p, int32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
}  // namespace

void TVornHeader::FromBytes(const uint8_t* b) {
  Version = GetI32(b);
  Width = GetI32(b + 4);
  Height = GetI32(b + 8);
  Bpp = GetI32(b + 12);
  Count = GetI32(b + 16);
  SyncPal = b[20];
  Randomized = b[21];
  CompType = b[22];
  BGColor = GetI32(b + 24);
  BlockWidth = GetI32(b + 28);
  BlockHeight = GetI32(b + 32);
  NotFillBG = b[36];
  CompLevel = b[37];
}

void TVornHeader::ToBytes(uint8_t* b) const {
  std::memset(b, 0, kSize);
  PutI32(b, Version);
  PutI32(b + 4, Width);
  PutI32(b + 8, Height);
  PutI32(b + 12, Bpp);
  PutI32(b + 16, Count);
  b[20] = SyncPal;
  b[21] = Randomized;
  b[22] = CompType;
  PutI32(b + 24, BGColor);
  PutI32(b + 28, BlockWidth);
  PutI32(b + 32, BlockHeight);
  b[36] = NotFillBG;
  b[37] = CompLevel;
}

std::vector<int32_t> ShuffleOrder(int32_t seed, int32_t count) {
  std::vector<int32_t> order(static_cast<size_t>(std::max(count, 0)));
  TMxRandom random(seed);
  random.FillDeck(count);
  for (auto& o : order) o = random.Draw();
  return order;
}

TVornFrame& TVornFrameList::Frame(int index) {
  if (index < 0 || index >= Count()) throw OrvaError::Utf8("Error:TVornFrameList.GetFrame");
  return *Frames[static_cast<size_t>(index)];
}

void TVornFrame::UpdateTransRgb() {
  TransRgb = TransColor == -1 ? -1 : static_cast<int32_t>(SwapRB(Color.PixelToRgb(static_cast<uint32_t>(TransColor))));
}

TRect TVornFrame::CropToVisible() {
  const int w = Width(), h = Height();
  const bool useAlpha = AlphaPlane != nullptr;
  if (!useAlpha && TransColor == -1) return Color.BoundsRect();
  TRect box{w, h, 0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool visible = useAlpha ? AlphaPlane->GetPixel(x, y) != 0
                                    : Color.GetPixel(x, y) != static_cast<uint32_t>(TransColor);
      if (!visible) continue;
      box.Left = std::min(box.Left, x);
      box.Top = std::min(box.Top, y);
      box.Right = std::max(box.Right, x + 1);
      box.Bottom = std::max(box.Bottom, y + 1);
    }
  if (box.Empty()) box = TRect{0, 0, 0, 0};
  if (box == Color.BoundsRect()) return box;
  auto crop = [&](TDIBX& s) {
    TDIBX cropped(box.Width(), box.Height(), s.BitCount());
    cropped.SetPalette(s.Palette());
    cropped.Draw(0, 0, s, box);
    s.SetSize(box.Width(), box.Height(), s.BitCount());
    s.Draw(0, 0, cropped, cropped.BoundsRect());
  };
  crop(Color);
  if (AlphaPlane) crop(*AlphaPlane);
  for (auto& layer : Layers) {
    crop(layer->Color);
    if (layer->AlphaPlane) crop(*layer->AlphaPlane);
  }
  auto move = [&](std::vector<TRect>& rects) {
    std::vector<TRect> kept;
    for (const TRect& r : rects) {
      const TRect m = Intersect(r, box).Offset(-box.Left, -box.Top);
      if (!m.Empty()) kept.push_back(m);
    }
    rects = std::move(kept);
  };
  move(ContentRects);
  move(SecondRects);
  return box;
}

std::unique_ptr<TDIBX> MaskFromKey(TCustomDIBX& color, uint32_t key) {
  auto mask = std::make_unique<TDIBX>(color.Width(), color.Height(), 8);
  mask->Clear(255);
  for (int y = 0; y < color.Height(); ++y)
    for (int x = 0; x < color.Width(); ++x)
      if (color.GetPixel(x, y) == key) mask->Row(y)[x] = 0;
  return mask;
}

namespace vornimpl {

void ComposeFrame(TVornFrame& frame, int32_t bgColor, bool notFillBG) {
  TDIBX& c = frame.Color;
  c.Clear(c.RgbToPixel(SwapRB(static_cast<uint32_t>(bgColor))));
  bool first = true;
  for (auto& lp : frame.Layers) {
    TVornLayer& layer = *lp;
    if (!layer.Visible) continue;
    const bool masked = layer.AlphaPlane && layer.AlphaOn;
    const TRect all = layer.Color.BoundsRect();
    if (masked && !first) {
      c.DrawMask(0, 0, layer.Color, all, *layer.AlphaPlane);
    } else if ((layer.TransColor == -1 || (first && notFillBG)) && layer.Alpha >= 255) {
      c.Draw(0, 0, layer.Color, all);
    } else {
      layer.Color.TransparentColor = layer.TransColor;
      c.DrawAlpha(0, 0, layer.Color, all, layer.Alpha, false, false, layer.TransColor != -1);
    }
    if (first && masked) {
      frame.AlphaPlane = std::make_unique<TDIBX>(layer.AlphaPlane->Width(), layer.AlphaPlane->Height(), 8);
      frame.AlphaPlane->Draw(0, 0, *layer.AlphaPlane, layer.AlphaPlane->BoundsRect());
    }
    first = false;
  }
  frame.UpdateTransRgb();
}

namespace {
// Converts a surface to `bits`, returning the new native value of key.
int32_t ConvertSurface(TDIBX& s, int bits, int32_t key) {
  if (s.BitCount() == bits) return key;
  const int32_t newKey = key == -1 ? -1 : static_cast<int32_t>(0);
  TDIBX converted(1, 1, bits);
  CopyConvert(converted, s);
  uint32_t keyRgb = key == -1 ? 0 : s.PixelToRgb(static_cast<uint32_t>(key));
  s.SetSize(converted.Width(), converted.Height(), bits);
  s.Draw(0, 0, converted, converted.BoundsRect());
  return key == -1 ? newKey : static_cast<int32_t>(s.RgbToPixel(keyRgb));
}
}  // namespace

void ConvertFrame(TVornFrame& frame, int32_t targetBitCount, bool layersKept) {
  if (frame.TransColor != -1 && !frame.AlphaPlane)
    frame.AlphaPlane = MaskFromKey(frame.Color, static_cast<uint32_t>(frame.TransColor));
  if (layersKept) {
    for (auto& layer : frame.Layers) {
      const int32_t key = layer->TransColor != -1 ? layer->TransColor : frame.TransColor;
      if (key != -1 && !layer->AlphaPlane) layer->AlphaPlane = MaskFromKey(layer->Color, static_cast<uint32_t>(key));
    }
  }
  int bits = targetBitCount;
  if (bits <= 0) {
    if (frame.Bpp() > 8) return;
    bits = 24;
  }
  frame.TransColor = ConvertSurface(frame.Color, bits, frame.TransColor);
  if (layersKept)
    for (auto& layer : frame.Layers) layer->TransColor = ConvertSurface(layer->Color, bits, layer->TransColor);
  frame.UpdateTransRgb();
}

}  // namespace vornimpl

void TVornFrameList::MakeMasks() {
  for (auto& f : Frames)
    if (!f->AlphaPlane && f->TransColor != -1)
      f->AlphaPlane = MaskFromKey(f->Color, static_cast<uint32_t>(f->TransColor));
}

void TVornFrameList::LoadPicture(std::span<const uint8_t> data, bool convert) {
  Clear();
  TPicture pic = DecodePicture(data);
  auto frame = std::make_unique<TVornFrame>();
  frame->Color.SetSize(1, 1, pic.color->BitCount());
  CopyConvert(frame->Color, *pic.color);
  frame->AlphaPlane = std::move(pic.alpha);
  frame->TransColor = pic.transColor;
  frame->UpdateTransRgb();
  if (convert) vornimpl::ConvertFrame(*frame, TargetBitCount, false);
  Frames.push_back(std::move(frame));
}

namespace {
enum class FileKind { None, Vorn, Picture };
FileKind KindOfName(std::string_view name) {
  const std::string ext = cp932::ToLower(paths::ExtractFileExt(name));
  if (ext == ".vor") return FileKind::Vorn;
  if (ext == ".png" || ext == ".bmp" || ext == ".dib" || ext == ".jpg" || ext == ".jpeg" || ext == ".gif")
    return FileKind::Picture;
  return FileKind::None;
}
}  // namespace

bool TVornFrameList::LoadsByName(std::string_view name) { return KindOfName(name) != FileKind::None; }

void TVornFrameList::LoadByName(std::string_view name, TMxMemoryStream& data, bool firstFrameOnly, bool keepLayers,
                                bool convert) {
  const FileKind kind = KindOfName(name);
  if (kind == FileKind::Vorn) LoadFromStream(data, firstFrameOnly, keepLayers, convert);
  else if (kind == FileKind::Picture) LoadPicture(data.Bytes(), convert);
}

void TVornFrameList::LoadFromFile(const std::string& hostPath, bool firstFrameOnly, bool keepLayers, bool convert) {
  // A host path is UTF-8: its extension is found as such.
  const std::string ext = paths::ExtractHostExt(hostPath);
  if (!LoadsByName(ext)) return;
  TMxMemoryStream m;
  m.LoadFromFile(hostPath);
  LoadByName(ext, m, firstFrameOnly, keepLayers, convert);
}

void TVornFrameList::LoadFromVfs(TVrFileManager& files, std::string_view name, bool firstFrameOnly, bool keepLayers,
                                 bool convert) {
  if (!LoadsByName(name)) return;
  TMxMemoryStream m;
  files.LoadEntry(m, name);
  LoadByName(name, m, firstFrameOnly, keepLayers, convert);
}

void CopyFrameToSurface(TVornFrame& frame, TCustomDIBX& surface) {
  CopyConvert(surface, frame.Color);
  surface.ContentRects = frame.ContentRects;
  surface.SecondRects = frame.SecondRects;
}

void CopyAlphaToSurface(TVornFrame& frame, TCustomDIBX& surface) {
  surface.SetSize(frame.Width(), frame.Height(), 8);
  if (frame.AlphaPlane) {
    surface.Draw(0, 0, *frame.AlphaPlane, frame.AlphaPlane->BoundsRect());
  } else {
    surface.Clear(255);
  }
}

}  // namespace orva
