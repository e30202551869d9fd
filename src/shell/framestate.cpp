#include "shell/framestate.h"

#include <algorithm>

namespace orva {

std::optional<int32_t> TFrameTimer::Advance(int64_t nowMs, TFrameState& state) {
  const int64_t diff = nowMs - lastTick_;
  if (diff <= 0) return std::nullopt;
  lastTick_ = nowMs;
  if (diff > kMaxGapMs) return std::nullopt;
  state.gameTime += diff;
  state.frameDelta = static_cast<int32_t>(std::min<int64_t>(diff, kMaxDeltaMs));
  return static_cast<int32_t>(diff);
}

}  // namespace orva
