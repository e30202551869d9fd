// What runs the sequencer's tick. A ticker has an enabled flag (the song is
// running), a hold that main-thread operations take around their use of the
// port and the song (it waits for a running tick and keeps new ones from
// starting), and the clock the tick measures elapsed time with.
//
// TMMTimer is a thread that ticks every 10 ms on the system clock (external
// ports). TStepTicker ticks when its owner says that time has passed: the
// synthesizer steps it before each 10 ms of audio it renders, so that event
// timing follows the rendered sound exactly.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace orva::media {

class TMidiTicker {
 public:
  using Callback = std::function<void()>;
  virtual ~TMidiTicker() = default;

  // The tick; set while held, before the ticker is enabled.
  void SetCallback(Callback callback);
  // Waits until no tick is running and keeps new ones from starting until
  // the matching Release. Holds nest.
  void Hold();
  void Release();
  virtual void SetEnabled(bool on);
  bool Enabled() const { return enabled_.load(); }
  // Milliseconds on the ticker's own clock.
  virtual int64_t Now() = 0;

 protected:
  // Runs the callback as one tick, with the mutex held on entry and exit.
  void RunTickLocked(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  int holds_ = 0;
  bool ticking_ = false;
  std::atomic<bool> enabled_{false};
  Callback callback_;
};

// Holds a ticker for a scope.
class TTickHold {
 public:
  explicit TTickHold(TMidiTicker& ticker) : ticker_(ticker) { ticker_.Hold(); }
  ~TTickHold() { ticker_.Release(); }
  TTickHold(const TTickHold&) = delete;
  TTickHold& operator=(const TTickHold&) = delete;

 private:
  TMidiTicker& ticker_;
};

// A thread at a fixed period. It starts with the first enable and waits,
// without ticking, while disabled; a held timer skips its tick (the next one
// catches up through the clock).
class TMMTimer : public TMidiTicker {
 public:
  using Clock = std::function<int64_t()>;
  static constexpr int kPeriodMs = 10;

  explicit TMMTimer(Clock clock, int periodMs = kPeriodMs);
  ~TMMTimer() override;
  void SetEnabled(bool on) override;
  int64_t Now() override { return clock_(); }
  // Ticks run so far (tests wait for them).
  int64_t TickCount() const { return ticks_.load(); }

 private:
  void Run();
  Clock clock_;
  int periodMs_;
  bool terminate_ = false;
  std::atomic<int64_t> ticks_{0};
  std::thread thread_;
};

// Ticks when stepped: Step(ms) advances its clock by ms and runs one tick
// when enabled. A held ticker makes Step wait for the release, so that no
// time is lost.
class TStepTicker : public TMidiTicker {
 public:
  void Step(int ms);
  int64_t Now() override { return now_.load(); }

 private:
  std::atomic<int64_t> now_{0};
};

// The system's millisecond clock.
int64_t SystemMilliseconds();

}  // namespace orva::media
