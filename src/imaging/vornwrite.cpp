// Writing layered pictures in the XML-headed generation.
#include <cstdio>
#include <cstring>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "imaging/mxxml.h"
#include "imaging/pictures.h"
#include "imaging/vornimpl.h"
#include "imaging/vorns.h"
#include "storage/scrambles.h"

namespace orva {

namespace {

// The rows of a plane top first (shuffled: stored row k is the row the
// k-th draw names).
std::vector<uint8_t> RawRows(TDIBX& plane, int32_t seed, bool shuffled) {
  const int h = plane.Height();
  const size_t stride = static_cast<size_t>(TDIBX::RowBytes(plane.Width(), plane.StorageBitCount()));
  std::vector<uint8_t> out(stride * static_cast<size_t>(h));
  std::vector<int32_t> order;
  if (shuffled) order = ShuffleOrder(seed, h);
  for (int k = 0; k < h; ++k) {
    const int y = shuffled ? order[static_cast<size_t>(k)] : k;
    std::memcpy(out.data() + stride * static_cast<size_t>(k), plane.Row(y), stride);
  }
  return out;
}

void WriteBlock(TStream& out, const std::vector<uint8_t>& bytes) {
  out.WriteInt32(static_cast<int32_t>(bytes.size()));
  if (!bytes.empty()) out.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
}

struct LayerOut {
  std::string name;
  bool visible = true;
  int32_t transColor = -1;
  int32_t alpha = 255;
  bool alphaOn = false;
  TDIBX* color = nullptr;
  TDIBX* alphaPlane = nullptr;
};

}  // namespace

void TVornFrameList::SaveToStream(TStream& out, int compType, int compLevel) {
  if (Frames.empty()) throw OrvaError::Utf8("no frames to write");
  const bool randomized = IdentCode != 0;
  const int type = randomized ? 1 : compType;
  if (type < 0 || type > 2) throw OrvaError::Utf8("unknown compression type");
  TVornFrame& first = *Frames.front();

  TMxXml root("Frames");
  root.SetAttribute("Version", 200);
  root.SetAttribute("Width", first.Width());
  root.SetAttribute("Height", first.Height());
  root.SetAttribute("Bpp", first.Bpp());
  root.SetAttribute("Count", Count());
  root.SetAttribute("SyncPal", 1);
  root.SetAttribute("Randomized", randomized ? 1 : 0);
  root.SetAttribute("CompType", type);
  root.SetAttribute("CompLevel", compLevel);
  root.SetAttribute("BGColor", BGColor);
  root.SetAttribute("BlockWidth", 0);
  root.SetAttribute("BlockHeight", 0);
  root.SetAttribute("NotFillBG", NotFillBG ? 1 : 0);

  std::vector<std::vector<LayerOut>> layersPerFrame;
  for (auto& fp : Frames) {
    TVornFrame& f = *fp;
    TMxXml& fe = root.AddChild("Frame");
    fe.SetAttribute("Name", f.Name);
    fe.SetAttribute("TransColor", f.TransColor);
    fe.SetAttribute("Delay", f.Delay);
    fe.SetAttribute("Disposal", f.Disposal);
    std::vector<LayerOut> layers;
    if (f.Layers.empty()) {
      // The composite stands for the layers that were not kept.
      LayerOut l;
      l.color = &f.Color;
      l.alphaPlane = f.AlphaPlane.get();
      l.alphaOn = f.AlphaPlane != nullptr;
      layers.push_back(l);
    } else {
      for (auto& lp : f.Layers) {
        LayerOut l;
        l.name = lp->Name;
        l.visible = lp->Visible;
        l.transColor = lp->TransColor;
        l.alpha = lp->Alpha;
        l.alphaOn = lp->AlphaOn;
        l.color = &lp->Color;
        l.alphaPlane = lp->AlphaPlane.get();
        if (l.color->Width() != f.Width() || l.color->Height() != f.Height() || l.color->BitCount() != f.Bpp())
          throw OrvaError::Utf8("a layer differs from its frame in size or depth");
        layers.push_back(l);
      }
    }
    TMxXml& le = fe.AddChild("Layers");
    le.SetAttribute("Count", static_cast<int64_t>(layers.size()));
    le.SetAttribute("Width", f.Width());
    le.SetAttribute("Height", f.Height());
    le.SetAttribute("Bpp", f.Bpp());
    if (f.Bpp() <= 8) {
      TMxXml& rgb = le.AddChild("RGB");
      const uint32_t* pal = f.Color.Palette();
      for (int i = 0; i < (1 << f.Bpp()); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%06X", vornimpl::SwapRB(pal[i] & 0xFFFFFF));
        rgb.Text += hex;
      }
    }
    for (const LayerOut& l : layers) {
      TMxXml& e = le.AddChild("Layer");
      e.SetAttribute("Left", 0);
      e.SetAttribute("Top", 0);
      e.SetAttribute("Visible", l.visible ? 1 : 0);
      e.SetAttribute("TransColor", l.transColor);
      e.SetAttribute("Alpha", l.alpha);
      e.SetAttribute("AlphaOn", l.alphaOn ? 1 : 0);
      e.SetAttribute("Name", l.name);
      e.SetAttribute("Lock", 0);
    }
    layersPerFrame.push_back(std::move(layers));
  }

  const std::string xml = root.Write();
  out.WriteBytes("VornX200");
  WriteBlock(out, Deflate(reinterpret_cast<const uint8_t*>(xml.data()), xml.size()));
  for (auto& layers : layersPerFrame) {
    for (const LayerOut& l : layers) {
      if (type == 2) {
        WriteBlock(out, EncodeJpeg(*l.color, compLevel > 0 ? compLevel : 75));
      } else {
        std::vector<uint8_t> rows = RawRows(*l.color, IdentCode, randomized);
        WriteBlock(out, type == 0 ? Deflate(rows.data(), rows.size()) : rows);
      }
      if (!l.alphaPlane) {
        out.WriteInt32(0);
        continue;
      }
      std::vector<uint8_t> rows = RawRows(*l.alphaPlane, IdentCode, randomized && type != 2);
      WriteBlock(out, type == 1 ? rows : Deflate(rows.data(), rows.size()));
    }
  }
}

void TVornFrameList::SaveToFile(const std::string& hostPath, int compType, int compLevel) {
  TMxMemoryStream m;
  SaveToStream(m, compType, compLevel);
  m.SaveToFile(hostPath);
}

}  // namespace orva
