// The timing values and process flags of a run, and the one tick source that
// advances them.
#pragma once

#include <cstdint>
#include <optional>

namespace orva {

struct TFrameState {
  int64_t gameTime = 0;       // GameTime: ms of play counted by frame ticks
  int32_t frameDelta = 0;     // FrameDelta: ms of the last frame (at most 160)
  int32_t frameInterval = 16; // FrameInterval: nominal frame interval (speed setting)
  int64_t frameCounter = 0;   // FrameCounter: ticks that got past the interpreter
  int32_t fpsDivisor = 1;     // FpsDivisor: draw only every Nth tick
  bool terminating = false;   // Terminating
  bool fatalError = false;    // FatalError
};

// Decides when the next tick is due and how much time it counts. A tick is
// due one period after the previous one; the time since then is added to
// GameTime and becomes FrameDelta (capped at 160 ms). A gap over 300 ms (a
// stalled machine, a dragged window) is dropped, not caught up.
class TFrameTimer {
 public:
  static constexpr int32_t kDefaultPeriodMs = 15;
  static constexpr int32_t kMaxDeltaMs = 160;
  static constexpr int32_t kMaxGapMs = 300;

  explicit TFrameTimer(int32_t periodMs = kDefaultPeriodMs) : period_(periodMs > 0 ? periodMs : 1) {}

  // Starts counting from `nowMs` (start of the loop, activation): the time
  // before it is not counted.
  void Reset(int64_t nowMs) { lastTick_ = nowMs; }
  int64_t NextDue() const { return lastTick_ + period_; }
  int32_t Period() const { return period_; }

  // Called when a tick is due. Returns the ms counted (and updates GameTime
  // and FrameDelta), or nothing when no tick should run: no time passed, or
  // the gap was too long to count.
  std::optional<int32_t> Advance(int64_t nowMs, TFrameState& state);

 private:
  int32_t period_;
  int64_t lastTick_ = 0;
};

}  // namespace orva
