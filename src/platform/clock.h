// Time as the frame loop sees it. The loop never reads the system clock
// itself: a run with a stepping clock is the same every time.
#pragma once

#include <cstdint>

namespace orva::platform {

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds from an arbitrary start; never goes back.
  virtual int64_t NowMs() = 0;
  // Lets time pass until NowMs() >= deadline (a real clock sleeps).
  virtual void SleepUntil(int64_t deadlineMs) = 0;
};

// The monotonic system clock.
class SystemClock : public IClock {
 public:
  int64_t NowMs() override;
  void SleepUntil(int64_t deadlineMs) override;
};

// A clock that only moves when told to: SleepUntil jumps to the deadline at
// once. Tests and fixed-step runs use it.
class SteppingClock : public IClock {
 public:
  explicit SteppingClock(int64_t start = 0) : now_(start) {}
  int64_t NowMs() override { return now_; }
  void SleepUntil(int64_t deadlineMs) override {
    if (deadlineMs > now_) now_ = deadlineMs;
  }
  void Advance(int64_t ms) { now_ += ms; }

 private:
  int64_t now_;
};

}  // namespace orva::platform
