// The manager of every table: creation and deletion, the active table,
// copies between tables, direct access and the table block of saves.
#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "tables/dbs.h"

namespace orva {

namespace {
constexpr int32_t kBlockVersion = 100;
}

int TDBManager::IndexOfTable(std::string_view name) const {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (cp932::SameTextCI(tables_[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

TDBTable* TDBManager::FindTable(std::string_view name) const {
  const int i = IndexOfTable(name);
  return i < 0 ? nullptr : tables_[static_cast<size_t>(i)].get();
}

TDBTable* TDBManager::ActiveTable() const {
  return active_ >= 0 && active_ < Count() ? tables_[static_cast<size_t>(active_)].get() : nullptr;
}

int TDBManager::CreateTable(const std::string& name, TDBKind kind) {
  if (name.empty()) return -1;
  const int existing = IndexOfTable(name);
  if (existing >= 0) {
    active_ = existing;
    if (kind == TDBKind::Game) At(existing).ClearTable();
    return existing;
  }
  tables_.push_back(std::make_unique<TDBTable>(name, kind));
  active_ = Count() - 1;
  return active_;
}

void TDBManager::DeleteTableAt(int index) {
  if (index < 0 || index >= Count()) return;
  const TDBTable* active = ActiveTable();
  const std::string activeName = active ? active->Name() : std::string();
  const bool wasActive = index == active_;
  tables_.erase(tables_.begin() + index);
  active_ = (active && !wasActive) ? IndexOfTable(activeName) : -1;
}

bool TDBManager::DeleteTable(const std::string& name) {
  const int i = IndexOfTable(name);
  if (i < 0) return false;
  DeleteTableAt(i);
  return true;
}

void TDBManager::ClearTables() {
  tables_.clear();
  active_ = -1;
}

void TDBManager::ResetGameTables() {
  active_ = -1;
  std::erase_if(tables_, [](const std::unique_ptr<TDBTable>& t) { return t->Kind() == TDBKind::Game; });
}

bool TDBManager::SetActiveTable(std::string_view name) {
  const int i = IndexOfTable(name);
  if (i < 0) return false;
  active_ = i;
  return true;
}

bool TDBManager::CopyRecordsTo(const std::string& target, const std::vector<int32_t>& indices) {
  TDBTable* from = ActiveTable();
  TDBTable* to = FindTable(target);
  if (!from || !to || to == from) return false;
  to->ClearTable();
  for (const TDBField& f : from->FieldList().Fields())
    to->AddField(f.name, static_cast<int>(f.type), f.DeclaredSize());
  std::vector<const uint8_t*> images;
  images.reserve(indices.size());
  for (int32_t i : indices)
    if (const uint8_t* r = from->Record(i)) images.push_back(r);
  to->AppendImages(images);
  return true;
}

bool TDBManager::AppendRecordsFrom(const std::string& source, const std::vector<int32_t>& indices) {
  TDBTable* to = ActiveTable();
  const TDBTable* from = FindTable(source);
  if (!to || !from || !to->FieldList().SameAs(from->FieldList())) return false;
  std::vector<const uint8_t*> images;
  images.reserve(indices.size());
  for (int32_t i : indices)
    if (const uint8_t* r = from->Record(i)) images.push_back(r);
  to->AppendImages(images);
  return true;
}

// ---- direct access

TDBManager::Located TDBManager::Find(const Direct& d) const {
  Located at;
  TDBTable* t = FindTable(d.table);
  if (!t) return at;
  const int32_t rec = t->LocateFirst(d.keys, d.caseInsensitive, d.partial);
  const int field = t->FieldList().IndexOf(d.field);
  if (rec < 0 || field < 0) return at;
  return {t, rec, field};
}

bool TDBManager::DirectGetInt(const Direct& d, int32_t& out) const {
  const Located l = Find(d);
  return l.table && l.table->GetIntAt(l.record, l.field, out);
}
bool TDBManager::DirectSetInt(const Direct& d, int32_t v) {
  const Located l = Find(d);
  return l.table && l.table->SetIntAt(l.record, l.field, v);
}
bool TDBManager::DirectGetFloat(const Direct& d, Float& out) const {
  const Located l = Find(d);
  return l.table && l.table->GetFloatAt(l.record, l.field, out);
}
bool TDBManager::DirectSetFloat(const Direct& d, Float x) {
  const Located l = Find(d);
  return l.table && l.table->SetFloatAt(l.record, l.field, x);
}
bool TDBManager::DirectGetBool(const Direct& d, bool& out) const {
  const Located l = Find(d);
  return l.table && l.table->GetBoolAt(l.record, l.field, out);
}
bool TDBManager::DirectSetBool(const Direct& d, bool b) {
  const Located l = Find(d);
  return l.table && l.table->SetBoolAt(l.record, l.field, b);
}
bool TDBManager::DirectGetStr(const Direct& d, std::string& out) const {
  const Located l = Find(d);
  return l.table && l.table->GetStrAt(l.record, l.field, out);
}
bool TDBManager::DirectSetStr(const Direct& d, std::string_view s) {
  const Located l = Find(d);
  return l.table && l.table->SetStrAt(l.record, l.field, s);
}

// ---- the table block

void TDBManager::SaveTableBlock(TStream& s, TDBKind kind) const {
  // Built in memory first so that a table that cannot be written leaves the
  // stream untouched.
  TMxMemoryStream block;
  block.WriteInt32(kBlockVersion);
  int32_t n = 0;
  for (const auto& t : tables_) n += t->Kind() == kind;
  block.WriteInt32(n);
  for (const auto& t : tables_) {
    if (t->Kind() != kind) continue;
    if (t->Name().size() > static_cast<size_t>(kMaxStreamString)) throw OrvaError::Utf8("Invalid string data");
    for (const TDBField& f : t->FieldList().Fields())
      if (f.name.size() > static_cast<size_t>(kMaxStreamString)) throw OrvaError::Utf8("Invalid string data");
    block.WriteByte(t->ClassCode());
    t->Save(block);
  }
  if (kind == TDBKind::Game) {
    const TDBTable* active = ActiveTable();
    block.WriteString(active ? active->Name() : std::string());
  }
  s.WriteExact(block.Bytes().data(), block.GetSize());
}

void TDBManager::LoadTableBlock(TStream& s, TDBKind kind) {
  s.ReadInt32();  // block version
  // A table record takes at least its class code, name length, kind, field
  // count, record count and current index.
  const int32_t n = s.ReadCount(1 + 4 + 1 + 4 + 4 + 4);
  std::vector<std::unique_ptr<TDBTable>> loaded;
  for (int32_t i = 0; i < n; ++i) {
    s.ReadByte();  // class code: every value makes a TDBTable
    auto t = std::make_unique<TDBTable>(std::string(), kind);
    t->Load(s);
    // Each part holds the tables of its own kind only; another kind there
    // would outlive every later load of the part.
    if (t->Kind() != kind) throw OrvaError::Utf8("ファイルが破壊されています (table kind)");
    loaded.push_back(std::move(t));
  }
  std::string activeName;
  if (kind == TDBKind::Game) activeName = s.ReadString();

  // The whole block was read: replace the tables of that kind.
  std::erase_if(tables_, [kind](const std::unique_ptr<TDBTable>& t) { return t->Kind() == kind; });
  for (auto& t : loaded) tables_.push_back(std::move(t));
  if (kind == TDBKind::Game)
    active_ = IndexOfTable(activeName);
  else
    active_ = n > 0 ? Count() - 1 : -1;
}

}  // namespace orva
