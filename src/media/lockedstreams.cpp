#include "media/lockedstreams.h"

#include <exception>

namespace orva::media {

std::mutex& StreamLock() {
  static std::mutex lock;
  return lock;
}

namespace {

// Runs one access to the stream under the lock. A damaged or vanished file
// must not throw into a back-end thread: it reads as the end of the data.
template <typename F>
int64_t Locked(TStream* stream, F&& access) {
  if (!stream) return 0;
  std::lock_guard<std::mutex> hold(StreamLock());
  try {
    return access(*stream);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

int64_t StreamSize(TStream* stream) {
  return Locked(stream, [](TStream& s) { return s.GetSize(); });
}

int64_t StreamRead(TStream* stream, void* buffer, int64_t count) {
  if (!buffer || count <= 0) return 0;
  return Locked(stream, [&](TStream& s) { return s.Read(buffer, count); });
}

int64_t StreamGetPosition(TStream* stream) {
  return Locked(stream, [](TStream& s) { return s.GetPosition(); });
}

int64_t StreamSetPosition(TStream* stream, int64_t position) {
  return Locked(stream, [&](TStream& s) {
    s.SetPosition(position);
    return s.GetPosition();
  });
}

int64_t StreamReadAt(TStream* stream, int64_t position, void* buffer, int64_t count) {
  if (!buffer || count <= 0 || position < 0) return 0;
  return Locked(stream, [&](TStream& s) -> int64_t {
    s.SetPosition(position);
    if (s.GetPosition() != position) return 0;
    return s.Read(buffer, count);
  });
}

}  // namespace orva::media
