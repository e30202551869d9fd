#include "common/hash.h"

#include <stdexcept>

#include "common/cp932.h"

namespace orva {

namespace {
// Byte i of the lower-cased name: ASCII capitals fold where they start a
// character (never as the trail byte of a double-byte character).
unsigned char LowerByteAt(std::string_view name, size_t i) {
  const unsigned char c = static_cast<unsigned char>(name[i]);
  return (c >= 'A' && c <= 'Z' && cp932::IsCharStart(name, i)) ? static_cast<unsigned char>(c + 32) : c;
}
}  // namespace

// The length, first byte and second-to-last byte of the lower-cased name,
// read without making the lower-cased copy.
uint8_t THashCollectionBase::BucketOf(std::string_view name) {
  uint32_t b = static_cast<uint32_t>(name.size() * 16) & 0xFF;
  if (!name.empty()) {
    b += LowerByteAt(name, 0);
    if (name.size() >= 2) b += LowerByteAt(name, name.size() - 2);
  }
  return static_cast<uint8_t>(b & 0xFF);
}

THashCollectionItem* THashCollectionBase::BaseFind(std::string_view name) const {
  for (THashCollectionItem* p = heads_[BucketOf(name)]; p; p = p->next_)
    if (cp932::SameTextCI(p->name_, name)) return p;
  return nullptr;
}

int THashCollectionBase::IndexOf(std::string_view name) const {
  THashCollectionItem* p = BaseFind(name);
  return p ? p->index_ : -1;
}

void THashCollectionBase::Link(THashCollectionItem& item) {
  item.bucket_ = BucketOf(item.name_);
  item.prev_ = nullptr;
  item.next_ = heads_[item.bucket_];
  if (item.next_) item.next_->prev_ = &item;
  heads_[item.bucket_] = &item;
}

void THashCollectionBase::Unlink(THashCollectionItem& item) {
  if (item.prev_)
    item.prev_->next_ = item.next_;
  else if (heads_[item.bucket_] == &item)
    heads_[item.bucket_] = item.next_;
  if (item.next_) item.next_->prev_ = item.prev_;
  item.prev_ = item.next_ = nullptr;
}

void THashCollectionBase::Renumber(size_t from) {
  for (size_t i = from; i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
}

THashCollectionItem* THashCollectionBase::BaseInsert(int index, std::unique_ptr<THashCollectionItem> item) {
  if (index < 0 || index > Count()) throw std::out_of_range("THashCollection: index out of range");
  THashCollectionItem* raw = item.get();
  items_.insert(items_.begin() + index, std::move(item));
  Renumber(static_cast<size_t>(index));
  Link(*raw);
  return raw;
}

void THashCollectionBase::Rename(THashCollectionItem& item, std::string newName) {
  Unlink(item);
  item.name_ = std::move(newName);
  Link(item);
}

std::unique_ptr<THashCollectionItem> THashCollectionBase::Extract(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("THashCollection: index out of range");
  std::unique_ptr<THashCollectionItem> item = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  Unlink(*item);
  item->index_ = -1;
  Renumber(static_cast<size_t>(index));
  return item;
}

void THashCollectionBase::Delete(int index) { Extract(index); }

void THashCollectionBase::Clear() {
  items_.clear();
  heads_.fill(nullptr);
}

}  // namespace orva
