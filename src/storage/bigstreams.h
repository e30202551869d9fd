// The 64-bit stream family under the virtual file system: split files,
// resources, the forward read buffer, and range streams that expose one
// archive entry as a seekable stream without loading it.
//
// Every stream of this program has 64-bit positions, so the "big" streams are
// the ordinary TStream interface; TMxBigStream and TMxBigMemoryStream name it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/streams.h"
#include "storage/rands.h"

namespace orva {

using TMxBigStream = TStream;
using TMxBigMemoryStream = TMxMemoryStream;

inline constexpr int64_t kSplitPartSize = 0x40000000;

enum class FileOpenMode {
  Read,       // existing parts, read only
  ReadWrite,  // existing parts, read and write
  Create,     // every existing part deleted first, then written afresh
};

// One logical file over parts of at most kSplitPartSize bytes: part 0 is the
// file itself, part i >= 1 is the name without extension + "." + i in three
// digits (game.dat, game.001, game.002, ...). Host paths are UTF-8.
class TMxBigFileStream : public TStream {
 public:
  TMxBigFileStream(const std::string& hostPath, FileOpenMode mode, int64_t partSize = kSplitPartSize);
  ~TMxBigFileStream() override;

  int64_t GetSize() override;
  int64_t GetPosition() override { return pos_; }
  void SetPosition(int64_t pos) override { pos_ = pos < 0 ? 0 : pos; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;

  // Positional read that leaves the stream position alone (thread-compatible
  // when each thread uses its own stream).
  int64_t ReadAt(int64_t pos, void* buffer, int64_t count);

  static std::string PartName(const std::string& hostPath, int index);
  // Deletes part 0 and every numbered part that exists.
  static void DeleteParts(const std::string& hostPath);
  const std::string& Path() const { return path_; }
  int PartCount() const { return static_cast<int>(parts_.size()); }

 private:
  void OpenPart(int index, bool create);
  std::string path_;
  FileOpenMode mode_;
  int64_t partSize_;
  std::vector<int> parts_;
  std::vector<int64_t> sizes_;
  int64_t pos_ = 0;
};

// A resource of a Windows program file, read through our own PE reader.
class TMxBigResourceStream : public TStream {
 public:
  TMxBigResourceStream(const std::string& modulePath, const std::string& resName, const std::string& resType);

  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return pos_; }
  void SetPosition(int64_t pos) override { pos_ = pos < 0 ? 0 : pos; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }

  const std::string& ModulePath() const { return modulePath_; }
  const std::string& ResourceName() const { return resName_; }
  const std::string& ResourceType() const { return resType_; }

 private:
  std::string modulePath_, resName_, resType_;
  std::unique_ptr<TMxBigFileStream> file_;
  int64_t start_ = 0, size_ = 0, pos_ = 0;
};

// A forward read buffer of 102400 bytes over another stream. When destroyed,
// it moves the underlying position back over the bytes it read ahead, so the
// underlying stream stands exactly after the last byte consumed.
class TMxBuffBigStream : public TStream {
 public:
  static constexpr size_t kBufferSize = 102400;
  explicit TMxBuffBigStream(TStream& source);
  ~TMxBuffBigStream() override;

  int64_t GetSize() override { return source_.GetSize(); }
  int64_t GetPosition() override;
  void SetPosition(int64_t pos) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }

 private:
  TStream& source_;
  std::vector<uint8_t> buf_;
  size_t begin_ = 0, end_ = 0;
};

// The window [start, start + size) of an underlying stream, read-only. Seeks
// clamp into the window, reads stop at its end, writes do nothing. A lock
// serialises seek and read, since media threads read range streams.
class TRangeStream : public TStream {
 public:
  // Size marker meaning "to the end of the underlying stream"; a size of 0 is
  // an empty range.
  static constexpr int64_t kToEnd = -1;

  TRangeStream(std::unique_ptr<TStream> owned, int64_t start, int64_t size);
  TRangeStream(TStream& borrowed, int64_t start, int64_t size);

  int64_t GetSize() override;
  int64_t GetPosition() override;
  void SetPosition(int64_t pos) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }

 protected:
  // Reads physical bytes at range offset `at` (caller holds the lock).
  int64_t ReadPhysical(int64_t at, void* buffer, int64_t count);
  int64_t PhysicalSize();
  virtual int64_t LogicalSize() { return PhysicalSize(); }
  virtual int64_t ReadLogical(int64_t at, void* buffer, int64_t count) { return ReadPhysical(at, buffer, count); }

  std::mutex mutex_;
  int64_t pos_ = 0;

 private:
  std::unique_ptr<TStream> owned_;
  TStream* source_;
  int64_t start_;
  int64_t size_;
};

class TFileRangeStream : public TRangeStream {
 public:
  TFileRangeStream(const std::string& hostPath, int64_t start, int64_t size)
      : TRangeStream(std::make_unique<TMxBigFileStream>(hostPath, FileOpenMode::Read), start, size) {}
};

class TResourceRangeStream : public TRangeStream {
 public:
  TResourceRangeStream(const std::string& modulePath, const std::string& resName, const std::string& resType,
                       int64_t start, int64_t size)
      : TRangeStream(std::make_unique<TMxBigResourceStream>(modulePath, resName, resType), start, size) {}
};

// A range over a chunk-scrambled entry: the 8-byte header (chunk size, seed
// XOR 0x93B1) is read on creation, and reads map each logical position to its
// physical chunk. Logical size = range size - 8.
class TScrambleRangeStream : public TRangeStream {
 public:
  TScrambleRangeStream(std::unique_ptr<TStream> owned, int64_t start, int64_t size);
  TScrambleRangeStream(TStream& borrowed, int64_t start, int64_t size);

 protected:
  int64_t LogicalSize() override;
  int64_t ReadLogical(int64_t at, void* buffer, int64_t count) override;

 private:
  void ReadHeader();
  int32_t chunk_ = 0;
  int64_t payload_ = 0;
  TScrambleInts inverse_{0};
};

class TScrambleFileRangeStream : public TScrambleRangeStream {
 public:
  TScrambleFileRangeStream(const std::string& hostPath, int64_t start, int64_t size)
      : TScrambleRangeStream(std::make_unique<TMxBigFileStream>(hostPath, FileOpenMode::Read), start, size) {}
};

class TScrambleResourceRangeStream : public TScrambleRangeStream {
 public:
  TScrambleResourceRangeStream(const std::string& modulePath, const std::string& resName,
                               const std::string& resType, int64_t start, int64_t size)
      : TScrambleRangeStream(std::make_unique<TMxBigResourceStream>(modulePath, resName, resType), start, size) {}
};

}  // namespace orva
