// Typed script variables: the value kinds, arrays with dims, and their
// conversions and stream forms. The variable table is in paramcollection.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expr/extended.h"

namespace orva {

class TStream;
class TParamCollectionItem;

// Value type codes, one byte in page files, compiled expressions and saves.
enum ParamType : uint8_t { PT_NONE = 0, PT_INT = 1, PT_FLOAT = 2, PT_BOOL = 3, PT_STR = 4 };

// Storage kinds: the four value kinds have their type code; references and
// system variables have their own so that save blocks can skip them.
enum class ParamKind : uint8_t { Ref = 0, Int = 1, Float = 2, Flag = 3, Str = 4, System = 5 };

using Dims = std::vector<int32_t>;

class TCustomParam {
 public:
  explicit TCustomParam(ParamKind kind) : kind_(kind) {}
  virtual ~TCustomParam() = default;

  // The storage kind; fixed for the object's life (kept in a field because
  // expression runs ask for it on every operand).
  ParamKind Kind() const { return kind_; }

  virtual int GetCount() const { return 1; }
  virtual void SetCount(int n) {}
  virtual int GetParamType() const { return PT_INT; }

  virtual bool GetFlag() const = 0;
  virtual Float GetFloat() const = 0;
  virtual int32_t GetInt() const = 0;
  virtual std::string GetStr() const = 0;

  virtual void SetFlag(bool b) = 0;
  virtual void SetFloat(Float x) = 0;
  virtual void SetInt(int32_t v) = 0;
  virtual void SetStr(const std::string& s) = 0;

  virtual int32_t GetIntAt(int i) const = 0;
  virtual void SetIntAt(int i, int32_t v) = 0;
  virtual Float GetFloatAt(int i) const = 0;
  virtual void SetFloatAt(int i, Float x) = 0;
  virtual bool GetFlagAt(int i) const = 0;
  virtual void SetFlagAt(int i, bool b) = 0;
  virtual std::string GetStrAt(int i) const = 0;
  virtual void SetStrAt(int i, const std::string& s) = 0;

  virtual int GetDimCount() const { return dims_.empty() ? 1 : static_cast<int>(dims_.size()); }
  virtual int GetDim(int i) const {
    return (i >= 0 && i < static_cast<int>(dims_.size())) ? dims_[static_cast<size_t>(i)] : 1;
  }
  virtual const Dims& GetDims() const { return dims_; }

  // Copies dims and the raw elements from a value of the same kind.
  virtual void AssignFrom(const TCustomParam& p) {}
  virtual void SetDims(const Dims& d);

  virtual void FillInt(int32_t v) {}
  virtual void FillFloat(Float x) {}
  virtual void FillFlag(bool b) {}
  virtual void FillStr(const std::string& s) {}

  virtual void CopyMem(const TCustomParam& p);

  virtual void SaveToStream(TStream& s) const;
  virtual void LoadFromStream(TStream& s);

  virtual void ClearDims();
  // Back to a new value: a scalar of 0 / 0.0 / false / "" (references are
  // unbound). Lets expression runs reuse their temporaries' storage.
  virtual void Reset() { dims_.clear(); }
  virtual void Unique() {}
  virtual void RemoveValue(const TCustomParam* p) {}
  virtual int IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const;

  // Takes from's dims and element count as they are (no checks), keeping
  // leading elements: used to make detached copies.
  void CopyShape(const TCustomParam& from) {
    dims_ = from.GetDims();
    SetCount(from.GetCount());
  }

  // Multi-index addressing: the flat position of (i1, ..., ik), or the
  // "添え字が不正です" / "要素数を超えています" errors naming `name`.
  int FlatIndex(const std::string& name, const std::vector<int32_t>& indices) const;

 protected:
  void SaveDims(TStream& s) const;
  static Dims ReadDims(TStream& s);
  Dims dims_;

 private:
  const ParamKind kind_;
};

// "[%d]:配列の添字が不正です"
[[noreturn]] void ThrowBadIndex(int i);
// "配列の要素数[%s]が不正です"
[[noreturn]] void ThrowBadDims(const Dims& d);

// A new value object of a type code (low 7 bits); none for codes above 4 and
// a reference for 0.
std::unique_ptr<TCustomParam> CreateParam(int typeCode);

// Stores from's scalar into `to` converted to the value type `type` (SetInt,
// SetFloat, SetFlag or SetStr); other types store nothing.
void SetScalarAs(TCustomParam& to, int type, const TCustomParam& from);

// Conversions shared by every kind.
namespace conv {
int32_t StrToInt(const std::string& s);      // 0 when not an integer
Float StrToFloat(const std::string& s);      // 0 when not a number
bool StrToFlag(const std::string& s);        // "TRUE"/"FALSE", else integer != 0
const char* FlagToStr(bool b);               // "TRUE" / "FALSE"
std::string IntToStr(int32_t v);
}  // namespace conv

// The four value kinds share one implementation over their element type.
template <class T>
class TParamArray : public TCustomParam {
 public:
  explicit TParamArray(ParamKind kind) : TCustomParam(kind), items_(1, T{}) {}

  int GetCount() const override { return static_cast<int>(items_.size()); }
  void SetCount(int n) override { items_.resize(n < 0 ? 0 : static_cast<size_t>(n)); }

