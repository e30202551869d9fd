#include "media/miditimers.h"

#include <chrono>

namespace orva::media {

int64_t SystemMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// --- TMidiTicker -------------------------------------------------------------

void TMidiTicker::SetCallback(Callback callback) {
  std::lock_guard lock(mutex_);
  callback_ = std::move(callback);
}

void TMidiTicker::Hold() {
  std::unique_lock lock(mutex_);
  ++holds_;
  changed_.wait(lock, [this] { return !ticking_; });
}

void TMidiTicker::Release() {
  {
    std::lock_guard lock(mutex_);
    if (holds_ > 0) --holds_;
  }
  changed_.notify_all();
}

void TMidiTicker::SetEnabled(bool on) {
  {
    std::lock_guard lock(mutex_);
    enabled_ = on;
  }
  changed_.notify_all();
}

void TMidiTicker::RunTickLocked(std::unique_lock<std::mutex>& lock) {
  if (!enabled_ || !callback_) return;
  ticking_ = true;
  lock.unlock();
  // The callback changes only under a hold, which waits for this tick.
  callback_();
  lock.lock();
  ticking_ = false;
  changed_.notify_all();
}

// --- TMMTimer ----------------------------------------------------------------

TMMTimer::TMMTimer(Clock clock, int periodMs) : clock_(std::move(clock)), periodMs_(periodMs < 1 ? 1 : periodMs) {}

TMMTimer::~TMMTimer() {
  {
    std::lock_guard lock(mutex_);
    terminate_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TMMTimer::SetEnabled(bool on) {
  std::lock_guard lock(mutex_);
  enabled_ = on;
  // Created with the first enable: sequencers that never play (those that
  // only measure a song) have no thread.
  if (on && !thread_.joinable() && !terminate_) thread_ = std::thread([this] { Run(); });
  changed_.notify_all();
}

void TMMTimer::Run() {
  std::unique_lock lock(mutex_);
  while (!terminate_) {
    if (!enabled_) {
      // Suspended until enabled again.
      changed_.wait(lock, [this] { return terminate_ || enabled_.load(); });
      continue;
    }
    if (changed_.wait_for(lock, std::chrono::milliseconds(periodMs_), [this] { return terminate_; })) break;
    if (holds_ > 0) continue;
    RunTickLocked(lock);
    ++ticks_;
  }
}

// --- TStepTicker -------------------------------------------------------------

void TStepTicker::Step(int ms) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return holds_ == 0; });
  now_ += ms;
  RunTickLocked(lock);
}

}  // namespace orva::media
