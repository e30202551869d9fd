// Checksums, compression and chunk scrambling of archive entries, and the rules
// that decide how an entry is stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/streams.h"

namespace orva {

// Storage kinds of archive entries.
enum StorageKind : uint8_t {
  kStoredCompressed = 0,
  kStoredPlain = 1,
  kStoredScrambled = 2,
  kStoredCompressedScrambled = 3,
};

// Standard CRC-32 (as zlib's) of the whole stream, read from position 0.
uint32_t StreamCrc32(TStream& stream);
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// Deflate (zlib format, default level) / inflate the whole memory stream in
// place; the position ends at 0. Inflating corrupt data throws.
void CompressInPlace(TMxMemoryStream& stream);
void DecompressInPlace(TMxMemoryStream& stream);
std::vector<uint8_t> Deflate(const uint8_t* data, size_t size);
std::vector<uint8_t> Inflate(const uint8_t* data, size_t size);

// Reorders the stream's bytes in chunks of `chunkSize` by the seeded
// permutation; with a header the result starts with int32 chunk size and
// int32 (seed XOR 0x93B1). The position is left at the end.
void ScrambleChunks(TMxMemoryStream& stream, int32_t chunkSize, int32_t seed, bool withHeader);
// Undoes ScrambleChunks with header; the stream then holds exactly the data.
void UnscrambleChunks(TMxMemoryStream& stream);

// Chunk size the archive writer uses for data of the given length.
int32_t ScrambleChunkSizeFor(int64_t length);

inline constexpr int64_t kCompressLimit = 0x4FFFFF;  // larger data is never compressed

// True when a source file of this extension (any case) may be compressed.
bool ExtensionIsCompressible(std::string_view cp932Ext);

struct EncodedEntry {
  uint8_t kind = kStoredPlain;
  std::vector<uint8_t> bytes;  // as stored in the archive
  uint32_t crc = 0;
};

struct EntryEncodingRequest {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::string_view extension;  // CP932, with the dot; "" for data from memory
  bool fromFile = false;
  bool scramble = false;
  bool checksumOfSource = false;
  bool forceCompress = false;  // archives of version <= 100 know only kind 0
  int32_t scrambleSeed = 0;    // used when scrambling
  // Decides for ".vor" pictures; when empty they follow the general rule.
  std::function<bool()> compressLayeredPicture;
};

// Applies the entry encoding rules.
EncodedEntry EncodeEntry(const EntryEncodingRequest& request);

// Reverses the encoding of a stored entry in place (unscramble for kinds 2
// and 3, then inflate for kinds 0 and 3).
void DecodeEntryInPlace(TMxMemoryStream& stream, uint8_t kind);

}  // namespace orva
