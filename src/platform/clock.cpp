#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace orva::platform {

int64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::SleepUntil(int64_t deadlineMs) {
  int64_t now = NowMs();
  if (deadlineMs > now) std::this_thread::sleep_for(std::chrono::milliseconds(deadlineMs - now));
}

}  // namespace orva::platform
