#include "common/streams.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "common/errors.h"

namespace orva {

void TStream::SetSize(int64_t) { throw OrvaError::Utf8("this stream cannot change its size"); }

void TStream::ReadExact(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw OrvaError::Utf8("ストリームの読み込みエラー");
}

void TStream::WriteExact(const void* buffer, int64_t count) {
  if (Write(buffer, count) != count) throw OrvaError::Utf8("ストリームの書き込みエラー");
}

uint8_t TStream::ReadByte() {
  uint8_t v;
  ReadExact(&v, 1);
  return v;
}

int16_t TStream::ReadInt16() {
  uint8_t b[2];
  ReadExact(b, 2);
  return static_cast<int16_t>(b[0] | (b[1] << 8));
}

int32_t TStream::ReadInt32() {
  uint8_t b[4];
  ReadExact(b, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                              (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

int64_t TStream::ReadInt64() {
  uint64_t lo = ReadUInt32();
  uint64_t hi = ReadUInt32();
  return static_cast<int64_t>(lo | (hi << 32));
}

std::string TStream::ReadString() {
  int32_t len = ReadInt32();
  if (len < 0 || len > kMaxStreamString || len > Remaining()) throw OrvaError::Utf8("Invalid string data");
  std::string s(static_cast<size_t>(len), '\0');
  ReadExact(s.data(), len);
  return s;
}

int32_t TStream::ReadCount(int64_t minElementBytes, int32_t maxCount) {
  int32_t n = ReadInt32();
  if (n < 0 || n > maxCount || (minElementBytes > 0 && n > Remaining() / minElementBytes))
    throw OrvaError::Utf8("ファイルが破壊されています (count out of range)");
  return n;
}

std::vector<std::string> TStream::ReadStringList() {
  int32_t n = ReadCount(4);
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) list.push_back(ReadString());
  return list;
}

void TStream::WriteInt16(int16_t v) {
  uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8)};
  WriteExact(b, 2);
}

void TStream::WriteInt32(int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                  static_cast<uint8_t>(u >> 24)};
  WriteExact(b, 4);
}

void TStream::WriteInt64(int64_t v) {
  uint64_t u = static_cast<uint64_t>(v);
  WriteUInt32(static_cast<uint32_t>(u));
  WriteUInt32(static_cast<uint32_t>(u >> 32));
}

void TStream::WriteString(std::string_view s) {
  WriteInt32(static_cast<int32_t>(s.size()));
  WriteBytes(s);
}

void TStream::WriteStringList(const std::vector<std::string>& list) {
  WriteInt32(static_cast<int32_t>(list.size()));
  for (const auto& s : list) WriteString(s);
}

int64_t TStream::CopyFrom(TStream& src, int64_t count) {
  if (count == 0) {
    src.SetPosition(0);
    count = src.GetSize();
  }
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 0x100000)));
  int64_t done = 0;
  while (done < count) {
    int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(buf.size()));
    int64_t got = src.Read(buf.data(), n);
    if (got <= 0) break;
    WriteExact(buf.data(), got);
    done += got;
  }
  return done;
}

void TMxMemoryStream::SetPosition(int64_t pos) { pos_ = std::max<int64_t>(0, pos); }

int64_t TMxMemoryStream::Read(void* buffer, int64_t count) {
  int64_t size = GetSize();
  if (count <= 0 || pos_ >= size) return 0;
  int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMxMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  size_t end = static_cast<size_t>(pos_ + count);
  if (end > data_.size()) {
    if (end > data_.capacity()) data_.reserve(std::max(end, data_.capacity() * 2));
    data_.resize(end);
  }
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ += count;
  return count;
}

void TMxMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  if (pos_ > size) pos_ = size;
}

void TMxMemoryStream::LoadFromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw OrvaError::Utf8("cannot open \"" + path + "\"");
  // Read to the end rather than asking for the size: pipes have none.
  std::vector<uint8_t> bytes;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) bytes.insert(bytes.end(), buf, buf + in.gcount());
  if (in.bad()) throw OrvaError::Utf8("cannot read \"" + path + "\"");
  data_ = std::move(bytes);
  pos_ = 0;
}

void TMxMemoryStream::SaveToFile(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw OrvaError::Utf8("cannot create \"" + path + "\"");
  out.write(reinterpret_cast<const char*>(data_.data()), static_cast<std::streamsize>(data_.size()));
  out.flush();
  if (!out) throw OrvaError::Utf8("cannot write \"" + path + "\"");
}

}  // namespace orva
