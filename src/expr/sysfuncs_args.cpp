#include "expr/sysfuncs_args.h"

#include "common/errors.h"
#include "expr/paramcollection.h"

namespace orva::sysfuncs {

int32_t IntArg(const TSysFuncCall& c, size_t i, int32_t def) { return c.Has(i) ? c.args[i]->GetInt() : def; }
Float FloatArg(const TSysFuncCall& c, size_t i, Float def) { return c.Has(i) ? c.args[i]->GetFloat() : def; }
bool FlagArg(const TSysFuncCall& c, size_t i, bool def) { return c.Has(i) ? c.args[i]->GetFlag() : def; }
std::string StrArg(const TSysFuncCall& c, size_t i, const std::string& def) {
  return c.Has(i) ? c.args[i]->GetStr() : def;
}

ArgTarget::ArgTarget(const TSysFuncCall& c, size_t i) {
  if (c.Has(i)) {
    TCustomParam* a = c.args[i];
    if (a->Kind() == ParamKind::Ref && static_cast<TParamVar*>(a)->Target()) {
      param_ = a;
      return;
    }
    int type = a->GetParamType();
    if (type >= PT_INT && type <= PT_STR) copy_ = TParamCollection::CopyValue(*a, {});
  }
  if (!copy_) copy_ = CreateParam(PT_STR);
  param_ = copy_.get();
}

void CheckTextSize(int64_t bytes) {
  if (bytes > kMaxTextBytes) throw OrvaError::Utf8("Out of memory");
}

void CopyElement(TCustomParam& to, int i, const TCustomParam& from, int j) {
  switch (to.GetParamType()) {
    case PT_INT: to.SetIntAt(i, from.GetIntAt(j)); break;
    case PT_FLOAT: to.SetFloatAt(i, from.GetFloatAt(j)); break;
    case PT_BOOL: to.SetFlagAt(i, from.GetFlagAt(j)); break;
    case PT_STR: to.SetStrAt(i, from.GetStrAt(j)); break;
    default: break;
  }
}

void SetFlatCount(TCustomParam& p, int n) {
  if (n == 1 && p.GetDims().empty())
    p.SetCount(1);
  else
    p.SetDims({n});
}

}  // namespace orva::sysfuncs
