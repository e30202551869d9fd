#include "media/lockedstreams.h"

#include <exception>

namespace orva::media {

std::mutex& StreamLock() {
  static std::mutex lock;
  return lock;
}

// A damaged or vanished file must not throw into a back-end thread: it
// reads as the end of the data.

int64_t StreamSize(TStream* stream) {
  if (!stream) return 0;
  std::lock_guard<std::mutex> hold(StreamLock());
  try {
    return stream->GetSize();
  } catch (const std::exception&) {
    return 0;
  }
}

int64_t StreamRead(TStream* stream, void* buffer, int64_t count) {
  if (!stream || !buffer || count <= 0) return 0;
  std::lock_guard<std::mutex> hold(StreamLock());
  try {
    return stream->Read(buffer, count);
  } catch (const std::exception&) {
    return 0;
  }
}

int64_t StreamGetPosition(TStream* stream) {
  if (!stream) return 0;
  std::lock_guard<std::mutex> hold(StreamLock());
  try {
    return stream->GetPosition();
  } catch (const std::exception&) {
    return 0;
  }
}

int64_t StreamSetPosition(TStream* stream, int64_t position) {
  if (!stream) return 0;
  std::lock_guard<std::mutex> hold(StreamLock());
  try {
    stream->SetPosition(position);
    return stream->GetPosition();
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace orva::media
