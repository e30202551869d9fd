#include "platform/audio.h"

namespace orva::platform {

bool NullAudioOutput::Open(AudioCallback callback, int) {
  callback_ = std::move(callback);
  paused_ = true;
  return true;
}

void NullAudioOutput::Close() {
  callback_ = nullptr;
  paused_ = true;
}

std::vector<int16_t> NullAudioOutput::Pull(int frames) {
  std::vector<int16_t> samples(static_cast<size_t>(frames > 0 ? frames : 0) * kAudioChannels, 0);
  if (callback_ && !paused_ && frames > 0) callback_(samples.data(), frames);
  return samples;
}

}  // namespace orva::platform
