// Helpers shared by the function bodies of the value library: reading
// arguments with defaults, writable stand-ins for variable arguments, and
// element copies between values of any type.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "expr/sysfuncs.h"

namespace orva::sysfuncs {

// Argument i read through the value conversions, or def when it was not given.
int32_t IntArg(const TSysFuncCall& c, size_t i, int32_t def = 0);
Float FloatArg(const TSysFuncCall& c, size_t i, Float def = 0);
bool FlagArg(const TSysFuncCall& c, size_t i, bool def = false);
std::string StrArg(const TSysFuncCall& c, size_t i, const std::string& def = {});

// What a function writes through a variable argument: the variable the
// argument names, or, for a literal, a throw-away copy of it (so a literal
// never changes the compiled expression it belongs to).
class ArgTarget {
 public:
  ArgTarget(const TSysFuncCall& c, size_t i);
  TCustomParam& operator*() const { return *param_; }
  TCustomParam* operator->() const { return param_; }

 private:
  TCustomParam* param_;
  std::unique_ptr<TCustomParam> copy_;
};

// Largest text a function builds from a count (StringOfChar, padded
// numbers): the same bound as every stored string.
inline constexpr int64_t kMaxTextBytes = 10485760;
// Refuses a text of that many bytes when it is over the bound.
void CheckTextSize(int64_t bytes);

// Element i of `to` := element j of `from`, converted to to's type.
void CopyElement(TCustomParam& to, int i, const TCustomParam& from, int j);
// True when the value has at most one dimension (scalars included).
inline bool IsOneDimensional(const TCustomParam& p) { return p.GetDimCount() <= 1; }
// Makes a one-dimensional value's dims equal its element count (n >= 1);
// a scalar with one element stays a scalar.
void SetFlatCount(TCustomParam& p, int n);

void RegisterNumberFunctions(TSysFuncMan& man);
void RegisterTextFunctions(TSysFuncMan& man);
void RegisterDateFunctions(TSysFuncMan& man);
void RegisterArrayFunctions(TSysFuncMan& man);
void RegisterVariableFunctions(TSysFuncMan& man);

}  // namespace orva::sysfuncs
