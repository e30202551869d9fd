#include "expr/params.h"

#include <algorithm>
#include <cstdio>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "expr/paramcollection.h"

namespace orva {

namespace {

// Largest element count an array may have: bigger dims are refused like bad
// dims instead of exhausting memory.
constexpr int64_t kMaxElements = 16 * 1024 * 1024;

std::string JoinInts(const std::vector<int32_t>& v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(v[i]);
  }
  return out;
}

// Element conversions: read an element of type T as another type.
int32_t ToInt(int32_t v) { return v; }
int32_t ToInt(Float x) { return FloatToInt(x); }
int32_t ToInt(uint8_t b) { return b ? 1 : 0; }
int32_t ToInt(const std::string& s) { return conv::StrToInt(s); }
Float ToFloat(int32_t v) { return v; }
Float ToFloat(Float x) { return x; }
Float ToFloat(uint8_t b) { return b ? 1 : 0; }
Float ToFloat(const std::string& s) { return conv::StrToFloat(s); }
bool ToFlag(int32_t v) { return v != 0; }
bool ToFlag(Float x) { return x != 0; }
bool ToFlag(uint8_t b) { return b != 0; }
bool ToFlag(const std::string& s) { return s == "TRUE"; }
std::string ToStr(int32_t v) { return conv::IntToStr(v); }
std::string ToStr(Float x) { return FloatToText(x); }
std::string ToStr(uint8_t b) { return conv::FlagToStr(b != 0); }
std::string ToStr(const std::string& s) { return s; }

// Writes of each source type into an element of type T.
template <class T> T FromInt(int32_t v);
template <> int32_t FromInt(int32_t v) { return v; }
template <> Float FromInt(int32_t v) { return v; }
template <> uint8_t FromInt(int32_t v) { return v != 0; }
template <> std::string FromInt(int32_t v) { return conv::IntToStr(v); }
template <class T> T FromFloat(Float x);
template <> int32_t FromFloat(Float x) { return FloatToInt(x); }
template <> Float FromFloat(Float x) { return x; }
template <> uint8_t FromFloat(Float x) { return x != 0; }
template <> std::string FromFloat(Float x) { return FloatToText(x); }
template <class T> T FromFlag(bool b);
template <> int32_t FromFlag(bool b) { return b ? 1 : 0; }
template <> Float FromFlag(bool b) { return b ? 1 : 0; }
template <> uint8_t FromFlag(bool b) { return b ? 1 : 0; }
template <> std::string FromFlag(bool b) { return conv::FlagToStr(b); }
template <class T> T FromStr(const std::string& s);
template <> int32_t FromStr(const std::string& s) { return conv::StrToInt(s); }
template <> Float FromStr(const std::string& s) { return conv::StrToFloat(s); }
template <> uint8_t FromStr(const std::string& s) { return s == "TRUE"; }
template <> std::string FromStr(const std::string& s) { return s; }

// The scalar of p in the element type T (no p: the empty value).
template <class T> T ScalarOf(const TCustomParam* p);
template <> int32_t ScalarOf(const TCustomParam* p) { return p ? p->GetInt() : 0; }
template <> Float ScalarOf(const TCustomParam* p) { return p ? p->GetFloat() : 0; }
template <> uint8_t ScalarOf(const TCustomParam* p) { return p ? p->GetFlag() : 0; }
template <> std::string ScalarOf(const TCustomParam* p) { return p ? p->GetStr() : std::string(); }

// Stream form of one element and its least size in a stream.
void WriteElem(TStream& s, int32_t v) { s.WriteInt32(v); }
void WriteElem(TStream& s, Float x) { WriteExtended(s, x); }
void WriteElem(TStream& s, uint8_t b) { s.WriteByte(b); }
void WriteElem(TStream& s, const std::string& v) { s.WriteString(v); }
void ReadElem(TStream& s, int32_t& v) { v = s.ReadInt32(); }
void ReadElem(TStream& s, Float& x) { x = ReadExtended(s); }
void ReadElem(TStream& s, uint8_t& b) { b = s.ReadByte(); }
void ReadElem(TStream& s, std::string& v) { v = s.ReadString(); }
template <class T> constexpr int64_t kElemBytes = 4;
template <> constexpr int64_t kElemBytes<Float> = 10;
template <> constexpr int64_t kElemBytes<uint8_t> = 1;

const TCustomParam& Deref(const TCustomParam& p) {
  if (p.Kind() == ParamKind::Ref) {
    if (const TCustomParam* t = static_cast<const TParamVar&>(p).TargetValue()) return Deref(*t);
  }
  return p;
}

}  // namespace

