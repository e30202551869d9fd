#include "script/pages.h"

#include "common/cp932.h"

namespace orva {

TPageRebuildError::TPageRebuildError(const std::string& pageName)
    : OrvaError(pageName + "\r\n" + Sys("リビルドしてください")) {}

namespace {
PropertyMask MaskFromBytes(const uint8_t* b, int32_t size) {
  PropertyMask m;
  for (int32_t i = 0; i < std::min<int32_t>(size, TPage::kMaskBytes); ++i)
    for (int bit = 0; bit < 8; ++bit)
      if (b[i] & (1u << bit)) m.set(static_cast<size_t>(i * 8 + bit));
  return m;
}
}  // namespace

void TPage::SetStoredMasks(int32_t count, int32_t size, std::vector<uint8_t> raw) {
  maskCount = count;
  maskSize = size;
  rawMasks = std::move(raw);
  masks_.fill(PropertyMask{});
  for (int32_t t = 0; t < std::min(count, kMaskCount); ++t)
    masks_[static_cast<size_t>(t)] = MaskFromBytes(rawMasks.data() + static_cast<size_t>(t) * size, size);
}

void TPage::SetMask(int typeCode, const PropertyMask& m) {
  masks_[static_cast<size_t>(typeCode)] = m;
  // Keep the stored records in step.
  if (maskSize < kMaskBytes || maskCount <= typeCode) return;
  rawMasks.resize(static_cast<size_t>(maskCount) * static_cast<size_t>(maskSize), 0);
  uint8_t* rec = rawMasks.data() + static_cast<size_t>(typeCode) * static_cast<size_t>(maskSize);
  for (int i = 0; i < kMaskBytes; ++i) {
    uint8_t v = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (m.test(static_cast<size_t>(i * 8 + bit))) v |= static_cast<uint8_t>(1u << bit);
    rec[i] = v;
  }
}

void TPage::LoadFromStream(TStream& in) {
  commands_.Clear();
  unreadTail_.clear();
  version = in.ReadInt32();
  if (version > kVersionMax) {
    // A page from a newer editor: no commands, the rest kept as it was.
    unreadTail_.resize(static_cast<size_t>(in.Remaining()));
    if (!unreadTail_.empty()) in.ReadExact(unreadTail_.data(), static_cast<int64_t>(unreadTail_.size()));
    return;
  }
  if (version <= 102) throw TPageRebuildError(name_);
  try {
    resultType = in.ReadByte();
    maskCount = in.ReadInt32();
    maskSize = in.ReadInt32();
    if (maskCount < 0 || maskSize < 0 || (maskSize > 0 && maskCount > in.Remaining() / maskSize))
      throw OrvaError::Utf8("property masks larger than the page");
    std::vector<uint8_t> raw(static_cast<size_t>(maskCount) * static_cast<size_t>(maskSize));
    if (!raw.empty()) in.ReadExact(raw.data(), static_cast<int64_t>(raw.size()));
    SetStoredMasks(maskCount, maskSize, std::move(raw));
    // Every command needs at least its type byte and base fields.
    const int32_t count = in.ReadCount(1 + 4 + 1 + 1 + 4);
    for (int32_t i = 0; i < count; ++i) {
      auto cmd = CreateCommand(in.ReadByte());
      cmd->Load(in, version, masks_[cmd->TypeCode()]);
      commands_.Add(std::move(cmd));
    }
  } catch (const TPageRebuildError&) {
    throw;
  } catch (const OrvaError& e) {
    commands_.Clear();
    if (e.message() == Sys("不正なコマンド")) throw;
    throw OrvaError(name_ + ":" + e.message());
  }
}

std::vector<uint8_t> TPage::StoredMasks(int32_t* count, int32_t* size) const {
  *count = maskCount;
  *size = maskSize;
  if (rawMasks.size() == static_cast<size_t>(maskCount) * static_cast<size_t>(maskSize)) return rawMasks;
  *count = kMaskCount;
  *size = kMaskBytes;
  std::vector<uint8_t> raw(static_cast<size_t>(kMaskCount * kMaskBytes), 0);
  for (int t = 0; t < kMaskCount; ++t)
    for (int i = 0; i < kMaskBytes * 8; ++i)
      if (masks_[static_cast<size_t>(t)].test(static_cast<size_t>(i)))
        raw[static_cast<size_t>(t * kMaskBytes + i / 8)] |= static_cast<uint8_t>(1u << (i % 8));
  return raw;
}

void TPage::SaveToStream(TStream& out) const {
  out.WriteInt32(version);
  if (version > kVersionMax) {
    if (!unreadTail_.empty()) out.WriteExact(unreadTail_.data(), static_cast<int64_t>(unreadTail_.size()));
    return;
  }
  out.WriteByte(resultType);
  int32_t count, size;
  std::vector<uint8_t> raw = StoredMasks(&count, &size);
  out.WriteInt32(count);
  out.WriteInt32(size);
  if (!raw.empty()) out.WriteExact(raw.data(), static_cast<int64_t>(raw.size()));
  out.WriteInt32(commands_.Count());
  for (int i = 0; i < commands_.Count(); ++i) {
    const TCommand& c = commands_.At(i);
    out.WriteByte(c.typeByte);
    c.Save(out, version, masks_[c.TypeCode()]);
  }
}

}  // namespace orva
