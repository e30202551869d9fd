// The value library on arbitrary arguments: every function, called with
// literals and variables of any type and content, may only raise its own
// errors; it never crashes, hangs or makes a huge allocation, and the
// variables it changes keep at least one element.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "expr/paramcollection.h"
#include "expr/sysfuncs.h"
#include "expr/sysfuncs_library.h"

using namespace orva;

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  uint8_t Byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  int32_t Int() {
    // Small numbers mostly, so positions and counts hit the texts.
    uint8_t b = Byte();
    if (b & 0x80) return static_cast<int32_t>(Byte() | Byte() << 8 | Byte() << 16 | static_cast<uint32_t>(Byte()) << 24);
    return static_cast<int8_t>(b << 1) / 2;
  }
  std::string Text() {
    size_t len = Byte() % 24;
    std::string s;
    while (len-- && n) s += static_cast<char>(Byte());
    return s;
  }
};

std::unique_ptr<TCustomParam> MakeValue(Reader& r, int type) {
  std::unique_ptr<TCustomParam> v = CreateParam(type);
  int count = 1 + r.Byte() % 4;
  if (count > 1) v->SetDims({count});
  for (int i = 0; i < count; ++i) {
    switch (type) {
      case PT_INT: v->SetIntAt(i, r.Int()); break;
      case PT_FLOAT: v->SetFloatAt(i, static_cast<Float>(r.Int()) / (1 + r.Byte())); break;
      case PT_BOOL: v->SetFlagAt(i, r.Byte() & 1); break;
      default: v->SetStrAt(i, r.Text()); break;
    }
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1024) return 0;
  static TSysFuncMan funcs;
  static const bool registered = (RegisterSystemFunctions(funcs), true);
  (void)registered;
  Reader r{data, size};
  TSystemVarSource source;
  TParamCollection vars(&source);
  int number = r.Byte() % kSysFuncCount;
  if (!funcs.HasBody(number)) return 0;
  const TSysFuncInfo& info = SysFuncInfo(number);
  int argc = info.minArgs + r.Byte() % 4;
  if (info.maxArgs >= 0 && argc > info.maxArgs) argc = info.maxArgs;

  std::vector<std::unique_ptr<TCustomParam>> owned;
  std::vector<TParamCollectionItem*> varItems;
  TSysFuncArgs args;
  for (int i = 0; i < argc; ++i) {
    uint8_t kind = r.Byte();
    int type = 1 + kind % 4;
    if (kind & 0x10) {
      // A variable argument: a reference bound to a variable of the table.
      TParamCollectionItem& item = vars.Declare("v" + std::to_string(i), type);
      std::unique_ptr<TCustomParam> value = MakeValue(r, type);
      item.Value()->AssignFrom(*value);
      auto ref = std::make_unique<TParamVar>(item.Name());
      ref->Bind(&item);
      args.push_back(ref.get());
      owned.push_back(std::move(ref));
      varItems.push_back(&item);
    } else {
      owned.push_back(MakeValue(r, type));
      args.push_back(owned.back().get());
    }
  }
  // Arrays of millions of elements are legal but only slow the search down.
  if (info.name == std::string("SetArray")) {
    int64_t n = 1;
    for (size_t i = 1; i < args.size() && n <= 100000; ++i)
      n *= std::max<int64_t>(1, std::abs(static_cast<int64_t>(args[i]->GetInt())));
    if (n > 100000) return 0;
  }

  std::unique_ptr<TCustomParam> result = CreateParam(info.resultType);
  try {
    funcs.Execute(*result, number, args, vars);
  } catch (const OrvaError&) {
  }
  for (TParamCollectionItem* item : varItems) {
    const TCustomParam& v = *item->Value();
    if (v.GetCount() < 1) std::abort();
    int64_t product = 1;
    for (int32_t d : v.GetDims()) product *= d;
    if (!v.GetDims().empty() && product != v.GetCount()) std::abort();
  }
  return 0;
}
