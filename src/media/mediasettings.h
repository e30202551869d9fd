// The run configuration's sound and video settings, with their defaults
// until "game.ini" is read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace orva::media {

struct TMediaSettings {
  // [Sound] "DirectSound": Ogg and wave play as the back end's own items
  // (20 ms mixer blocks); false: they are decoded to PCM and played through
  // mixer buffers with the wave output's own volume scale, in blocks of
  // DelayTime.
  bool directSound = true;
  // [Sound] "DelayTime", ms.
  int32_t delayTime = 500;
  // [Video] "UseWMP": videos still play as one kind of item.
  bool useWmp = false;
  // [Midi] "SoundFont": the General MIDI bank (host path; "" looks for the
  // installed ones).
  std::string midiSoundFont;

  static constexpr int32_t kNativeDelayMs = 20;

  // A stored delay as it is used: rounded down to 100 ms, 100 ... 500.
  static int32_t NormalDelay(int32_t stored) { return std::clamp(stored / 100 * 100, 100, 500); }
  int32_t MixerDelayMs() const { return directSound ? kNativeDelayMs : NormalDelay(delayTime); }
};

}  // namespace orva::media
