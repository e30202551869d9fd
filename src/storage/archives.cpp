#include "storage/archives.h"

#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <memory>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "storage/bigstreams.h"
#include "storage/rands.h"
#include "storage/scrambles.h"

namespace orva {

namespace {

constexpr int32_t kMaxNameLength = 32768;

int64_t OffsetWidth(int version) { return version > 100 ? 8 : 4; }

int64_t DirectorySize(int version, const std::vector<ArchiveSource>& sources) {
  const int64_t n = static_cast<int64_t>(sources.size());
  int64_t size = (version > 0 ? 6 : 0) + 4;
  for (const auto& s : sources) size += 4 + static_cast<int64_t>(s.name.size());
  size += (n + 1) * OffsetWidth(version);
  if (version > 100) size += n * (1 + 4 + 4);
  if (version >= 102) size += n;
  return size;
}

}  // namespace

ArchiveDirectory ReadArchiveDirectory(TStream& in, int64_t dataSize, const std::string& label) {
  auto damaged = [&](const std::string& why) {
    return OrvaError::Utf8(label + ":ファイルが破壊されています (" + why + ")");
  };
  ArchiveDirectory dir;
  const int64_t base = in.GetPosition();
  std::vector<int64_t> offsets;
  try {
    TMxBuffBigStream buf(in);
    char magic[2] = {};
    if (buf.Read(magic, 2) == 2 && magic[0] == 'v' && magic[1] == 'f') {
      dir.version = buf.ReadInt32();
      if (dir.version > kArchiveNewestVersion)
        throw OrvaError::Utf8(label + ": archive version " + std::to_string(dir.version) +
                              " is newer than this player reads");
      if (dir.version < 0) throw damaged("negative version");
    } else {
      buf.SetPosition(base);
      dir.version = 0;
    }
    const int v = dir.version;
    const int32_t count = buf.ReadInt32();
    // Every entry needs at least a name length and an offset.
    if (count < 0 || count > buf.Remaining() / (4 + OffsetWidth(v))) throw damaged("entry count out of range");

    TMxRandom nameKey(kArchiveNameSeed);
    dir.entries.resize(static_cast<size_t>(count));
    for (auto& e : dir.entries) {
      int32_t len = buf.ReadInt32();
      if (len < 0 || len > kMaxNameLength || len > buf.Remaining()) throw damaged("entry name length out of range");
      e.name.resize(static_cast<size_t>(len));
      buf.ReadExact(e.name.data(), len);
      if (v > 99)
        for (char& c : e.name) c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(nameKey.Next()));
    }

    TMxRandom offsetKey(kArchiveNameSeed);
    offsets.resize(static_cast<size_t>(count) + 1);
    for (auto& off : offsets) {
      if (v > 100) {
        uint32_t lo = buf.ReadUInt32(), hi = buf.ReadUInt32();
        if (v > 99) {
          int32_t r = offsetKey.Next();
          lo ^= static_cast<uint32_t>(r);
          hi ^= r < 0 ? 0xFFFFFFFFu : 0u;
        }
        off = static_cast<int64_t>((static_cast<uint64_t>(hi) << 32) | lo);
      } else {
        int32_t o = buf.ReadInt32();
        if (v > 99) o = static_cast<int32_t>(static_cast<uint32_t>(o) ^ static_cast<uint32_t>(offsetKey.Next()));
        off = o;
      }
    }

    if (v > 100) {
      if (buf.Remaining() < static_cast<int64_t>(count) * (v >= 102 ? 10 : 9)) throw damaged("directory is truncated");
      for (auto& e : dir.entries) {
        e.kind = buf.ReadByte();
        if (e.kind > kStoredCompressedScrambled) throw damaged("unknown storage kind " + std::to_string(e.kind));
      }
      for (auto& e : dir.entries) e.timeStamp = buf.ReadInt32();
      for (auto& e : dir.entries) e.crc = buf.ReadUInt32();
      if (v >= 102)
        for (auto& e : dir.entries) e.checksumOfSource = buf.ReadByte();
    } else {
      for (auto& e : dir.entries) e.kind = kStoredCompressed;
    }
  } catch (const OrvaError& e) {
    std::string what = e.what();
    if (what.rfind(label, 0) == 0) throw;
    throw damaged(what);
  }

  for (size_t i = 0; i < dir.entries.size(); ++i) {
    auto& e = dir.entries[i];
    const int64_t start = offsets[i], end = offsets[i + 1];
    if (start < 0 || end < start) throw damaged("entry offsets out of order");
    if (start > dataSize - base || end - start > dataSize - base - start)
      throw damaged("entry \"" + cp932::ToUtf8(e.name) + "\" lies outside the file");
    e.size = end - start;
    e.offset = start + base;
  }
  dir.endOffset = offsets.back() + base;
  return dir;
}

int32_t DosFileTime(const std::string& hostPath) {
  struct stat st;
  if (::stat(hostPath.c_str(), &st) != 0) return 0;
  std::tm t{};
  time_t secs = st.st_mtime;
  if (!localtime_r(&secs, &t) || t.tm_year < 80) return 0;
  uint32_t date = static_cast<uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return static_cast<int32_t>((date << 16) | time);
}

