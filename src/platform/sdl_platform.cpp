#include "platform/sdl_platform.h"

#include <cstring>
#include <string>

#include "common/errors.h"
#include "platform/sdl_backend.h"

namespace orva::platform {

std::unique_ptr<IAudioOutput> MakeSdlAudioOutput() { return std::make_unique<SdlAudioOutput>(); }

Platform MakeSdlPlatform(ScaleMode scale) {
  // The screen saver and monitor power-off stay off while a game runs (SDL's
  // default); keep the compositor as it is.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
    throw OrvaError::Utf8(std::string("cannot open the display: ") + SDL_GetError());
  // SDL falls back to a window nobody can see when there is no display; a
  // player nobody can see or stop is no use, unless asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) && !(asked && *asked)) {
    SDL_Quit();
    throw OrvaError::Utf8("cannot open the display: no X11 or Wayland display found");
  }
  Platform p;
  p.backend = std::shared_ptr<void>(nullptr, [](void*) { SDL_Quit(); });
  auto display = std::make_unique<SdlDisplay>(scale);
  SdlDisplay* d = display.get();
  p.display = std::move(display);
  p.events = std::make_unique<SdlEventSource>(d);
  p.clock = std::make_unique<SystemClock>();
  p.audio = MakeSdlAudioOutput();
  p.messageBox = std::make_unique<SdlMessageBox>(d);
  p.dialogs = std::make_unique<DesktopDialogs>();
  p.interactive = true;
  return p;
}

}  // namespace orva::platform