namespace conv {
int32_t StrToInt(const std::string& s) { return ParseIntText(s).value_or(0); }
Float StrToFloat(const std::string& s) { return ParseFloatText(s).value_or(0); }
bool StrToFlag(const std::string& s) {
  if (s == "TRUE") return true;
  if (s == "FALSE") return false;
  return StrToInt(s) != 0;
}
const char* FlagToStr(bool b) { return b ? "TRUE" : "FALSE"; }
std::string IntToStr(int32_t v) { return std::to_string(v); }
}  // namespace conv

void ThrowBadIndex(int i) {
  throw OrvaError(std::string("[") + std::to_string(i) + "]:" + Sys("配列の添字が不正です"));
}

void ThrowBadDims(const Dims& d) { throw OrvaError::Format("配列の要素数[%s]が不正です", JoinInts(d)); }

void SetScalarAs(TCustomParam& to, int type, const TCustomParam& from) {
  switch (type) {
    case PT_INT: to.SetInt(from.GetInt()); break;
    case PT_FLOAT: to.SetFloat(from.GetFloat()); break;
    case PT_BOOL: to.SetFlag(from.GetFlag()); break;
    case PT_STR: to.SetStr(from.GetStr()); break;
    default: break;
  }
}

std::unique_ptr<TCustomParam> CreateParam(int typeCode) {
  switch (typeCode & 0x7F) {
    case PT_NONE: return std::make_unique<TParamVar>();
    case PT_INT: return std::make_unique<TParamInt>();
    case PT_FLOAT: return std::make_unique<TParamFloat>();
    case PT_BOOL: return std::make_unique<TParamFlag>();
    case PT_STR: return std::make_unique<TParamStr>();
    default: return nullptr;
  }
}

// ---- TCustomParam

void TCustomParam::SetDims(const Dims& d) {
  int64_t n = 1;
  for (int32_t v : d) {
    if (v < 1) ThrowBadDims(d);
    n *= v;
    if (n > kMaxElements) ThrowBadDims(d);
  }
  if (d.empty()) ThrowBadDims(d);
  dims_ = d;
  SetCount(static_cast<int>(n));
}

void TCustomParam::ClearDims() {
  if (dims_.empty()) return;
  dims_.clear();
  SetCount(1);
}

void TCustomParam::CopyMem(const TCustomParam& p) {
  throw OrvaError::Utf8("CopyMem:変数の型があいません");
}

void TCustomParam::SaveDims(TStream& s) const {
  s.WriteInt32(static_cast<int32_t>(dims_.size()));
  for (int32_t d : dims_) s.WriteInt32(d);
}

Dims TCustomParam::ReadDims(TStream& s) {
  int32_t n = s.ReadCount(4);
  Dims d(static_cast<size_t>(n));
  for (auto& v : d) v = s.ReadInt32();
  return d;
}

void TCustomParam::SaveToStream(TStream& s) const { SaveDims(s); }
void TCustomParam::LoadFromStream(TStream& s) { dims_ = ReadDims(s); }

int TCustomParam::IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const {
  std::string needle = (partial && !caseSensitive) ? cp932::ToLower(s) : s;
  for (int i = 0, n = GetCount(); i < n; ++i) {
    std::string e = GetStrAt(i);
    bool hit;
    if (partial)
      hit = (caseSensitive ? e : cp932::ToLower(e)).find(needle) != std::string::npos;
    else
      hit = caseSensitive ? e == s : cp932::SameTextCI(e, s);
    if (hit) return i;
  }
  return -1;
}

