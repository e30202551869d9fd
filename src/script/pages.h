// A compiled script page (".osb"): its header, the property masks of the
// component-creating commands, and its command list.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "script/commands.h"

namespace orva {

class TPage;

// The ordered commands of one page, with a link back to the page.
class TComList {
 public:
  explicit TComList(TPage* page) : page_(page) {}
  int Count() const { return static_cast<int>(items_.size()); }
  TCommand& At(int i) const { return *items_.at(static_cast<size_t>(i)); }
  void Add(std::unique_ptr<TCommand> c) { items_.push_back(std::move(c)); }
  void Clear() { items_.clear(); }
  TPage* Page() const { return page_; }

 private:
  TPage* page_;
  std::vector<std::unique_ptr<TCommand>> items_;
};

// A page of version 102 or older: it has to be rebuilt with a newer editor.
class TPageRebuildError : public OrvaError {
 public:
  explicit TPageRebuildError(const std::string& pageName);
};

class TPage {
 public:
  static constexpr int32_t kVersionMax = 117;
  static constexpr int32_t kMaskCount = 64;
  static constexpr int32_t kMaskBytes = 22;

  explicit TPage(std::string name = {}) : name_(std::move(name)), commands_(this) {}
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // Reads a page file. Throws TPageRebuildError for versions <= 102,
  // "不正なコマンド" for a bad type byte, and a clear error for counts and
  // lengths that the bytes cannot hold. A version above the newest loads
  // with no commands.
  void LoadFromStream(TStream& in);
  void SaveToStream(TStream& out) const;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  int32_t version = kVersionMax;
  uint8_t resultType = 0;
  const PropertyMask& Mask(int typeCode) const { return masks_[static_cast<size_t>(typeCode)]; }
  void SetMask(int typeCode, const PropertyMask& m);
  TComList& Commands() { return commands_; }
  const TComList& Commands() const { return commands_; }

  // Takes count records of size bytes as stored, and the masks they hold.
  void SetStoredMasks(int32_t count, int32_t size, std::vector<uint8_t> raw);
  // The mask records as they are written: as read, or the usual 64 x 22
  // bytes made from the masks.
  std::vector<uint8_t> StoredMasks(int32_t* count, int32_t* size) const;

  // The stored mask records as they were read (for writing back unchanged).
  int32_t maskCount = kMaskCount;
  int32_t maskSize = kMaskBytes;
  std::vector<uint8_t> rawMasks;

 private:
  std::string name_;
  std::array<PropertyMask, kMaskCount> masks_{};
  TComList commands_;
  std::vector<uint8_t> unreadTail_;  // a newer version's body, kept as it was
};

}  // namespace orva
