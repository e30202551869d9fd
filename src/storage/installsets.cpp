#include "storage/installsets.h"

#include <cstdio>

#include "common/errors.h"

namespace orva {

namespace {
std::vector<std::string> ReadSkippingEmpty(TStream& in) {
  int32_t n = in.ReadCount(4);
  std::vector<std::string> list;
  for (int32_t i = 0; i < n; ++i) {
    std::string s = in.ReadString();
    if (!s.empty()) list.push_back(std::move(s));
  }
  return list;
}

int64_t ReadValue(TStream& in, bool wide) { return wide ? in.ReadInt64() : in.ReadInt32(); }
void WriteValue(TStream& out, bool wide, int64_t v) {
  if (wide) out.WriteInt64(v);
  else out.WriteInt32(static_cast<int32_t>(v));
}
}  // namespace

void TOrvaInstallSet::Read(TStream& in) {
  try {
    in.SetPosition(0);
    char head[5] = {};
    version = 0;
    if (in.GetSize() >= 5) {
      in.ReadExact(head, 5);
      bool digits = head[2] >= '0' && head[2] <= '9' && head[3] >= '0' && head[3] <= '9' && head[4] >= '0' &&
                    head[4] <= '9';
      if (head[0] == 'i' && head[1] == 's' && digits) {
        version = (head[2] - '0') * 100 + (head[3] - '0') * 10 + (head[4] - '0');
      } else {
        in.SetPosition(0);
      }
    }
    if (version > kNewestVersion) throw OrvaError::Utf8("install.dat: version " + std::to_string(version) + " is newer than this player reads");
    const bool wide = version > 99;
    diskNumber = in.ReadInt32();
    setName = in.ReadString();
    for (auto& s : texts1) s = in.ReadString();
    byte1 = in.ReadByte();
    text2 = in.ReadString();
    byte2 = in.ReadByte();
    int32_t m = in.ReadCount(wide ? 32 : 16, 1 << 20);
    text3 = in.ReadString();
    int1 = in.ReadInt32();
    byte3 = in.ReadByte();
    byte4 = in.ReadByte();
    for (auto& s : texts4) s = in.ReadString();
    records.assign(static_cast<size_t>(m), {});
    for (auto& r : records)
      for (auto& v : r) v = ReadValue(in, wide);
    for (auto& v : totals) v = ReadValue(in, wide);
    byte5 = in.ReadByte();
    byte6 = version > 100 ? in.ReadByte() : 0;
    list1 = version > 101 ? ReadSkippingEmpty(in) : std::vector<std::string>{};
    contentComplete = version > 102 ? in.ReadByte() != 0 : false;
    byte7 = version > 103 ? in.ReadByte() : 0;
    byte8 = version > 104 ? in.ReadByte() : 0;
    list2 = version > 105 ? ReadSkippingEmpty(in) : std::vector<std::string>{};
    text5 = version > 106 ? in.ReadString() : std::string();
    if (version > 107)
      for (auto& s : texts6) s = in.ReadString();
  } catch (const OrvaError& e) {
    throw OrvaError::Utf8(std::string("install.dat is damaged: ") + e.what());
  }
}

void TOrvaInstallSet::Write(TStream& out) const {
  if (version > 0) {
    char head[16];
    std::snprintf(head, sizeof head, "is%03d", version);
    out.WriteExact(head, 5);
  }
  const bool wide = version > 99;
  out.WriteInt32(diskNumber);
  out.WriteString(setName);
  for (const auto& s : texts1) out.WriteString(s);
  out.WriteByte(byte1);
  out.WriteString(text2);
  out.WriteByte(byte2);
  out.WriteInt32(static_cast<int32_t>(records.size()));
  out.WriteString(text3);
  out.WriteInt32(int1);
  out.WriteByte(byte3);
  out.WriteByte(byte4);
  for (const auto& s : texts4) out.WriteString(s);
  for (const auto& r : records)
    for (int64_t v : r) WriteValue(out, wide, v);
  for (int64_t v : totals) WriteValue(out, wide, v);
  out.WriteByte(byte5);
  if (version > 100) out.WriteByte(byte6);
  if (version > 101) out.WriteStringList(list1);
  if (version > 102) out.WriteByte(contentComplete ? 1 : 0);
  if (version > 103) out.WriteByte(byte7);
  if (version > 104) out.WriteByte(byte8);
  if (version > 105) out.WriteStringList(list2);
  if (version > 106) out.WriteString(text5);
  if (version > 107)
    for (const auto& s : texts6) out.WriteString(s);
}

}  // namespace orva
