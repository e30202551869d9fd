// Brightness-adjusted copies of cached pictures, for components whose
// brightness (or darkening level) is not neutral.
#pragma once

#include <memory>

#include "components/vorncollection.h"
#include "imaging/dibx.h"

namespace orva {

// A frame's picture with a grey level added on every channel (brightness
// above 0) or subtracted (below 0), saturating; brightness is held to
// -255..255. The copy shows exactly where the frame shows: it carries no
// colour key (a changed pixel could land on the key, a keyed one leave it),
// so a keyed frame gets a mask made from its key, and a masked frame's own
// mask is used.
struct TBrightnessCopy {
  std::unique_ptr<TDIBX> picture;
  std::unique_ptr<TDIBX> ownMask;  // made from the key
  TDIBX* mask = nullptr;           // ownMask, the frame's mask, or null
  int brightness = 0;
};

int ClampBrightness(int brightness);
// Null picture for brightness 0 (the frame is drawn as it is) or a frame
// without pixels.
TBrightnessCopy MakeBrightnessCopy(const TVornItemFrame& frame, int brightness);

}  // namespace orva
