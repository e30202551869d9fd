// The ordinary stream interface (64-bit positions) with the binary helpers
// every file format of the system uses: little-endian integers, int32
// length-prefixed strings and string lists. TMxMemoryStream is the growable
// in-memory stream used for command state, save data and decoded entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// Longest string a stream may hold; longer lengths are refused as corrupt.
inline constexpr int32_t kMaxStreamString = 10485760;

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int64_t GetSize() = 0;
  virtual int64_t GetPosition() = 0;
  virtual void SetPosition(int64_t pos) = 0;
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Changes the size; streams that cannot do so throw.
  virtual void SetSize(int64_t size);

  int64_t Remaining() { return GetSize() - GetPosition(); }

  // Reads exactly count bytes or throws "ストリームの読み込みエラー".
  void ReadExact(void* buffer, int64_t count);
  void WriteExact(const void* buffer, int64_t count);

  uint8_t ReadByte();
  int16_t ReadInt16();
  int32_t ReadInt32();
  uint32_t ReadUInt32() { return static_cast<uint32_t>(ReadInt32()); }
  int64_t ReadInt64();
  bool ReadBool() { return ReadByte() != 0; }
  // int32 length then bytes. Lengths below 0, above kMaxStreamString or past
  // the end of the stream are refused with "Invalid string data".
  std::string ReadString();
  std::vector<std::string> ReadStringList();
  // Count read from the stream and checked against a sane upper bound and
  // against the bytes left (each element needs at least minElementBytes).
  int32_t ReadCount(int64_t minElementBytes, int32_t maxCount = 0x7FFFFFFF);

  void WriteByte(uint8_t v) { WriteExact(&v, 1); }
  void WriteInt16(int16_t v);
  void WriteInt32(int32_t v);
  void WriteUInt32(uint32_t v) { WriteInt32(static_cast<int32_t>(v)); }
  void WriteInt64(int64_t v);
  void WriteBool(bool v) { WriteByte(v ? 1 : 0); }
  void WriteString(std::string_view s);
  void WriteStringList(const std::vector<std::string>& list);
  void WriteBytes(std::string_view bytes) { WriteExact(bytes.data(), static_cast<int64_t>(bytes.size())); }

  // Copies count bytes from src's current position; count 0 copies the whole
  // of src from its start. Returns the bytes copied.
  int64_t CopyFrom(TStream& src, int64_t count);
};

class TMxMemoryStream : public TStream {
 public:
  TMxMemoryStream() = default;
  explicit TMxMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
  explicit TMxMemoryStream(std::string_view bytes) : data_(bytes.begin(), bytes.end()) {}

  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  int64_t GetPosition() override { return pos_; }
  void SetPosition(int64_t pos) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t size) override;

  void Clear() { data_.clear(); pos_ = 0; }
  uint8_t* Memory() { return data_.data(); }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  std::vector<uint8_t>& MutableBytes() { return data_; }
  std::vector<uint8_t> TakeBytes() { pos_ = 0; return std::move(data_); }
  std::string AsString() const { return std::string(data_.begin(), data_.end()); }

  // Host file paths are UTF-8. Errors throw OrvaError naming the file.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

}  // namespace orva
