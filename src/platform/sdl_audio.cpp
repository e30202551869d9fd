#include <algorithm>
#include <cstring>

#include "common/log.h"
#include "platform/sdl_backend.h"

namespace orva::platform {

void SdlAudioOutput::Trampoline(void* self, Uint8* stream, int len) {
  auto* out = static_cast<SdlAudioOutput*>(self);
  std::memset(stream, 0, static_cast<size_t>(len));
  if (out->callback_) out->callback_(reinterpret_cast<int16_t*>(stream), len / (2 * kAudioChannels));
}

bool SdlAudioOutput::Open(AudioCallback callback, int bufferFrames) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    log::Warning(std::string("no sound device: ") + SDL_GetError());
    return false;
  }
  callback_ = std::move(callback);
  SDL_AudioSpec want{}, have{};
  want.freq = kAudioRate;
  want.format = AUDIO_S16SYS;
  want.channels = kAudioChannels;
  want.samples = static_cast<Uint16>(std::clamp(bufferFrames, 64, 8192));
  want.callback = &Trampoline;
  want.userdata = this;
  // No changes allowed: SDL converts to whatever the device takes.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    log::Warning(std::string("no sound device: ") + SDL_GetError());
    callback_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

void SdlAudioOutput::SetPaused(bool paused) {
  if (device_) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void SdlAudioOutput::Close() {
  if (!device_) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  callback_ = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace orva::platform
