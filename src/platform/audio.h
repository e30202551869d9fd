// Sound output: one device pulling 16-bit stereo samples at 44100 Hz from a
// callback that the mixer provides. The callback runs on the device's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace orva::platform {

constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;

// Fills `frames` stereo frames (2 * frames samples, interleaved left/right).
using AudioCallback = std::function<void(int16_t* samples, int frames)>;

class IAudioOutput {
 public:
  virtual ~IAudioOutput() = default;
  // Opens the device, paused, pulling at most `bufferFrames` frames at a
  // time. False when there is no usable device: the program then runs
  // silent.
  virtual bool Open(AudioCallback callback, int bufferFrames) = 0;
  virtual void SetPaused(bool paused) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
};

// No device: nothing is pulled unless a test asks for it with Pull.
class NullAudioOutput : public IAudioOutput {
 public:
  bool Open(AudioCallback callback, int bufferFrames) override;
  void SetPaused(bool paused) override { paused_ = paused; }
  void Close() override;
  bool IsOpen() const override { return static_cast<bool>(callback_); }
  bool IsPaused() const { return paused_; }
  // Runs the callback for `frames` frames, as the device thread would; a
  // paused or closed output gives silence.
  std::vector<int16_t> Pull(int frames);

 private:
  AudioCallback callback_;
  bool paused_ = true;
};

}  // namespace orva::platform