  bool GetFlag() const override;
  Float GetFloat() const override { return GetFloatAt(0); }
  int32_t GetInt() const override { return GetIntAt(0); }
  std::string GetStr() const override { return GetStrAt(0); }

  void SetFlag(bool b) override { ClearDims(); SetFlagAt(0, b); }
  void SetFloat(Float x) override { ClearDims(); SetFloatAt(0, x); }
  void SetInt(int32_t v) override { ClearDims(); SetIntAt(0, v); }
  void SetStr(const std::string& s) override { ClearDims(); SetStrAt(0, s); }

  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  Float GetFloatAt(int i) const override;
  void SetFloatAt(int i, Float x) override;
  bool GetFlagAt(int i) const override;
  void SetFlagAt(int i, bool b) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& s) override;

  void AssignFrom(const TCustomParam& p) override;
  void CopyMem(const TCustomParam& p) override;
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;
  void ClearDims() override;
  void Unique() override;
  void RemoveValue(const TCustomParam* p) override;
  void Reset() override {
    dims_.clear();
    items_.assign(1, T{});
  }

  const std::vector<T>& Items() const { return items_; }
  std::vector<T>& MutableItems() { return items_; }

 protected:
  const T& Read(int i) const {
    if (i < 0 || i >= static_cast<int>(items_.size())) ThrowBadIndex(i);
    return items_[static_cast<size_t>(i)];
  }
  T& Write(int i) {
    if (i < 0 || i >= static_cast<int>(items_.size())) ThrowBadIndex(i);
    return items_[static_cast<size_t>(i)];
  }
  std::vector<T> items_;
};

class TParamInt final : public TParamArray<int32_t> {
 public:
  TParamInt() : TParamArray(ParamKind::Int) {}
  int GetParamType() const override { return PT_INT; }
  void FillInt(int32_t v) override { std::fill(items_.begin(), items_.end(), v); }
};

class TParamFloat final : public TParamArray<Float> {
 public:
  TParamFloat() : TParamArray(ParamKind::Float) {}
  int GetParamType() const override { return PT_FLOAT; }
  void FillFloat(Float x) override { std::fill(items_.begin(), items_.end(), x); }
};

// Flags are stored as bytes 0 / 1.
class TParamFlag final : public TParamArray<uint8_t> {
 public:
  TParamFlag() : TParamArray(ParamKind::Flag) {}
  int GetParamType() const override { return PT_BOOL; }
  void FillFlag(bool b) override { std::fill(items_.begin(), items_.end(), b ? 1 : 0); }
};

class TParamStr final : public TParamArray<std::string> {
 public:
  TParamStr() : TParamArray(ParamKind::Str) {}
  int GetParamType() const override { return PT_STR; }
  void FillStr(const std::string& s) override { std::fill(items_.begin(), items_.end(), s); }
};

// A reference to another variable (or one of its elements). It never owns
// the target. Scalar operations use the stored element index; element
// operations forward their own index. Unbound: reads give 0 / "" / false,
// writes do nothing, type 0, count 0.
class TParamVar final : public TCustomParam {
 public:
  TParamVar() : TCustomParam(ParamKind::Ref) {}
  explicit TParamVar(std::string targetName) : TCustomParam(ParamKind::Ref), targetName_(std::move(targetName)) {}
  const std::string& TargetName() const { return targetName_; }
  void SetTargetName(std::string n) { targetName_ = std::move(n); }
  TParamCollectionItem* Target() const { return target_; }
  void Bind(TParamCollectionItem* item, int32_t index = 0) { target_ = item; index_ = index; }
  void Unbind() { target_ = nullptr; index_ = 0; }
  int32_t ElementIndex() const { return index_; }
  uint8_t Reserved() const { return reserved_; }
  TCustomParam* TargetValue() const;

  int GetCount() const override;
  void SetCount(int n) override;
  int GetParamType() const override;
  bool GetFlag() const override;
  Float GetFloat() const override;
  int32_t GetInt() const override;
  std::string GetStr() const override;
  void SetFlag(bool b) override;
  void SetFloat(Float x) override;
  void SetInt(int32_t v) override;
  void SetStr(const std::string& s) override;
  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  Float GetFloatAt(int i) const override;
  void SetFloatAt(int i, Float x) override;
  bool GetFlagAt(int i) const override;
  void SetFlagAt(int i, bool b) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& s) override;
  int GetDimCount() const override;
  int GetDim(int i) const override;
  const Dims& GetDims() const override;
  void AssignFrom(const TCustomParam& p) override;
  void SetDims(const Dims& d) override;
  void FillInt(int32_t v) override;
  void FillFloat(Float x) override;
  void FillFlag(bool b) override;
  void FillStr(const std::string& s) override;
  void CopyMem(const TCustomParam& p) override;
  void ClearDims() override;
  void Unique() override;
  void RemoveValue(const TCustomParam* p) override;
  int IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const override;

  // Stream form: dims, target name, bound variable's name, reserved byte,
  // element index. Loading keeps the bound name in BoundName() for the table
  // to re-bind (see TParamCollection::Rebind).
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;
  const std::string& BoundName() const { return boundName_; }

 private:
  std::string targetName_;
  std::string boundName_;
  TParamCollectionItem* target_ = nullptr;
  uint8_t reserved_ = 0;
  int32_t index_ = 0;
};

}  // namespace orva
