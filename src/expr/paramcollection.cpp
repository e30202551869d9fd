#include "expr/paramcollection.h"

#include <algorithm>
#include <atomic>

#include "common/cp932.h"
#include "common/errors.h"

namespace orva {

namespace {

bool IsTempName(const std::string& name) { return name.size() >= 4 && name.compare(0, 4, "____") == 0; }

// Least bytes of one variable record (type, name length, empty dims, element
// count, flags, scope number).
constexpr int64_t kMinRecordBytes = 1 + 4 + 4 + 4 + 1 + 1 + 4 + 1;

void CopyElements(TCustomParam& to, const TCustomParam& from, int count) {
  switch (to.GetParamType()) {
    case PT_INT: for (int i = 0; i < count; ++i) to.SetIntAt(i, from.GetIntAt(i)); break;
    case PT_FLOAT: for (int i = 0; i < count; ++i) to.SetFloatAt(i, from.GetFloatAt(i)); break;
    case PT_BOOL: for (int i = 0; i < count; ++i) to.SetFlagAt(i, from.GetFlagAt(i)); break;
    case PT_STR: for (int i = 0; i < count; ++i) to.SetStrAt(i, from.GetStrAt(i)); break;
    default: break;
  }
}

void SkipDims(TStream& s) {
  int32_t n = s.ReadCount(4);
  for (int32_t i = 0; i < n; ++i) s.ReadInt32();
}

}  // namespace

TParamCollection::TParamCollection(TSystemVarSource* source) : THashCollection(Mode::Plain) {
  Bump();
  SetSource(source);
  for (int i = 0; i < kSystemVarCount; ++i) {
    auto item = std::make_unique<TParamCollectionItem>(std::make_unique<TParamSystem>(*this, i));
    TParamCollectionItem& added = Add(std::move(item));
    THashCollectionBase::Rename(added, SystemVarName(i));
    IndexAdd(added);
  }
}

TParamCollection::~TParamCollection() = default;

void TParamCollection::SetSource(TSystemVarSource* source) {
  if (source) {
    source_ = source;
    ownSource_.reset();
  } else {
    ownSource_ = std::make_unique<TClockSystemVarSource>();
    source_ = ownSource_.get();
  }
}

void TParamCollection::Bump() {
  static std::atomic<uint64_t> next{1};
  generation_ = next.fetch_add(1, std::memory_order_relaxed);
}

std::string TParamCollection::Key(const std::string& name) { return cp932::ToLower(name); }

void TParamCollection::IndexAdd(TParamCollectionItem& item) {
  if (item.Name().empty()) return;
  index_[Key(item.Name())].push_back(&item);
  Bump();
}

void TParamCollection::IndexRemove(TParamCollectionItem& item) {
  Bump();
  if (item.Name().empty()) return;
  auto it = index_.find(Key(item.Name()));
  if (it == index_.end()) return;
  auto& v = it->second;
  v.erase(std::remove(v.begin(), v.end(), &item), v.end());
  if (v.empty()) index_.erase(it);
}

TParamCollectionItem& TParamCollection::AddVariable(int typeCode) {
  std::unique_ptr<TCustomParam> value = CreateParam(typeCode);
  if (!value) throw OrvaError::Utf8("内部エラー");
  return Add(std::make_unique<TParamCollectionItem>(std::move(value)));
}

void TParamCollection::SetName(TParamCollectionItem& item, const std::string& name) {
  if (name.empty() || name.find(' ') != std::string::npos || (name[0] >= '0' && name[0] <= '9'))
    throw OrvaError::Format("\"%s\"：変数名が不正です", name);
  IndexRemove(item);
  THashCollectionBase::Rename(item, name);
  IndexAdd(item);
}

TParamCollectionItem& TParamCollection::Declare(const std::string& name, int typeCode, VarScope scope) {
  TParamCollectionItem& item = AddVariable(typeCode);
  try {
    SetName(item, name);
  } catch (...) {
    DeleteVariable(item);
    throw;
  }
  switch (scope) {
    case VarScope::Global: break;
    case VarScope::AutoDiscard: item.scope = currentScope_; break;
    case VarScope::Local: item.scope = currentScope_; item.local = true; break;
    case VarScope::Status: item.status = true; break;
  }
  Bump();
  return item;
}

TParamCollectionItem* TParamCollection::FindVariable(const std::string& name) const {
  if (frameDepth_ > 0 && IsTempName(name)) {
    for (TParamCollectionItem* t : tempFrames_[frameDepth_ - 1])
      if (cp932::SameTextCI(t->Name(), name)) return t;
  }
  auto it = index_.find(Key(name));
  if (it == index_.end()) return nullptr;
  TParamCollectionItem* oldest = nullptr;
  for (auto p = it->second.rbegin(); p != it->second.rend(); ++p) {
    TParamCollectionItem* v = *p;
    if (v->local) {
      if (v->scope == currentScope_) return v;
    } else {
      oldest = v;
    }
  }
  return oldest;
}

TParamCollectionItem* TParamCollection::FindForDeclare(const std::string& name, bool local) const {
  auto it = index_.find(Key(name));
  if (it == index_.end()) return nullptr;
  TParamCollectionItem* found = nullptr;
  for (auto p = it->second.rbegin(); p != it->second.rend(); ++p) {
    TParamCollectionItem* v = *p;
    if (local && v->local && v->scope == currentScope_) return v;
    if (!local && !v->local) found = v;
  }
  return found;
}

std::unique_ptr<TCustomParam> TParamCollection::GetValueCopy(const std::string& name) const {
  TParamCollectionItem* item = FindVariable(name);
  if (!item) return nullptr;
  return CopyValue(*item->Value(), name);
}

std::unique_ptr<TCustomParam> TParamCollection::CopyValue(const TCustomParam& src, const std::string& name) {
  int type = src.GetParamType();
  if (type < PT_INT || type > PT_STR) throw OrvaError::Format("%s:不正な変数です", name);
  std::unique_ptr<TCustomParam> out = CreateParam(type);
  out->CopyShape(src);
  CopyElements(*out, src, out->GetCount());
  return out;
}

void TParamCollection::AssignValues(TCustomParam& to, const TCustomParam& from) {
  Dims d = from.GetDims();
  if (d.empty()) d = {from.GetCount() > 0 ? from.GetCount() : 1};
  to.SetDims(d);
  CopyElements(to, from, std::min(to.GetCount(), from.GetCount()));
}

void TParamCollection::BindReference(TParamVar& ref) const {
  if (ref.BoundName().empty()) return;
  TParamCollectionItem* item = FindVariable(ref.BoundName());
  if (!item) throw OrvaError::Format("\"%s\" 変数がありません", ref.BoundName());
  ref.Bind(item, ref.ElementIndex());
}

void TParamCollection::DeleteVariable(TParamCollectionItem& item) {
  if (item.IsSystem()) throw OrvaError::Utf8("内部エラー");
  if (item.Index() < 0 || item.Index() >= Count() || &At(item.Index()) != &item) return;
  IndexRemove(item);
  std::unique_ptr<TParamCollectionItem> owned = ExtractItem(item.Index());
  // A reference bound during an expression run may still point at it: keep
  // it alive until the outermost run ends.
  if (frameDepth_ > 0) retired_.push_back(std::move(owned));
}

void TParamCollection::FreeIf(bool (*pred)(const TParamCollectionItem&, int), int arg) {
  for (int i = Count() - 1; i >= 0; --i) {
    TParamCollectionItem& item = At(i);
    if (!item.IsSystem() && pred(item, arg)) DeleteVariable(item);
  }
}

void TParamCollection::FreeScope(int n) {
  FreeIf([](const TParamCollectionItem& v, int scope) { return v.scope == scope; }, n);
}

void TParamCollection::ResetVariables() {
  FreeIf([](const TParamCollectionItem& v, int) { return !v.status; }, 0);
  textDelay = 50;
  defaultCursor.clear();
}

void TParamCollection::LowerScopesAbove(int n) {
  for (int i = 0; i < Count(); ++i) {
    TParamCollectionItem& v = At(i);
    if (!v.IsSystem() && v.scope > n) --v.scope;
  }
  Bump();
}

void TParamCollection::SetCurrentScope(int n) {
  if (n != currentScope_) Bump();
  currentScope_ = n;
}

void TParamCollection::PushTempFrame() {
  if (tempFrames_.size() <= frameDepth_) tempFrames_.emplace_back();
  tempFrames_[frameDepth_++].clear();
}

void TParamCollection::PopTempFrame() {
  if (frameDepth_ == 0) return;
  tempFrames_[--frameDepth_].clear();
  if (frameDepth_ == 0) retired_.clear();
}

void TParamCollection::RegisterTemporary(TParamCollectionItem& item) {
  if (frameDepth_ == 0) throw OrvaError::Utf8("内部エラー");
  tempFrames_[frameDepth_ - 1].push_back(&item);
}

// ---- records and save blocks

void TParamCollection::WriteRecord(TStream& s, const TParamCollectionItem& item) const {
  s.WriteByte(static_cast<uint8_t>(item.Value()->GetParamType()));
  s.WriteString(item.Name());
  item.Value()->SaveToStream(s);
  s.WriteBool(item.status);
  s.WriteBool(item.local);
  s.WriteInt32(item.scope);
  s.WriteByte(item.reserved);
}

namespace {

bool IsSavedKind(const TParamCollectionItem& v) {
  ParamKind k = v.Value()->Kind();
  return k != ParamKind::Ref && k != ParamKind::System;
}

struct PendingVar {
  std::unique_ptr<TParamCollectionItem> item;
  std::string name;
};

PendingVar ReadPendingRecord(TStream& s) {
  uint8_t type = s.ReadByte();
  std::unique_ptr<TCustomParam> value = CreateParam(type);
  if (!value || value->Kind() == ParamKind::Ref)
    throw OrvaError::Utf8("ファイルが破壊されています (variable type)");
  PendingVar p;
  p.name = s.ReadString();
  value->LoadFromStream(s);
  p.item = std::make_unique<TParamCollectionItem>(std::move(value));
  p.item->status = s.ReadBool();
  p.item->local = s.ReadBool();
  p.item->scope = s.ReadInt32();
  p.item->reserved = s.ReadByte();
  return p;
}

std::vector<PendingVar> ReadPendingRecords(TStream& s) {
  int32_t n = s.ReadCount(kMinRecordBytes);
  std::vector<PendingVar> out;
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) out.push_back(ReadPendingRecord(s));
  return out;
}

}  // namespace

