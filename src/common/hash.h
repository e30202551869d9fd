// THashCollection: an ordered, name-keyed collection whose items are also
// chained in 256 hash buckets for case-insensitive lookup. It is the base of
// the file table, the variable table, the read list and the picture cache.
//
// A new or renamed item goes to the head of its bucket's chain, and a lookup
// returns the first equal name from the head: with duplicate names, the most
// recently added (or renamed) item wins.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class THashCollectionItem {
 public:
  THashCollectionItem() = default;
  explicit THashCollectionItem(std::string name) : name_(std::move(name)) {}
  virtual ~THashCollectionItem() = default;
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  const std::string& Name() const { return name_; }
  int Index() const { return index_; }
  uint8_t Bucket() const { return bucket_; }

 private:
  friend class THashCollectionBase;
  std::string name_;
  int index_ = -1;
  uint8_t bucket_ = 0;
  THashCollectionItem* prev_ = nullptr;
  THashCollectionItem* next_ = nullptr;
};

class THashCollectionBase {
 public:
  // Plain: code-page aware case-insensitive comparison. Japanese: the locale
  // comparison of the Japanese language ignoring case. Both fold ASCII letters
  // only and never touch the trail byte of a double-byte character.
  enum class Mode { Plain, Japanese };

  explicit THashCollectionBase(Mode mode = Mode::Plain) : mode_(mode) { heads_.fill(nullptr); }
  virtual ~THashCollectionBase() = default;
  THashCollectionBase(const THashCollectionBase&) = delete;
  THashCollectionBase& operator=(const THashCollectionBase&) = delete;
  // Items live behind pointers, so the chains survive a move.
  THashCollectionBase(THashCollectionBase&&) = default;
  THashCollectionBase& operator=(THashCollectionBase&&) = default;

  static uint8_t BucketOf(std::string_view name);

  int Count() const { return static_cast<int>(items_.size()); }
  Mode GetMode() const { return mode_; }

  // Index of the first item in the name's chain with an equal name, or -1.
  int IndexOf(std::string_view name) const;

  void Rename(THashCollectionItem& item, std::string newName);
  void Delete(int index);
  // Removes the item at index and hands it to the caller.
  std::unique_ptr<THashCollectionItem> Extract(int index);
  void Clear();

 protected:
  THashCollectionItem* BaseAt(int index) const { return items_[static_cast<size_t>(index)].get(); }
  THashCollectionItem* BaseFind(std::string_view name) const;
  THashCollectionItem* BaseInsert(int index, std::unique_ptr<THashCollectionItem> item);

 private:
  void Link(THashCollectionItem& item);
  void Unlink(THashCollectionItem& item);
  void Renumber(size_t from);

  Mode mode_;
  std::array<THashCollectionItem*, 256> heads_;
  std::vector<std::unique_ptr<THashCollectionItem>> items_;
};

// Typed view over the base: every item is an Item.
template <class Item>
class THashCollection : public THashCollectionBase {
 public:
  using THashCollectionBase::THashCollectionBase;

  Item& At(int index) const { return static_cast<Item&>(*BaseAt(index)); }
  Item* Find(std::string_view name) const { return static_cast<Item*>(BaseFind(name)); }
  Item& Add(std::unique_ptr<Item> item) { return Insert(Count(), std::move(item)); }
  Item& Insert(int index, std::unique_ptr<Item> item) {
    return static_cast<Item&>(*BaseInsert(index, std::move(item)));
  }
  std::unique_ptr<Item> ExtractItem(int index) {
    return std::unique_ptr<Item>(static_cast<Item*>(Extract(index).release()));
  }
};

}  // namespace orva