int TCustomParam::FlatIndex(const std::string& name, const std::vector<int32_t>& indices) const {
  auto fail = [&](const char* what) -> OrvaError {
    return OrvaError(name + "[" + JoinInts(indices) + "]\r\n" + Sys(what));
  };
  int k = GetDimCount();
  if (static_cast<int>(indices.size()) != k) throw fail("添え字が不正です");
  int64_t flat = 0;
  int64_t stride = 1;
  for (int j = k - 1; j >= 0; --j) {
    flat += static_cast<int64_t>(indices[static_cast<size_t>(j)]) * stride;
    stride *= GetDim(j);
    if (stride > kMaxElements * 4) stride = kMaxElements * 4;  // keeps the sum in range
  }
  if (flat >= GetCount()) throw fail("要素数を超えています");
  return flat < INT32_MIN ? INT32_MIN : static_cast<int>(flat);
}

// ---- TParamArray

template <class T>
bool TParamArray<T>::GetFlag() const {
  if constexpr (std::is_same_v<T, std::string>)
    return conv::StrToFlag(Read(0));
  else
    return ToFlag(Read(0));
}

template <class T> int32_t TParamArray<T>::GetIntAt(int i) const { return ToInt(Read(i)); }
template <class T> Float TParamArray<T>::GetFloatAt(int i) const { return ToFloat(Read(i)); }
template <class T> bool TParamArray<T>::GetFlagAt(int i) const { return ToFlag(Read(i)); }
template <class T> std::string TParamArray<T>::GetStrAt(int i) const { return ToStr(Read(i)); }
template <class T> void TParamArray<T>::SetIntAt(int i, int32_t v) { Write(i) = FromInt<T>(v); }
template <class T> void TParamArray<T>::SetFloatAt(int i, Float x) { Write(i) = FromFloat<T>(x); }
template <class T> void TParamArray<T>::SetFlagAt(int i, bool b) { Write(i) = FromFlag<T>(b); }
template <class T> void TParamArray<T>::SetStrAt(int i, const std::string& s) { Write(i) = FromStr<T>(s); }

template <class T>
void TParamArray<T>::AssignFrom(const TCustomParam& p) {
  const auto* q = dynamic_cast<const TParamArray<T>*>(&Deref(p));
  if (!q || q == this) return;
  dims_ = q->dims_;
  items_ = q->items_;
}

template <class T>
void TParamArray<T>::CopyMem(const TCustomParam& p) {
  const TCustomParam& src = Deref(p);
  if (src.Kind() != Kind()) TCustomParam::CopyMem(p);
  AssignFrom(src);
}

template <class T>
void TParamArray<T>::SaveToStream(TStream& s) const {
  SaveDims(s);
  s.WriteInt32(static_cast<int32_t>(items_.size()));
  for (const T& v : items_) WriteElem(s, v);
}

template <class T>
void TParamArray<T>::LoadFromStream(TStream& s) {
  Dims d = ReadDims(s);
  int32_t n = s.ReadCount(kElemBytes<T>);
  std::vector<T> items(static_cast<size_t>(n));
  for (T& v : items) ReadElem(s, v);
  dims_ = std::move(d);
  items_ = std::move(items);
}

template <class T>
void TParamArray<T>::ClearDims() {
  if (dims_.empty()) return;
  dims_.clear();
  items_.resize(1);
}

template <class T>
void TParamArray<T>::Unique() {
  std::vector<T> out;
  for (const T& v : items_)
    if (std::find(out.begin(), out.end(), v) == out.end()) out.push_back(v);
  items_ = std::move(out);
}

template <class T>
void TParamArray<T>::RemoveValue(const TCustomParam* p) {
  T key = ScalarOf<T>(p);
  items_.erase(std::remove(items_.begin(), items_.end(), key), items_.end());
}

template class TParamArray<int32_t>;
template class TParamArray<Float>;
template class TParamArray<uint8_t>;
template class TParamArray<std::string>;

// ---- TParamVar

TCustomParam* TParamVar::TargetValue() const { return target_ ? target_->Value() : nullptr; }

#define ORVA_FWD(expr, fallback)        \
  TCustomParam* t = TargetValue();      \
  if (!t) return fallback;              \
  return expr;