void TParamCollection::SaveVariables(TStream& s) const {
  std::vector<const TParamCollectionItem*> vars;
  for (int i = 0; i < Count(); ++i) {
    const TParamCollectionItem& v = At(i);
    if (!v.IsSystem() && !v.status && IsSavedKind(v)) vars.push_back(&v);
  }
  s.WriteInt32(static_cast<int32_t>(vars.size()));
  for (auto it = vars.rbegin(); it != vars.rend(); ++it) WriteRecord(s, **it);
  s.WriteInt32(textDelay);
  s.WriteString(defaultCursor);
  s.WriteString(selectedText);
  s.WriteInt32(selectedIndex);
  s.WriteString(tempAlias);
  s.WriteInt32(static_cast<int32_t>(snapshots_.size()));
  for (const auto& snap : snapshots_) s.WriteExact(snap.data(), static_cast<int64_t>(snap.size()));
}

void TParamCollection::SkipSnapshot(TStream& s) {
  int32_t m = s.ReadCount(4 + 4 + 4);
  for (int32_t i = 0; i < m; ++i) {
    int32_t type = s.ReadInt32();
    std::string name = s.ReadString();
    if (SystemVarNumber(name) >= 0) {
      SkipDims(s);
      continue;
    }
    std::unique_ptr<TCustomParam> v = (type >= PT_INT && type <= PT_STR) ? CreateParam(type) : nullptr;
    if (!v) throw OrvaError::Utf8("ファイルが破壊されています (snapshot type)");
    v->LoadFromStream(s);
  }
}

