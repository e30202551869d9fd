#include "objects/timerlists.h"

#include <algorithm>

namespace orva {

TTimerData* TTimerList::Queue(TOrvaObject* object, const std::string& page, const std::vector<std::string>& args,
                              uint8_t eventCode) {
  if (page.empty()) return nullptr;
  auto r = std::make_unique<TTimerData>();
  r->page = page;
  r->object = object;
  r->eventCode = eventCode;
  r->args = args;
  records_.push_back(std::move(r));
  return records_.back().get();
}

int TTimerList::FindEvent(const TOrvaObject* object, uint8_t eventCode) const {
  for (size_t i = 0; i < records_.size(); ++i)
    if (records_[i]->object == object && records_[i]->eventCode == eventCode) return static_cast<int>(i);
  return -1;
}

TTimerData* TTimerList::NextWaiting() {
  for (auto& r : records_)
    if (r->level == 0) return r.get();
  return nullptr;
}

namespace {
template <class Pred>
void EraseIf(std::vector<std::unique_ptr<TTimerData>>& v, Pred pred) {
  v.erase(std::remove_if(v.begin(), v.end(), [&](const auto& r) { return pred(*r); }), v.end());
}
}  // namespace

void TTimerList::RemoveLevel(int32_t level) {
  EraseIf(records_, [&](const TTimerData& r) { return r.level == level; });
}

void TTimerList::RemoveRunning() {
  EraseIf(records_, [](const TTimerData& r) { return r.level != 0; });
}

void TTimerList::RemoveWaiting(const TOrvaObject* object) {
  EraseIf(records_, [&](const TTimerData& r) { return r.level == 0 && r.object == object; });
}

void TTimerList::Forget(const TOrvaObject* object) {
  RemoveWaiting(object);
  for (auto& r : records_)
    if (r->object == object) r->object = nullptr;
}

void TTimerList::Remove(const TTimerData* record) {
  EraseIf(records_, [&](const TTimerData& r) { return &r == record; });
}

void TTimerList::WriteToStream(TStream& out, const NameOf& nameOf) const {
  out.WriteInt32(static_cast<int32_t>(records_.size()));
  for (const auto& r : records_) {
    out.WriteString(r->page);
    out.WriteString(r->object && nameOf ? nameOf(r->object) : std::string());
    out.WriteByte(r->eventCode);
    out.WriteInt32(r->level);
    out.WriteStringList(r->args);
  }
}

void TTimerList::ReadFromStream(TStream& in, int version, const FindByName& find) {
  records_.clear();
  // Each record takes at least two empty texts, a code, a level and a count.
  const int32_t count = in.ReadCount(4 + 4 + 1 + 1 + 4);
  for (int32_t i = 0; i < count; ++i) {
    auto r = std::make_unique<TTimerData>();
    r->page = in.ReadString();
    std::string name = in.ReadString();
    r->object = (!name.empty() && find) ? find(name) : nullptr;
    r->eventCode = in.ReadByte();
    if (version <= 113)
      r->level = in.ReadByte() != 0 ? 1 : 0;
    else
      r->level = in.ReadInt32();
    r->args = in.ReadStringList();
    records_.push_back(std::move(r));
  }
}

}  // namespace orva
