#include "storage/scrambles.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "common/cp932.h"
#include "common/errors.h"
#include "storage/rands.h"

namespace orva {

namespace {
constexpr uint32_t kSeedMask = 0x93B1;
// An inflated entry never exceeds this; beyond it the data is taken as corrupt
// rather than exhausting memory.
constexpr size_t kMaxInflated = size_t{1} << 32;
}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  const auto* p = static_cast<const Bytef*>(data);
  while (size > 0) {
    uInt n = static_cast<uInt>(std::min<size_t>(size, 0x40000000));
    crc = static_cast<uint32_t>(crc32(crc, p, n));
    p += n;
    size -= n;
  }
  return crc;
}

uint32_t StreamCrc32(TStream& stream) {
  stream.SetPosition(0);
  std::vector<uint8_t> buf(0x100000);
  uint32_t crc = 0;
  for (;;) {
    int64_t got = stream.Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (got <= 0) break;
    crc = Crc32(buf.data(), static_cast<size_t>(got), crc);
  }
  return crc;
}

std::vector<uint8_t> Deflate(const uint8_t* data, size_t size) {
  uLongf bound = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(bound);
  if (compress2(out.data(), &bound, data, static_cast<uLong>(size), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw OrvaError::Utf8("deflate failed");
  out.resize(bound);
  return out;
}

std::vector<uint8_t> Inflate(const uint8_t* data, size_t size) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw OrvaError::Utf8("inflate failed to start");
  auto fail = [&](const char* why) {
    inflateEnd(&zs);
    throw OrvaError::Utf8(why);
  };
  std::vector<uint8_t> out(std::max<size_t>(size * 4, 4096));
  size_t inUsed = 0;
  size_t produced = 0;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= kMaxInflated) fail("compressed data is corrupt (too large when inflated)");
      out.resize(std::min(out.size() * 2, kMaxInflated));
    }
    const uInt inChunk = static_cast<uInt>(std::min<size_t>(size - inUsed, 0x40000000));
    const uInt outChunk = static_cast<uInt>(std::min<size_t>(out.size() - produced, 0x40000000));
    zs.next_in = const_cast<Bytef*>(data + inUsed);
    zs.avail_in = inChunk;
    zs.next_out = out.data() + produced;
    zs.avail_out = outChunk;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    inUsed += inChunk - zs.avail_in;
    produced += outChunk - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_OK) continue;
    if (rc == Z_BUF_ERROR && zs.avail_out == 0) continue;  // needs more room
    if (rc == Z_BUF_ERROR) fail("compressed data is truncated");
    fail("compressed data is corrupt");
  }
  inflateEnd(&zs);
  out.resize(produced);
  return out;
}

void CompressInPlace(TMxMemoryStream& stream) {
  auto packed = Deflate(stream.Memory(), stream.Bytes().size());
  stream.MutableBytes() = std::move(packed);
  stream.SetPosition(0);
}

void DecompressInPlace(TMxMemoryStream& stream) {
  auto plain = Inflate(stream.Memory(), stream.Bytes().size());
  stream.MutableBytes() = std::move(plain);
  stream.SetPosition(0);
}

void ScrambleChunks(TMxMemoryStream& stream, int32_t chunkSize, int32_t seed, bool withHeader) {
  if (chunkSize <= 0) throw OrvaError::Utf8("scramble: chunk size must be positive");
  std::vector<uint8_t> data = stream.TakeBytes();
  const int64_t length = static_cast<int64_t>(data.size());
  const int64_t lastChunk = length > 0 ? (length - 1) / chunkSize : 0;
  if (lastChunk > 0x7FFFFFFF) throw OrvaError::Utf8("scramble: too many chunks");
  TScrambleInts perm(seed);
  perm.BuildForward(0, static_cast<int32_t>(lastChunk));

  std::vector<uint8_t>& out = stream.MutableBytes();
  out.clear();
  out.reserve(data.size() + (withHeader ? 8 : 0));
  if (withHeader) out.resize(8, 0);
  for (int32_t i = 0; i <= lastChunk; ++i) {
    int64_t from = static_cast<int64_t>(perm.Item(i)) * chunkSize;
    int64_t to = std::min<int64_t>(length, from + chunkSize);
    if (from < to) out.insert(out.end(), data.begin() + from, data.begin() + to);
  }
  if (withHeader) {
    uint32_t k = static_cast<uint32_t>(chunkSize);
    uint32_t h = static_cast<uint32_t>(seed) ^ kSeedMask;
    for (int b = 0; b < 4; ++b) {
      out[static_cast<size_t>(b)] = static_cast<uint8_t>(k >> (8 * b));
      out[static_cast<size_t>(4 + b)] = static_cast<uint8_t>(h >> (8 * b));
    }
  }
  stream.SetPosition(stream.GetSize());
}

