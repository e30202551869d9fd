// Layered pictures (".vor"): a list of frames, each composed from layers.
// Two file generations exist: the record generation ("Vorn" + 3 digits) and
// the XML-headed generation ("VornX" + 3 digits), which is also what the
// writer produces. Rows or blocks may be stored shuffled, keyed by the
// project's identification code.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/dibx.h"

namespace orva {

class TStream;
class TMxMemoryStream;
class TVrFileManager;

// The 40-byte header record.
struct TVornHeader {
  int32_t Version = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Bpp = 0;
  int32_t Count = 0;
  uint8_t SyncPal = 0;
  uint8_t Randomized = 0;
  uint8_t CompType = 0;
  int32_t BGColor = 0;
  int32_t BlockWidth = 0;
  int32_t BlockHeight = 0;
  uint8_t NotFillBG = 0;
  uint8_t CompLevel = 0;

  static constexpr int kSize = 40;
  void FromBytes(const uint8_t* bytes);  // kSize bytes
  void ToBytes(uint8_t* bytes) const;
};

class TVornLayer {
 public:
  std::string Name;
  bool Visible = true;
  int32_t TransColor = -1;  // native value (an index for indexed layers)
  int32_t Alpha = 255;
  bool AlphaOn = false;
  TDIBX Color;
  std::unique_ptr<TDIBX> AlphaPlane;  // 8 bits, 255 = opaque
};

class TVornFrame {
 public:
  std::string Name;
  int32_t TransColor = -1;  // as stored: native value or palette index
  int32_t TransRgb = -1;    // the same as a 0x00BBGGRR colour
  int32_t Delay = 0;
  uint8_t Disposal = 0;
  TDIBX Color;
  std::unique_ptr<TDIBX> AlphaPlane;
  std::vector<TRect> ContentRects;
  std::vector<TRect> SecondRects;
  std::vector<std::unique_ptr<TVornLayer>> Layers;

  int Width() const { return Color.Width(); }
  int Height() const { return Color.Height(); }
  int Bpp() const { return Color.BitCount(); }
  // Crops to the bounding box of the visible pixels (alpha > 0, else not the
  // transparent colour); returns that box in the old coordinates.
  TRect CropToVisible();
  // Recomputes TransRgb from TransColor without touching the pixels.
  void UpdateTransRgb();
};

class TVornFrameList {
 public:
  explicit TVornFrameList(int32_t identCode = 0) : IdentCode(identCode) {}

  int32_t Version = 0;
  int32_t BGColor = 0;  // 0x00BBGGRR
  bool NotFillBG = false;
  int32_t IdentCode = 0;
  int32_t TargetBitCount = 0;
  TVornHeader Header;  // of the last file read
  std::vector<std::unique_ptr<TVornFrame>> Frames;

  int Count() const { return static_cast<int>(Frames.size()); }
  // Throws "Error:TVornFrameList.GetFrame" outside 0..Count-1.
  TVornFrame& Frame(int index);
  void Clear() { Frames.clear(); }

  // Reads either generation. firstFrameOnly limits record-generation files
  // to one frame; keepLayers keeps the layers after composition; convert
  // builds alpha planes from transparent colours and converts depths.
  void LoadFromStream(TStream& stream, bool firstFrameOnly, bool keepLayers, bool convert);
  // By lower-cased extension: ".vor", ".png", ".bmp"/".dib", ".jpg"/".jpeg",
  // ".gif"; other extensions load nothing. From a host file or the virtual
  // file system.
  void LoadFromFile(const std::string& hostPath, bool firstFrameOnly, bool keepLayers, bool convert);
  void LoadFromVfs(TVrFileManager& files, std::string_view name, bool firstFrameOnly, bool keepLayers, bool convert);
  // The same for a file already read into memory; `name` only chooses the
  // reader.
  void LoadByName(std::string_view name, TMxMemoryStream& data, bool firstFrameOnly, bool keepLayers, bool convert);
  // True when the name's extension is one of those above.
  static bool LoadsByName(std::string_view name);
  // One frame from a plain picture (BMP, PNG, JPEG, GIF).
  void LoadPicture(std::span<const uint8_t> data, bool convert);
  // The header record without the pixels; `xml` tells the generation.
  static TVornHeader ReadHeader(TStream& stream, bool* xml = nullptr);

  // Writes the XML generation.
  void SaveToStream(TStream& stream, int compType, int compLevel);
  void SaveToFile(const std::string& hostPath) { SaveToFile(hostPath, 0, 70); }
  void SaveToFile(const std::string& hostPath, int compType, int compLevel);

  // Alpha planes from transparent colours for frames that have none.
  void MakeMasks();
};

// Sizes surface to the frame at the surface's own depth, copies the colour
// pixels and the frame's rectangle lists.
void CopyFrameToSurface(TVornFrame& frame, TCustomDIBX& surface);
// An 8-bit surface of the frame's size holding its alpha plane (all 255
// when the frame has none).
void CopyAlphaToSurface(TVornFrame& frame, TCustomDIBX& surface);

// An 8-bit alpha plane of color's size: 255, and 0 where the pixel equals
// the native colour key.
std::unique_ptr<TDIBX> MaskFromKey(TCustomDIBX& color, uint32_t key);

// The shuffle of stored items: stored item k belongs at order[k].
std::vector<int32_t> ShuffleOrder(int32_t seed, int32_t count);

}  // namespace orva