void WriteArchive(TStream& dir, TStream& data, const std::vector<ArchiveSource>& sources,
                  const ArchiveWriteOptions& options) {
  const int v = options.version;
  if (v < 0 || v > kArchiveNewestVersion) throw OrvaError::Utf8("archive version must be 0 to 102");
  if (options.scramble && v <= 100) throw OrvaError::Utf8("scrambled entries need archive version 101 or later");
  const bool sameStream = &dir == &data;
  const int64_t base = dir.GetPosition();
  const int64_t dirSize = DirectorySize(v, sources);

  TGetRandom defaultSeeds(0x4F72);
  auto nextSeed = [&]() -> int32_t {
    return options.nextSeed ? options.nextSeed() : defaultSeeds.Range(0, 0x7FFFFFFE);
  };

  if (sameStream) {
    std::vector<uint8_t> zeros(static_cast<size_t>(dirSize), 0);
    dir.WriteExact(zeros.data(), dirSize);
  }

  std::vector<int64_t> offsets;
  std::vector<uint8_t> kinds;
  std::vector<int32_t> times;
  std::vector<uint32_t> crcs;
  offsets.reserve(sources.size() + 1);
  for (const auto& src : sources) {
    try {
      std::vector<uint8_t> fileBytes;
      const std::vector<uint8_t>* bytes = &src.data;
      int32_t stamp = src.timeStamp;
      if (!src.hostPath.empty()) {
        TMxMemoryStream m;
        m.LoadFromFile(src.hostPath);
        fileBytes = m.TakeBytes();
        bytes = &fileBytes;
        if (stamp == 0) stamp = DosFileTime(src.hostPath);
      }
      EntryEncodingRequest req;
      req.data = bytes->data();
      req.size = bytes->size();
      std::string ext = paths::ExtractFileExt(src.name);
      req.extension = ext;
      req.fromFile = !src.hostPath.empty();
      req.scramble = options.scramble;
      req.checksumOfSource = src.checksumOfSource && v >= 102;
      req.forceCompress = v <= 100;
      if (options.scramble) req.scrambleSeed = nextSeed();
      if (options.compressLayeredPicture) req.compressLayeredPicture = [&] { return options.compressLayeredPicture(src); };
      EncodedEntry enc = EncodeEntry(req);
      offsets.push_back(data.GetPosition() - base);
      data.WriteExact(enc.bytes.data(), static_cast<int64_t>(enc.bytes.size()));
      kinds.push_back(enc.kind);
      times.push_back(stamp);
      crcs.push_back(enc.crc);
    } catch (const OrvaError&) {
      if (options.onEntryError) options.onEntryError(Sys("エラー:") + src.name);
      throw;
    }
  }
  const int64_t end = data.GetPosition();
  offsets.push_back(end - base);
  if (v <= 100 && end - base > 0x7FFFFFFF) throw OrvaError::Utf8("archives of version 100 or older cannot exceed 2 GiB");

  // The directory, written over its placeholder (or into the companion).
  TMxMemoryStream d;
  if (v > 0) {
    d.WriteBytes("vf");
    d.WriteInt32(v);
  }
  d.WriteInt32(static_cast<int32_t>(sources.size()));
  TMxRandom nameKey(kArchiveNameSeed);
  for (const auto& src : sources) {
    std::string name = src.name;
    if (v > 99)
      for (char& c : name) c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(nameKey.Next()));
    d.WriteString(name);
  }
  TMxRandom offsetKey(kArchiveNameSeed);
  for (int64_t off : offsets) {
    if (v > 100) {
      uint32_t lo = static_cast<uint32_t>(off), hi = static_cast<uint32_t>(static_cast<uint64_t>(off) >> 32);
      int32_t r = offsetKey.Next();
      lo ^= static_cast<uint32_t>(r);
      hi ^= r < 0 ? 0xFFFFFFFFu : 0u;
      d.WriteUInt32(lo);
      d.WriteUInt32(hi);
    } else {
      uint32_t o = static_cast<uint32_t>(off);
      if (v > 99) o ^= static_cast<uint32_t>(offsetKey.Next());
      d.WriteUInt32(o);
    }
  }
  if (v > 100) {
    for (uint8_t k : kinds) d.WriteByte(k);
    for (int32_t t : times) d.WriteInt32(t);
    for (uint32_t c : crcs) d.WriteUInt32(c);
    if (v >= 102)
      for (const auto& src : sources) d.WriteByte(src.checksumOfSource ? 1 : 0);
  }
  if (d.GetSize() != dirSize) throw OrvaError::Utf8("archive writer: directory size mismatch");
  dir.SetPosition(base);
  dir.WriteExact(d.Memory(), d.GetSize());
  if (sameStream) dir.SetPosition(end);
}

void WriteArchiveFile(const std::string& hostPath, const std::vector<ArchiveSource>& sources,
                      const ArchiveWriteOptions& options, ArchiveLayout layout, const std::string& overlayOn) {
  switch (layout) {
    case ArchiveLayout::Plain: {
      TMxBigFileStream out(hostPath, FileOpenMode::Create);
      WriteArchive(out, out, sources, options);
      break;
    }
    case ArchiveLayout::ExtCompanion: {
      TMxBigFileStream data(hostPath, FileOpenMode::Create);
      TMxMemoryStream dir;
      WriteArchive(dir, data, sources, options);
      size_t slash = hostPath.rfind('/');
      size_t dot = hostPath.rfind('.');
      std::string ext = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                            ? hostPath.substr(0, dot) + ".ext"
                            : hostPath + ".ext";
      dir.SaveToFile(ext);
      break;
    }
    case ArchiveLayout::Overlay: {
      TMxMemoryStream program;
      program.LoadFromFile(overlayOn);
      if (program.GetSize() > 0x7FFFFFFF) throw OrvaError::Utf8("program file too large for an overlay");
      TMxBigFileStream out(hostPath, FileOpenMode::Create);
      out.WriteExact(program.Memory(), program.GetSize());
      const int32_t dirPos = static_cast<int32_t>(out.GetPosition());
      WriteArchive(out, out, sources, options);
      out.WriteInt32(dirPos);
      out.WriteBytes("ov");
      break;
    }
  }
}

}  // namespace orva
