#include "components/brightness.h"

#include <algorithm>
#include <cstdlib>

#include "imaging/vorns.h"

namespace orva {

int ClampBrightness(int brightness) { return std::clamp(brightness, -255, 255); }

TBrightnessCopy MakeBrightnessCopy(const TVornItemFrame& frame, int brightness) {
  TBrightnessCopy copy;
  copy.brightness = ClampBrightness(brightness);
  TDIBX& source = *frame.picture;
  if (copy.brightness == 0 || source.IsEmpty()) return copy;
  copy.picture = std::make_unique<TDIBX>(1, 1, source.BitCount());
  CopyConvert(*copy.picture, source);
  copy.picture->ContentRects = source.ContentRects;
  copy.picture->SecondRects = source.SecondRects;
  const uint32_t level = static_cast<uint32_t>(std::abs(copy.brightness));
  const uint32_t grey = copy.picture->ColorToPixel(static_cast<int32_t>(level * 0x010101u));
  if (copy.brightness > 0) copy.picture->FillRectAdd(copy.picture->BoundsRect(), grey);
  else copy.picture->FillRectSub(copy.picture->BoundsRect(), grey);
  if (frame.mask) {
    copy.mask = frame.mask.get();
  } else if (source.TransparentColor != -1) {
    copy.ownMask = MaskFromKey(source, static_cast<uint32_t>(source.TransparentColor));
    copy.mask = copy.ownMask.get();
  }
  return copy;
}

}  // namespace orva
