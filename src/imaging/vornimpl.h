// Steps shared by the layered-picture reader, the plain-picture loader and
// the writer. Internal to the imaging library.
#pragma once

#include "imaging/vorns.h"

namespace orva::vornimpl {

// Fills the composite with the background and draws the visible layers.
void ComposeFrame(TVornFrame& frame, int32_t bgColor, bool notFillBG);
// Alpha planes from transparent colours, then the depth conversion.
void ConvertFrame(TVornFrame& frame, int32_t targetBitCount, bool layersKept);
// 0x00BBGGRR <-> 0x00RRGGBB.
inline uint32_t SwapRB(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

}  // namespace orva::vornimpl
