#include "storage/bigstreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/errors.h"
#include "storage/peresources.h"

namespace orva {

// ---------------------------------------------------------------- split files

std::string TMxBigFileStream::PartName(const std::string& hostPath, int index) {
  if (index == 0) return hostPath;
  size_t slash = hostPath.rfind('/');
  size_t dot = hostPath.rfind('.');
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                         ? hostPath.substr(0, dot)
                         : hostPath;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%.3d", index);
  return base + suffix;
}

void TMxBigFileStream::DeleteParts(const std::string& hostPath) {
  ::unlink(hostPath.c_str());
  for (int i = 1; i < 1000; ++i) {
    std::string part = PartName(hostPath, i);
    if (::unlink(part.c_str()) != 0) break;
  }
}

TMxBigFileStream::TMxBigFileStream(const std::string& hostPath, FileOpenMode mode, int64_t partSize)
    : path_(hostPath), mode_(mode), partSize_(partSize > 0 ? partSize : kSplitPartSize) {
  if (mode == FileOpenMode::Create) {
    DeleteParts(hostPath);
    OpenPart(0, true);
    return;
  }
  OpenPart(0, false);
  for (int i = 1; i < 1000; ++i) {
    struct stat st;
    if (::stat(PartName(hostPath, i).c_str(), &st) != 0) break;
    OpenPart(i, false);
  }
}

TMxBigFileStream::~TMxBigFileStream() {
  for (int fd : parts_) {
    if (mode_ != FileOpenMode::Read) ::fsync(fd);
    ::close(fd);
  }
}

void TMxBigFileStream::OpenPart(int index, bool create) {
  std::string name = PartName(path_, index);
  int flags = O_CLOEXEC;
  if (mode_ == FileOpenMode::Read) flags |= O_RDONLY;
  else flags |= O_RDWR;
  if (create) flags |= O_CREAT | O_TRUNC;
  int fd = ::open(name.c_str(), flags, 0644);
  if (fd < 0) {
    for (int open : parts_) ::close(open);
    parts_.clear();
    throw OrvaError::Utf8("cannot open \"" + name + "\": " + std::strerror(errno));
  }
  struct stat st;
  int64_t size = (::fstat(fd, &st) == 0) ? static_cast<int64_t>(st.st_size) : 0;
  parts_.push_back(fd);
  sizes_.push_back(size);
}

int64_t TMxBigFileStream::GetSize() {
  int64_t total = 0;
  for (int64_t s : sizes_) total += s;
  return total;
}

int64_t TMxBigFileStream::ReadAt(int64_t pos, void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    int64_t p = pos + done;
    size_t part = static_cast<size_t>(p / partSize_);
    int64_t off = p % partSize_;
    if (part >= parts_.size()) break;
    int64_t want = std::min(count - done, partSize_ - off);
    ssize_t got = ::pread(parts_[part], out + done, static_cast<size_t>(want), off);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw OrvaError::Utf8("cannot read \"" + PartName(path_, static_cast<int>(part)) + "\": " +
                            std::strerror(errno));
    }
    done += got;
    if (got < want) break;  // end of this part: the data ends here
  }
  return done;
}

int64_t TMxBigFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t got = ReadAt(pos_, buffer, count);
  pos_ += got;
  return got;
}

int64_t TMxBigFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (mode_ == FileOpenMode::Read) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    size_t part = static_cast<size_t>(pos_ / partSize_);
    int64_t off = pos_ % partSize_;
    while (part >= parts_.size()) OpenPart(static_cast<int>(parts_.size()), true);
    int64_t want = std::min(count - done, partSize_ - off);
    ssize_t put = ::pwrite(parts_[part], in + done, static_cast<size_t>(want), off);
    if (put < 0) {
      if (errno == EINTR) continue;
      throw OrvaError::Utf8("cannot write \"" + PartName(path_, static_cast<int>(part)) + "\": " +
                            std::strerror(errno));
    }
    done += put;
    pos_ += put;
    sizes_[part] = std::max(sizes_[part], off + put);
  }
  return done;
}

// ------------------------------------------------------------------ resources

TMxBigResourceStream::TMxBigResourceStream(const std::string& modulePath, const std::string& resName,
                                           const std::string& resType)
    : modulePath_(modulePath), resName_(resName), resType_(resType) {
  file_ = std::make_unique<TMxBigFileStream>(modulePath, FileOpenMode::Read);
  auto where = FindPeResource(*file_, resName, resType);
  if (!where || where->size == 0) throw OrvaError::Utf8("リソースが見つかりません");
  start_ = where->offset;
  size_ = where->size;
}

int64_t TMxBigResourceStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  int64_t n = std::min(count, size_ - pos_);
  int64_t got = file_->ReadAt(start_ + pos_, buffer, n);
  pos_ += got;
  return got;
}

// ---------------------------------------------------------------- read buffer

TMxBuffBigStream::TMxBuffBigStream(TStream& source) : source_(source), buf_(kBufferSize) {}

TMxBuffBigStream::~TMxBuffBigStream() {
  if (end_ > begin_) {
    try {
      source_.SetPosition(source_.GetPosition() - static_cast<int64_t>(end_ - begin_));
    } catch (...) {
    }
  }
}