void UnscrambleChunks(TMxMemoryStream& stream) {
  std::vector<uint8_t> raw = stream.TakeBytes();
  if (raw.size() < 8) throw OrvaError::Utf8("scrambled data is corrupt (shorter than its header)");
  auto rd = [&](size_t at) {
    return static_cast<int32_t>(raw[at] | (raw[at + 1] << 8) | (raw[at + 2] << 16) |
                                (static_cast<uint32_t>(raw[at + 3]) << 24));
  };
  const int32_t k = rd(0);
  const int32_t seed = static_cast<int32_t>(static_cast<uint32_t>(rd(4)) ^ kSeedMask);
  if (k <= 0) throw OrvaError::Utf8("scrambled data is corrupt (bad chunk size)");
  const int64_t length = static_cast<int64_t>(raw.size()) - 8;
  const int64_t lastChunk = length > 0 ? (length - 1) / k : 0;
  TScrambleInts inv(seed);
  inv.BuildInverse(0, static_cast<int32_t>(lastChunk));

  std::vector<uint8_t>& out = stream.MutableBytes();
  out.clear();
  out.reserve(static_cast<size_t>(length));
  const uint8_t* payload = raw.data() + 8;
  for (int32_t j = 0; j <= lastChunk; ++j) {
    int64_t from = static_cast<int64_t>(inv.Item(j)) * k;
    int64_t to = std::min<int64_t>(length, from + k);
    if (from < to) out.insert(out.end(), payload + from, payload + to);
  }
  stream.SetPosition(0);
}

int32_t ScrambleChunkSizeFor(int64_t length) {
  return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(length / 100, 256), 4096));
}

bool ExtensionIsCompressible(std::string_view cp932Ext) {
  static constexpr std::string_view kNever = ".WAV.WMA.MP3.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";
  if (cp932Ext.empty()) return true;
  // The extension (with its dot) is matched as a substring of the list, the
  // way the list was meant to be read: ".MPE" or ".A" also match.
  return kNever.find(cp932::ToUpper(cp932Ext)) == std::string_view::npos;
}

EncodedEntry EncodeEntry(const EntryEncodingRequest& r) {
  EncodedEntry e;
  const int64_t length = static_cast<int64_t>(r.size);
  bool tryCompress;
  if (r.forceCompress) {
    tryCompress = true;
  } else if (length > kCompressLimit) {
    tryCompress = false;
  } else if (r.fromFile) {
    tryCompress = ExtensionIsCompressible(r.extension);
    if (tryCompress && cp932::SameTextCI(r.extension, ".vor") && r.compressLayeredPicture)
      tryCompress = r.compressLayeredPicture();
  } else {
    tryCompress = true;
  }

  bool compressed = false;
  if (tryCompress) {
    e.bytes = Deflate(r.data, r.size);
    compressed = true;
    if (!r.forceCompress && static_cast<int64_t>(e.bytes.size()) * 10 > length * 9) compressed = false;
  }
  if (!compressed) e.bytes.assign(r.data, r.data + r.size);

  if (r.scramble) {
    TMxMemoryStream s(std::move(e.bytes));
    ScrambleChunks(s, ScrambleChunkSizeFor(s.GetSize()), r.scrambleSeed, true);
    e.bytes = s.TakeBytes();
    e.kind = compressed ? kStoredCompressedScrambled : kStoredScrambled;
  } else {
    e.kind = compressed ? kStoredCompressed : kStoredPlain;
  }
  e.crc = r.checksumOfSource ? Crc32(r.data, r.size) : Crc32(e.bytes.data(), e.bytes.size());
  return e;
}

void DecodeEntryInPlace(TMxMemoryStream& stream, uint8_t kind) {
  if (kind > kStoredCompressedScrambled) throw OrvaError::Utf8("unknown storage kind");
  if (kind == kStoredScrambled || kind == kStoredCompressedScrambled) UnscrambleChunks(stream);
  if (kind == kStoredCompressed || kind == kStoredCompressedScrambled) DecompressInPlace(stream);
  stream.SetPosition(0);
}

}  // namespace orva