int TParamVar::GetCount() const { ORVA_FWD(t->GetCount(), 0) }
void TParamVar::SetCount(int n) { ORVA_FWD(t->SetCount(n), void()) }
int TParamVar::GetParamType() const { ORVA_FWD(t->GetParamType(), PT_NONE) }
bool TParamVar::GetFlag() const { ORVA_FWD(t->GetFlagAt(index_), false) }
Float TParamVar::GetFloat() const { ORVA_FWD(t->GetFloatAt(index_), 0) }
int32_t TParamVar::GetInt() const { ORVA_FWD(t->GetIntAt(index_), 0) }
std::string TParamVar::GetStr() const { ORVA_FWD(t->GetStrAt(index_), std::string()) }
void TParamVar::SetFlag(bool b) { ORVA_FWD(t->SetFlagAt(index_, b), void()) }
void TParamVar::SetFloat(Float x) { ORVA_FWD(t->SetFloatAt(index_, x), void()) }
void TParamVar::SetInt(int32_t v) { ORVA_FWD(t->SetIntAt(index_, v), void()) }
void TParamVar::SetStr(const std::string& s) { ORVA_FWD(t->SetStrAt(index_, s), void()) }
int32_t TParamVar::GetIntAt(int i) const { ORVA_FWD(t->GetIntAt(i), 0) }
void TParamVar::SetIntAt(int i, int32_t v) { ORVA_FWD(t->SetIntAt(i, v), void()) }
Float TParamVar::GetFloatAt(int i) const { ORVA_FWD(t->GetFloatAt(i), 0) }
void TParamVar::SetFloatAt(int i, Float x) { ORVA_FWD(t->SetFloatAt(i, x), void()) }
bool TParamVar::GetFlagAt(int i) const { ORVA_FWD(t->GetFlagAt(i), false) }
void TParamVar::SetFlagAt(int i, bool b) { ORVA_FWD(t->SetFlagAt(i, b), void()) }
std::string TParamVar::GetStrAt(int i) const { ORVA_FWD(t->GetStrAt(i), std::string()) }
void TParamVar::SetStrAt(int i, const std::string& s) { ORVA_FWD(t->SetStrAt(i, s), void()) }
int TParamVar::GetDimCount() const { ORVA_FWD(t->GetDimCount(), 1) }
int TParamVar::GetDim(int i) const { ORVA_FWD(t->GetDim(i), 1) }
const Dims& TParamVar::GetDims() const { ORVA_FWD(t->GetDims(), dims_) }
void TParamVar::AssignFrom(const TCustomParam& p) { ORVA_FWD(t->AssignFrom(p), void()) }
void TParamVar::SetDims(const Dims& d) { ORVA_FWD(t->SetDims(d), void()) }
void TParamVar::FillInt(int32_t v) { ORVA_FWD(t->FillInt(v), void()) }
void TParamVar::FillFloat(Float x) { ORVA_FWD(t->FillFloat(x), void()) }
void TParamVar::FillFlag(bool b) { ORVA_FWD(t->FillFlag(b), void()) }
void TParamVar::FillStr(const std::string& s) { ORVA_FWD(t->FillStr(s), void()) }
void TParamVar::CopyMem(const TCustomParam& p) { ORVA_FWD(t->CopyMem(p), void()) }
void TParamVar::ClearDims() { ORVA_FWD(t->ClearDims(), void()) }
void TParamVar::Unique() { ORVA_FWD(t->Unique(), void()) }
void TParamVar::RemoveValue(const TCustomParam* p) { ORVA_FWD(t->RemoveValue(p), void()) }
int TParamVar::IndexOfStr(const std::string& s, bool cs, bool partial) const {
  ORVA_FWD(t->IndexOfStr(s, cs, partial), -1)
}

#undef ORVA_FWD

void TParamVar::SaveToStream(TStream& s) const {
  SaveDims(s);
  s.WriteString(targetName_);
  s.WriteString(target_ ? target_->Name() : boundName_);
  s.WriteByte(reserved_);
  s.WriteInt32(index_);
}

void TParamVar::LoadFromStream(TStream& s) {
  Dims d = ReadDims(s);
  std::string target = s.ReadString();
  std::string bound = s.ReadString();
  uint8_t reserved = s.ReadByte();
  int32_t index = s.ReadInt32();
  dims_ = std::move(d);
  targetName_ = std::move(target);
  boundName_ = std::move(bound);
  reserved_ = reserved;
  index_ = index;
  target_ = nullptr;
}

}  // namespace orva