void TParamCollection::LoadVariables(TStream& s, int version) {
  // Everything is read and checked before the table changes, so a damaged
  // block leaves the variables as they were.
  std::vector<PendingVar> vars = ReadPendingRecords(s);
  int32_t delay = s.ReadInt32();
  std::string cursor = s.ReadString();
  std::string selText;
  int32_t selIndex = 0;
  if (version > 102) {
    selText = s.ReadString();
    selIndex = s.ReadInt32();
  }
  int32_t legacy[6] = {};
  bool hasLegacy = version > 112 && version < 135;
  if (hasLegacy)
    for (int32_t& v : legacy) v = s.ReadInt32();
  std::string alias;
  if (version > 120) alias = s.ReadString();
  std::vector<std::vector<uint8_t>> snaps;
  if (version >= 139) {
    int32_t n = s.ReadCount(4);
    for (int32_t i = 0; i < n; ++i) {
      int64_t start = s.GetPosition();
      SkipSnapshot(s);
      int64_t end = s.GetPosition();
      std::vector<uint8_t> bytes(static_cast<size_t>(end - start));
      s.SetPosition(start);
      s.ReadExact(bytes.data(), end - start);
      snaps.push_back(std::move(bytes));
    }
  }
  for (const PendingVar& p : vars) {
    if (p.name.empty() || p.name.find(' ') != std::string::npos || (p.name[0] >= '0' && p.name[0] <= '9'))
      throw OrvaError::Format("\"%s\"：変数名が不正です", p.name);
  }

  FreeIf([](const TParamCollectionItem& v, int) { return !v.status; }, 0);
  for (PendingVar& p : vars) SetName(Add(std::move(p.item)), p.name);
  textDelay = delay;
  defaultCursor = std::move(cursor);
  if (version > 102) {
    selectedText = std::move(selText);
    selectedIndex = selIndex;
  }
  if (hasLegacy) std::copy(legacy, legacy + 6, legacyHistoryFields);
  if (version > 120) tempAlias = std::move(alias);
  snapshots_ = std::move(snaps);
}

