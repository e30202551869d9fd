#include "platform/events.h"

namespace orva::platform {

bool QueuedEventSource::Wait(Event& out, int) {
  if (queue_.empty()) return false;
  out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

}  // namespace orva::platform
