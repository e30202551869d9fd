// The SDL2 backend of the platform seam: one window with a software frame
// uploaded to a streaming texture and scaled by the renderer (aspect kept,
// letterboxed), desktop full screen, the audio device, message boxes.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace orva::platform {

// Starts SDL's video and event subsystems. Throws OrvaError when there is no
// display to open a window on.
Platform MakeSdlPlatform(ScaleMode scale);

// The SDL sound output alone (the platform bundle makes one too).
std::unique_ptr<IAudioOutput> MakeSdlAudioOutput();

// The virtual-key code of an SDL key code (SDL_Keycode) with the modifier
// state (SDL_Keymod) it came with; 0 for keys that have none. Keypad keys
// give the numeric codes while Num Lock is on and the navigation codes while
// it is off, as on Windows.
uint8_t VirtualKeyFromSdl(int32_t sdlKeycode, uint16_t sdlMod);

// The same for a key named as SDL names it ("A", "Keypad 7", "Left Shift"),
// with Num Lock on or off; 0 for unknown names. For key scripts and checks.
uint8_t VirtualKeyFromSdlName(const char* sdlKeyName, bool numLock);

}  // namespace orva::platform
