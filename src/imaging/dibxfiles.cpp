// Loading and saving whole surfaces.
#include <fstream>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "common/streams.h"
#include "imaging/dibx.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"

namespace orva {

namespace {
bool IsBmpName(const std::string& path) { return cp932::ToLower(paths::ExtractFileExt(path)) == ".bmp"; }

// The picture's colour pixels into the surface at the surface's own depth.
void TakePicture(TCustomDIBX& surface, TDIBX& picture) {
  const int bits = surface.BitCount();
  if (bits <= 8 && picture.BitCount() <= 8) surface.SetPaletteEntries(0, 256, picture.Palette());
  CopyConvert(surface, picture);
}
}  // namespace

void TCustomDIBX::LoadFromFile(const std::string& hostPath) {
  if (!IsBmpName(hostPath) || !paths::IsRegularFile(hostPath)) return;
  TMxMemoryStream m;
  m.LoadFromFile(hostPath);
  TPicture pic = DecodeBmp(m.Bytes());
  TakePicture(*this, *pic.color);
}

void TCustomDIBX::LoadFromStream(TStream& stream, int32_t identCode) {
  TMxMemoryStream m;
  stream.SetPosition(0);
  m.CopyFrom(stream, 0);
  switch (SniffPicture(m.Bytes())) {
    case PictureKind::Bmp: {
      TPicture pic = DecodeBmp(m.Bytes());
      TakePicture(*this, *pic.color);
      break;
    }
    case PictureKind::Png: {
      TPicture pic = DecodePng(m.Bytes());
      TakePicture(*this, *pic.color);
      break;
    }
    case PictureKind::Vorn: {
      TVornFrameList list(identCode);
      list.LoadFromStream(m, true, false, false);
      if (list.Count() > 0) TakePicture(*this, list.Frame(0).Color);
      break;
    }
    default: break;
  }
}

void TCustomDIBX::SaveToFile(const std::string& hostPath) {
  if (!IsBmpName(hostPath)) return;
  const std::vector<uint8_t> bytes = EncodeBmp24(*this);
  TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  m.SaveToFile(hostPath);
}

}  // namespace orva