int64_t TMxBuffBigStream::GetPosition() { return source_.GetPosition() - static_cast<int64_t>(end_ - begin_); }

void TMxBuffBigStream::SetPosition(int64_t pos) {
  source_.SetPosition(pos);
  begin_ = end_ = 0;
}

int64_t TMxBuffBigStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (begin_ == end_) {
      if (count - done >= static_cast<int64_t>(buf_.size())) {
        // Large reads go straight through.
        int64_t got = source_.Read(out + done, count - done);
        if (got <= 0) break;
        done += got;
        continue;
      }
      int64_t got = source_.Read(buf_.data(), static_cast<int64_t>(buf_.size()));
      if (got <= 0) break;
      begin_ = 0;
      end_ = static_cast<size_t>(got);
    }
    size_t n = std::min(end_ - begin_, static_cast<size_t>(count - done));
    std::memcpy(out + done, buf_.data() + begin_, n);
    begin_ += n;
    done += static_cast<int64_t>(n);
  }
  return done;
}

// -------------------------------------------------------------- range streams

TRangeStream::TRangeStream(std::unique_ptr<TStream> owned, int64_t start, int64_t size)
    : owned_(std::move(owned)), source_(owned_.get()), start_(std::max<int64_t>(0, start)), size_(size) {}

TRangeStream::TRangeStream(TStream& borrowed, int64_t start, int64_t size)
    : source_(&borrowed), start_(std::max<int64_t>(0, start)), size_(size) {}

int64_t TRangeStream::PhysicalSize() {
  int64_t available = std::max<int64_t>(0, source_->GetSize() - start_);
  return size_ == kToEnd ? available : std::max<int64_t>(0, size_);
}

int64_t TRangeStream::ReadPhysical(int64_t at, void* buffer, int64_t count) {
  int64_t size = PhysicalSize();
  if (count <= 0 || at < 0 || at >= size) return 0;
  count = std::min(count, size - at);
  source_->SetPosition(start_ + at);
  return source_->Read(buffer, count);
}

int64_t TRangeStream::GetSize() {
  std::lock_guard<std::mutex> lock(mutex_);
  return LogicalSize();
}

int64_t TRangeStream::GetPosition() {
  std::lock_guard<std::mutex> lock(mutex_);
  return pos_;
}

void TRangeStream::SetPosition(int64_t pos) {
  std::lock_guard<std::mutex> lock(mutex_);
  pos_ = std::clamp<int64_t>(pos, 0, LogicalSize());
}

int64_t TRangeStream::Read(void* buffer, int64_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t size = LogicalSize();
  if (count <= 0 || pos_ >= size) return 0;
  count = std::min(count, size - pos_);
  int64_t got = ReadLogical(pos_, buffer, count);
  if (got > 0) pos_ += got;
  return got;
}

TScrambleRangeStream::TScrambleRangeStream(std::unique_ptr<TStream> owned, int64_t start, int64_t size)
    : TRangeStream(std::move(owned), start, size) {
  ReadHeader();
}

TScrambleRangeStream::TScrambleRangeStream(TStream& borrowed, int64_t start, int64_t size)
    : TRangeStream(borrowed, start, size) {
  ReadHeader();
}

void TScrambleRangeStream::ReadHeader() {
  std::lock_guard<std::mutex> lock(mutex_);
  uint8_t h[8];
  if (PhysicalSize() < 8 || ReadPhysical(0, h, 8) != 8)
    throw OrvaError::Utf8("scrambled entry is corrupt (shorter than its header)");
  auto rd = [&](int at) {
    return static_cast<int32_t>(h[at] | (h[at + 1] << 8) | (h[at + 2] << 16) | (static_cast<uint32_t>(h[at + 3]) << 24));
  };
  chunk_ = rd(0);
  int32_t seed = static_cast<int32_t>(static_cast<uint32_t>(rd(4)) ^ 0x93B1u);
  if (chunk_ <= 0) throw OrvaError::Utf8("scrambled entry is corrupt (bad chunk size)");
  payload_ = PhysicalSize() - 8;
  int64_t lastChunk = payload_ > 0 ? (payload_ - 1) / chunk_ : 0;
  if (lastChunk > 0x7FFFFFFF) throw OrvaError::Utf8("scrambled entry is corrupt (too many chunks)");
  inverse_ = TScrambleInts(seed);
  inverse_.BuildInverse(0, static_cast<int32_t>(lastChunk));
}

int64_t TScrambleRangeStream::LogicalSize() { return payload_; }

int64_t TScrambleRangeStream::ReadLogical(int64_t at, void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count && at + done < payload_) {
    int64_t p = at + done;
    int32_t physical = inverse_.Item(p / chunk_);
    if (physical < 0) break;
    int64_t within = p % chunk_;
    int64_t n = std::min<int64_t>({count - done, chunk_ - within, payload_ - p});
    int64_t got = ReadPhysical(8 + static_cast<int64_t>(physical) * chunk_ + within, out + done, n);
    if (got <= 0) break;
    done += got;
    if (got < n) break;
  }
  return done;
}

}  // namespace orva