void TParamCollection::SaveStatusVariables(TStream& s) const {
  std::vector<const TParamCollectionItem*> vars;
  for (int i = 0; i < Count(); ++i) {
    const TParamCollectionItem& v = At(i);
    if (!v.IsSystem() && v.status && IsSavedKind(v)) vars.push_back(&v);
  }
  s.WriteInt32(static_cast<int32_t>(vars.size()));
  for (auto it = vars.rbegin(); it != vars.rend(); ++it) WriteRecord(s, **it);
}

void TParamCollection::LoadStatusVariables(TStream& s, int version) {
  std::vector<PendingVar> vars = ReadPendingRecords(s);
  for (const PendingVar& p : vars) {
    if (p.name.empty() || p.name.find(' ') != std::string::npos || (p.name[0] >= '0' && p.name[0] <= '9'))
      throw OrvaError::Format("\"%s\"：変数名が不正です", p.name);
  }
  for (PendingVar& p : vars) SetName(Add(std::move(p.item)), p.name);
}

// ---- snapshots

void TParamCollection::PushVariables(const std::vector<std::string>& names) {
  std::vector<TParamCollectionItem*> found;
  for (const std::string& n : names) {
    TParamCollectionItem* v = FindVariable(n);
    if (v && v->Value()->Kind() != ParamKind::Ref && v->Value()->GetParamType() != PT_NONE) found.push_back(v);
  }
  TMxMemoryStream ms;
  ms.WriteInt32(static_cast<int32_t>(found.size()));
  for (TParamCollectionItem* v : found) {
    ms.WriteInt32(v->Value()->GetParamType());
    ms.WriteString(v->Name());
    v->Value()->SaveToStream(ms);
  }
  snapshots_.push_back(ms.TakeBytes());
}

void TParamCollection::PopVariables() {
  if (snapshots_.empty()) return;
  std::vector<uint8_t> bytes = std::move(snapshots_.back());
  snapshots_.pop_back();
  TMxMemoryStream ms(std::move(bytes));
  int32_t m = ms.ReadCount(12);
  for (int32_t i = 0; i < m; ++i) {
    int32_t type = ms.ReadInt32();
    std::string name = ms.ReadString();
    TParamCollectionItem* v = FindVariable(name);
    if (v && v->IsSystem()) {
      SkipDims(ms);
      continue;
    }
    if (type < PT_INT || type > PT_STR) throw OrvaError::Utf8("ファイルが破壊されています (snapshot type)");
    if (v && v->Value()->GetParamType() != type) {
      DeleteVariable(*v);
      v = nullptr;
    }
    if (!v) v = &Declare(name, type);
    v->Value()->LoadFromStream(ms);
  }
}

}  // namespace orva
