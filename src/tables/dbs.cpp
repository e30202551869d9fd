#include "tables/dbs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "expr/params.h"

namespace orva {

namespace {

// A float as an integer, halves to even; nullopt when the value has no
// 32-bit integer (out of range, infinite, NaN).
std::optional<int32_t> RoundToInt(Float x) {
  const Float r = std::nearbyint(x);
  if (!(r >= -2147483648.0L && r <= 2147483647.0L)) return std::nullopt;
  return static_cast<int32_t>(r);
}

int32_t LoadInt(const uint8_t* p) {
  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
               static_cast<uint32_t>(p[3]) << 24;
  return static_cast<int32_t>(v);
}

void StoreInt(uint8_t* p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

Float LoadFloat(const uint8_t* p) {
  Extended10 b;
  std::memcpy(b.data(), p, 10);
  return DecodeExtended(b);
}

void StoreFloat(uint8_t* p, Float x) {
  const Extended10 b = EncodeExtended(x);
  std::memcpy(p, b.data(), 10);
}

std::string_view LoadText(const uint8_t* p, const TDBField& f) {
  const char* s = reinterpret_cast<const char*>(p);
  const void* nul = std::memchr(s, 0, static_cast<size_t>(f.size));
  return std::string_view(s, nul ? static_cast<size_t>(static_cast<const char*>(nul) - s) : static_cast<size_t>(f.size));
}

// Writes a text into a string field: at most the declared size, cut at a
// character boundary, then zeros to the field's end.
void StoreText(uint8_t* p, const TDBField& f, std::string_view s) {
  const size_t room = static_cast<size_t>(f.size - 1);
  size_t n = 0;
  if (s.size() <= room) {
    n = s.size();
  } else {
    for (size_t len; n < s.size() && n + (len = cp932::StrictCharLength(s, n)) <= room;) n += len;
  }
  std::memcpy(p, s.data(), n);
  std::memset(p + n, 0, static_cast<size_t>(f.size) - n);
}

bool TextIsTrue(std::string_view s) { return s == "TRUE"; }

}  // namespace

const char* FieldTypeWord(TDBFieldType type) {
  switch (type) {
    case TDBFieldType::Int: return "int";
    case TDBFieldType::Float: return "float";
    case TDBFieldType::Bool: return "bool";
    case TDBFieldType::Str: return "string";
  }
  return "string";
}

std::optional<int32_t> StoredFieldSize(int typeCode, int32_t declaredSize) {
  switch (typeCode) {
    case 1: return 4;
    case 2: return 10;
    case 3: return 1;
    case 4:
      if (declaredSize < 0 || declaredSize > kDBMaxDeclaredSize) return std::nullopt;
      return declaredSize + 1;
    default: return std::nullopt;
  }
}

// ---- field list

int TDBFieldList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (cp932::SameTextCI(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

const TDBField& TDBFieldList::Append(std::string name, TDBFieldType type, int32_t storedSize) {
  TDBField f;
  f.size = storedSize;
  f.name = std::move(name);
  f.type = type;
  f.offset = recordSize_;
  recordSize_ += storedSize;
  fields_.push_back(std::move(f));
  return fields_.back();
}

void TDBFieldList::Clear() {
  fields_.clear();
  recordSize_ = 0;
}

bool TDBFieldList::SameAs(const TDBFieldList& other) const {
  if (fields_.size() != other.fields_.size()) return false;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const TDBField& a = fields_[i];
    const TDBField& b = other.fields_[i];
    if (a.name != b.name || a.type != b.type || a.size != b.size) return false;
  }
  return true;
}

// ---- the base table

int TDBCustomTable::AddField(const std::string& name, int typeCode, int32_t declaredSize) {
  if (fields_.IndexOf(name) >= 0) return -1;
  const std::optional<int32_t> size = StoredFieldSize(typeCode, declaredSize);
  if (!size || *size > kDBMaxRecordSize - fields_.RecordSize()) return -1;
  const TDBField& f = fields_.Append(name, static_cast<TDBFieldType>(typeCode), *size);
  FieldAdded(f);
  return fields_.Count() - 1;
}

bool TDBCustomTable::GetInt(std::string_view field, int32_t& out) const {
  return GetIntAt(RecNo(), fields_.IndexOf(field), out);
}
bool TDBCustomTable::SetInt(std::string_view field, int32_t v) { return SetIntAt(RecNo(), fields_.IndexOf(field), v); }
bool TDBCustomTable::GetFloat(std::string_view field, Float& out) const {
  return GetFloatAt(RecNo(), fields_.IndexOf(field), out);
}
bool TDBCustomTable::SetFloat(std::string_view field, Float x) {
  return SetFloatAt(RecNo(), fields_.IndexOf(field), x);
}
bool TDBCustomTable::GetBool(std::string_view field, bool& out) const {
  return GetBoolAt(RecNo(), fields_.IndexOf(field), out);
}
bool TDBCustomTable::SetBool(std::string_view field, bool b) { return SetBoolAt(RecNo(), fields_.IndexOf(field), b); }
bool TDBCustomTable::GetStr(std::string_view field, std::string& out) const {
  return GetStrAt(RecNo(), fields_.IndexOf(field), out);
}
bool TDBCustomTable::SetStr(std::string_view field, std::string_view s) {
  return SetStrAt(RecNo(), fields_.IndexOf(field), s);
}

void TDBCustomTable::Save(TStream& s) const {
  s.WriteString(name_);
  s.WriteByte(static_cast<uint8_t>(kind_));
  s.WriteInt32(fields_.Count());
  for (const TDBField& f : fields_.Fields()) {
    s.WriteInt32(f.size);
    s.WriteString(f.name);
    s.WriteByte(static_cast<uint8_t>(f.type));
  }
  SaveRecords(s);
}

namespace {
[[noreturn]] void ThrowBroken(const char* what) {
  throw OrvaError::Utf8(std::string("ファイルが破壊されています (") + what + ")");
}
}  // namespace

void TDBCustomTable::Load(TStream& s) {
  ClearTable();
  name_ = s.ReadString();
  const uint8_t kind = s.ReadByte();
  if (kind > static_cast<uint8_t>(TDBKind::Status)) ThrowBroken("table kind");
  kind_ = static_cast<TDBKind>(kind);
  // A field takes at least 4 + 4 + 1 bytes.
  const int32_t n = s.ReadCount(9);
  std::unordered_set<std::string> names;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t size = s.ReadInt32();
    std::string name = s.ReadString();
    const uint8_t type = s.ReadByte();
    if (type < 1 || type > 4) ThrowBroken("field type");
    const bool sizeOk = type == 4 ? size >= 1 && size <= kDBMaxDeclaredSize + 1 : StoredFieldSize(type, 0) == size;
    if (!sizeOk) ThrowBroken("field size");
    if (size > kDBMaxRecordSize - fields_.RecordSize()) ThrowBroken("record size");
    // Names are unique in a table that a script or a table file built.
    if (!names.insert(cp932::ToLower(name)).second) ThrowBroken("field name");
    // Appended without widening: the records are read next.
    fields_.Append(std::move(name), static_cast<TDBFieldType>(type), size);
  }
  LoadRecords(s);
}

// ---- records

const uint8_t* TDBTable::Record(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  // Records of a table without fields take no bytes but still exist.
  static const uint8_t kNoBytes = 0;
  if (data_.empty()) return &kNoBytes;
  return data_.data() + static_cast<size_t>(index) * static_cast<size_t>(fields_.RecordSize());
}

bool TDBTable::SetRecNo(int32_t n) {
  if (n >= count_) return false;
  recNo_ = n < 0 ? -1 : n;
  return true;
}

bool TDBTable::InsertRecord() {
  data_.resize(data_.size() + static_cast<size_t>(fields_.RecordSize()), 0);
  recNo_ = count_++;
  return true;
}

bool TDBTable::DeleteRecord() {
  if (recNo_ < 0) return false;
  const size_t size = static_cast<size_t>(fields_.RecordSize());
  const auto at = data_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(recNo_) * size);
  data_.erase(at, at + static_cast<ptrdiff_t>(size));
  --count_;
  if (recNo_ >= count_) recNo_ = count_ - 1;
  return true;
}

bool TDBTable::FindFirst() {
  if (count_ == 0) return false;
  recNo_ = 0;
  return true;
}

bool TDBTable::FindLast() {
  if (count_ == 0) return false;
  recNo_ = count_ - 1;
  return true;
}

bool TDBTable::FindNext() {
  if (recNo_ < 0 || recNo_ >= count_ - 1) return false;
  ++recNo_;
  return true;
}

bool TDBTable::FindPrior() {
  if (recNo_ <= 0) return false;
  --recNo_;
  return true;
}

void TDBTable::FieldAdded(const TDBField& field) {
  const size_t oldSize = static_cast<size_t>(fields_.RecordSize() - field.size);
  const size_t newSize = static_cast<size_t>(fields_.RecordSize());
  if (count_ == 0) return;
  std::vector<uint8_t> wider(static_cast<size_t>(count_) * newSize, 0);
  for (size_t r = 0; r < static_cast<size_t>(count_); ++r)
    std::memcpy(wider.data() + r * newSize, data_.data() + r * oldSize, oldSize);
  data_ = std::move(wider);
}

void TDBTable::ClearTable() {
  fields_.Clear();
  ClearRecords();
}

void TDBTable::ClearRecords() {
  data_.clear();
  data_.shrink_to_fit();
  count_ = 0;
  recNo_ = -1;
}

void TDBTable::AppendImages(const std::vector<const uint8_t*>& images) {
  if (images.empty()) return;
  const size_t size = static_cast<size_t>(fields_.RecordSize());
  // Copied first: the images may live in this table's buffer.
  std::vector<uint8_t> copies(images.size() * size);
  for (size_t i = 0; i < images.size(); ++i)
    if (size) std::memcpy(copies.data() + i * size, images[i], size);
  data_.insert(data_.end(), copies.begin(), copies.end());
  count_ += static_cast<int32_t>(images.size());
  recNo_ = count_ - 1;
}

void TDBTable::TakeContent(TDBTable& from) {
  fields_.Clear();
  for (const TDBField& f : from.fields_.Fields()) fields_.Append(f.name, f.type, f.size);
  data_ = std::move(from.data_);
  count_ = from.count_;
  recNo_ = from.recNo_;
  from.ClearTable();
}

void TDBTable::SaveRecords(TStream& s) const {
  if (fields_.RecordSize() == 0 && count_ > kDBMaxEmptyRecords)
    throw OrvaError::Utf8("too many records in a table without fields");
  s.WriteInt32(count_);
  if (!data_.empty()) s.WriteExact(data_.data(), static_cast<int64_t>(data_.size()));
  s.WriteInt32(recNo_);
}

void TDBTable::LoadRecords(TStream& s) {
  const int32_t size = fields_.RecordSize();
  const int32_t n = s.ReadInt32();
  if (n < 0 || (size == 0 && n > kDBMaxEmptyRecords) ||
      (size > 0 && static_cast<int64_t>(n) > (s.Remaining() - 4) / size))
    ThrowBroken("record count");
  data_.resize(static_cast<size_t>(n) * static_cast<size_t>(size));
  if (!data_.empty()) s.ReadExact(data_.data(), static_cast<int64_t>(data_.size()));
  count_ = n;
  const int32_t rec = s.ReadInt32();
  recNo_ = rec >= -1 && rec < n ? rec : -1;
}

// ---- accessors and their conversions

const TDBField* TDBTable::FieldAt(int32_t rec, int field) const {
  if (rec < 0 || rec >= count_ || field < 0 || field >= fields_.Count()) return nullptr;
  return &fields_[field];
}

bool TDBTable::GetIntAt(int32_t rec, int field, int32_t& out) const {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  const uint8_t* p = Record(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: out = LoadInt(p); return true;
    case TDBFieldType::Float: {
      const std::optional<int32_t> v = RoundToInt(LoadFloat(p));
      if (!v) return false;
      out = *v;
      return true;
    }
    case TDBFieldType::Bool: out = *p != 0; return true;
    case TDBFieldType::Str: out = ParseIntText(LoadText(p, *f)).value_or(0); return true;
  }
  return false;
}

bool TDBTable::SetIntAt(int32_t rec, int field, int32_t v) {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  uint8_t* p = MutableRecord(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: StoreInt(p, v); return true;
    case TDBFieldType::Float: StoreFloat(p, v); return true;
    case TDBFieldType::Bool: *p = v != 0; return true;
    case TDBFieldType::Str: StoreText(p, *f, conv::IntToStr(v)); return true;
  }
  return false;
}

bool TDBTable::GetFloatAt(int32_t rec, int field, Float& out) const {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  const uint8_t* p = Record(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: out = LoadInt(p); return true;
    case TDBFieldType::Float: out = LoadFloat(p); return true;
    case TDBFieldType::Bool: out = *p != 0; return true;
    case TDBFieldType::Str: out = ParseFloatText(LoadText(p, *f)).value_or(0); return true;
  }
  return false;
}

bool TDBTable::SetFloatAt(int32_t rec, int field, Float x) {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  uint8_t* p = MutableRecord(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: {
      const std::optional<int32_t> v = RoundToInt(x);
      if (!v) return false;
      StoreInt(p, *v);
      return true;
    }
    case TDBFieldType::Float: StoreFloat(p, x); return true;
    case TDBFieldType::Bool: *p = x != 0; return true;
    case TDBFieldType::Str: StoreText(p, *f, FloatToText(x)); return true;
  }
  return false;
}

bool TDBTable::GetBoolAt(int32_t rec, int field, bool& out) const {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  const uint8_t* p = Record(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: out = LoadInt(p) != 0; return true;
    case TDBFieldType::Float: out = LoadFloat(p) != 0; return true;
    case TDBFieldType::Bool: out = *p != 0; return true;
    case TDBFieldType::Str: out = TextIsTrue(LoadText(p, *f)); return true;
  }
  return false;
}

bool TDBTable::SetBoolAt(int32_t rec, int field, bool b) {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  uint8_t* p = MutableRecord(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: StoreInt(p, b); return true;
    case TDBFieldType::Float: StoreFloat(p, b); return true;
    case TDBFieldType::Bool: *p = b; return true;
    case TDBFieldType::Str: StoreText(p, *f, conv::FlagToStr(b)); return true;
  }
  return false;
}

bool TDBTable::GetStrAt(int32_t rec, int field, std::string& out) const {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  const uint8_t* p = Record(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: out = conv::IntToStr(LoadInt(p)); return true;
    case TDBFieldType::Float: out = FloatToText(LoadFloat(p)); return true;
    case TDBFieldType::Bool: out = conv::FlagToStr(*p != 0); return true;
    case TDBFieldType::Str: out = LoadText(p, *f); return true;
  }
  return false;
}

bool TDBTable::SetStrAt(int32_t rec, int field, std::string_view s) {
  const TDBField* f = FieldAt(rec, field);
  if (!f) return false;
  uint8_t* p = MutableRecord(rec) + f->offset;
  switch (f->type) {
    case TDBFieldType::Int: StoreInt(p, ParseIntText(s).value_or(0)); return true;
    case TDBFieldType::Float: StoreFloat(p, ParseFloatText(s).value_or(0)); return true;
    case TDBFieldType::Bool: *p = TextIsTrue(s); return true;
    case TDBFieldType::Str: StoreText(p, *f, s); return true;
  }
  return false;
}

std::string_view TDBTable::TextAt(int32_t rec, int field) const {
  const TDBField* f = FieldAt(rec, field);
  if (!f || f->type != TDBFieldType::Str) return {};
  return LoadText(Record(rec) + f->offset, *f);
}

}  // namespace orva
