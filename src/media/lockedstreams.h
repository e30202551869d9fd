// Content streams read by the media back end's threads. Every access to such
// a stream (size, read, position) runs under one program-wide lock, so a
// back-end thread and the main thread never move one file position at the
// same time. A null stream answers 0.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "common/streams.h"

namespace orva::media {

std::mutex& StreamLock();

int64_t StreamSize(TStream* stream);
int64_t StreamRead(TStream* stream, void* buffer, int64_t count);
int64_t StreamGetPosition(TStream* stream);
int64_t StreamSetPosition(TStream* stream, int64_t position);  // returns the new position
// Seeks and reads in one hold of the lock, so that readers that keep their
// own positions can share one stream.
int64_t StreamReadAt(TStream* stream, int64_t position, void* buffer, int64_t count);

}  // namespace orva::media
