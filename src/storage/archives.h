// The archive format: directory parsing for every version (none, 1-99, 100,
// 101, 102) and the writer with the entry encoding rules.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/streams.h"

namespace orva {

inline constexpr int kArchiveNewestVersion = 102;
inline constexpr int32_t kArchiveNameSeed = 1357924680;

struct ArchiveEntryInfo {
  std::string name;     // CP932
  int64_t offset = 0;   // absolute position in the data stream
  int64_t size = 0;
  uint8_t kind = 0;     // StorageKind
  int32_t timeStamp = 0;
  uint32_t crc = 0;
  uint8_t checksumOfSource = 0;
};

struct ArchiveDirectory {
  int version = 0;
  std::vector<ArchiveEntryInfo> entries;
  int64_t endOffset = 0;  // the sentinel's offset (end of the last entry)
};

// Parses a directory from `in` at its current position; offsets are made
// absolute by adding that position. Every count, length, offset and size is
// checked against the bytes that exist (`dataSize` is the size of the stream
// the entry data live in); a damaged or newer directory throws an OrvaError
// naming `label` (the file, in UTF-8).
ArchiveDirectory ReadArchiveDirectory(TStream& in, int64_t dataSize, const std::string& label);

// One entry to write: data from memory, or the bytes of a host file.
struct ArchiveSource {
  std::string name;            // CP932, backslash-separated
  std::vector<uint8_t> data;   // used when hostPath is empty
  std::string hostPath;        // UTF-8
  int32_t timeStamp = 0;       // DOS date/time; taken from the file when 0
  bool checksumOfSource = false;
};

struct ArchiveWriteOptions {
  int version = kArchiveNewestVersion;
  bool scramble = false;  // version > 100 only
  // Seeds for scrambled entries, in [0, 0x7FFFFFFF); a seeded default is used
  // when empty.
  std::function<int32_t()> nextSeed;
  // Decides whether a ".vor" picture is compressed.
  std::function<bool(const ArchiveSource&)> compressLayeredPicture;
  // Told the name of an entry whose writing failed, before the error is
  // passed on ("エラー:" + name).
  std::function<void(const std::string& cp932Message)> onEntryError;
};

enum class ArchiveLayout {
  Plain,         // directory at the start of the file
  ExtCompanion,  // directory in the ".ext" file beside the data file
  Overlay,       // appended to a program file, found by the 6-byte trailer
};

// Writes a whole archive file (with split parts past 1 GiB). For Overlay,
// `overlayOn` is the program file the archive is appended to.
void WriteArchiveFile(const std::string& hostPath, const std::vector<ArchiveSource>& sources,
                      const ArchiveWriteOptions& options, ArchiveLayout layout = ArchiveLayout::Plain,
                      const std::string& overlayOn = {});

// Writes the directory and data to `dir` and `data`. When they are the same
// stream the data follow the directory; otherwise (".ext") the directory
// offsets are positions in `data`. Both start at their current positions.
void WriteArchive(TStream& dir, TStream& data, const std::vector<ArchiveSource>& sources,
                  const ArchiveWriteOptions& options);

// DOS date/time of a host file's modification time (0 when unreadable).
int32_t DosFileTime(const std::string& hostPath);

}  // namespace orva
