// Array functions. Argument 1 is the array, read and changed through the
// variable it names (a literal is changed as a throw-away copy). An array
// always keeps at least one element, and a one-dimensional array's dims
// equal its element count after any of these functions.
#include <algorithm>
#include <numeric>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/paramcollection.h"
#include "expr/sysfuncs_args.h"

namespace orva::sysfuncs {

namespace {

const char kCrLf[] = "\r\n";

// Lines of text separated by CR LF, CR or LF; a final line break adds no line.
std::vector<std::string> SplitLines(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\r' && s[i] != '\n') continue;
    out.push_back(s.substr(start, i - start));
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < s.size()) out.push_back(s.substr(start));
  return out;
}

// Pieces of s cut at every single-byte character that is one of set (a
// trail byte is never a delimiter). Empty text has no pieces.
std::vector<std::string> SplitAt(const std::string& s, const std::string& set) {
  std::vector<std::string> out;
  if (s.empty()) return out;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i)) {
    if (cp932::CharLength(s, i) == 1 && !cp932::IsLeadByte(static_cast<unsigned char>(s[i])) &&
        set.find(s[i]) != std::string::npos) {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(s.substr(start));
  return out;
}

// Collation of SortStr's text order: ASCII letters compare without case
// first, so "apple" < "Banana" < "cherry"; texts equal but for case put the
// lower-case letter first ("a" < "A"). Double-byte characters compare by
// their codes.
int CollateText(const std::string& a, const std::string& b) {
  int r = cp932::CompareTextCI(a, b);
  if (r != 0) return r;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) > static_cast<unsigned char>(b[i]) ? -1 : 1;
  return 0;
}

// Element i of p := element j of src (a detached copy of p itself).
void Permute(TCustomParam& p, const std::vector<int>& order) {
  std::unique_ptr<TCustomParam> src = TParamCollection::CopyValue(p, {});
  for (size_t i = 0; i < order.size(); ++i) CopyElement(p, static_cast<int>(i), *src, order[i]);
}

void SortStr(TCustomParam& p, bool descending, bool byFloat) {
  const int n = p.GetCount();
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  if (byFloat) {
    std::vector<Float> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = p.GetFloatAt(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      Float x = keys[static_cast<size_t>(a)], y = keys[static_cast<size_t>(b)];
      return descending ? y < x : x < y;
    });
  } else {
    std::vector<std::string> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = p.GetStrAt(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      int r = CollateText(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
      return descending ? r > 0 : r < 0;
    });
  }
  Permute(p, order);
}

// Inserts the elements of src (converted) into one-dimensional p before
// index at (0 ... count). The new count.
int InsertElements(TCustomParam& p, int at, const TCustomParam& src) {
  // A detached copy, so that inserting an array into itself reads the
  // elements as they were.
  std::unique_ptr<TCustomParam> from = TParamCollection::CopyValue(src, {});
  const int n = p.GetCount();
  const int m = from->GetCount();
  if (m == 0) return n;
  SetFlatCount(p, n + m);
  for (int i = n - 1; i >= at; --i) CopyElement(p, i + m, p, i);
  for (int j = 0; j < m; ++j) CopyElement(p, at + j, *from, j);
  return n + m;
}

void StoreStrings(TCustomParam& p, const std::vector<std::string>& pieces) {
  if (pieces.empty()) {
    // A reference forwards scalar writes to one element: collapse first.
    p.ClearDims();
    p.SetStr("");
    return;
  }
  p.SetDims({static_cast<int32_t>(pieces.size())});
  for (size_t i = 0; i < pieces.size(); ++i) p.SetStrAt(static_cast<int>(i), pieces[i]);
}

// After Unique or RemoveValue: an emptied value gets one default element
// back, and a one-dimensional array's dims follow its count.
void Settle(TCustomParam& p, bool wasArray) {
  int n = p.GetCount();
  if (n == 0) p.SetCount(1);
  if (wasArray) p.SetDims({std::max(n, 1)});
}

}  // namespace

void RegisterArrayFunctions(TSysFuncMan& man) {
  man.Register("GetArraySize", [](TSysFuncCall& c) {
    TCustomParam& v = c.VarArg(0);
    if (!c.Has(1)) {
      c.result.SetInt(v.GetCount());
      return;
    }
    // k = 0 is the last dimension; a k outside the dims reads as size 1.
    int64_t dim = static_cast<int64_t>(v.GetDimCount()) - 1 - IntArg(c, 1);
    c.result.SetInt(dim >= 0 && dim < v.GetDimCount() ? v.GetDim(static_cast<int>(dim)) : 1);
  });
  man.Register("SetArray", [](TSysFuncCall& c) {
    TCustomParam& v = c.VarArg(0);
    Dims d;
    for (size_t i = 1; i < c.args.size(); ++i) d.push_back(c.args[i]->GetInt());
    v.SetDims(d);
  });
  man.Register("FillMem", [](TSysFuncCall& c) {
    TCustomParam& v = c.VarArg(0);
    switch (v.GetParamType()) {
      case PT_INT: v.FillInt(IntArg(c, 1)); break;
      case PT_FLOAT: v.FillFloat(FloatArg(c, 1)); break;
      case PT_BOOL: v.FillFlag(FlagArg(c, 1)); break;
      case PT_STR: v.FillStr(StrArg(c, 1)); break;
      default: break;
    }
  });
  man.Register("CopyMem", [](TSysFuncCall& c) {
    TCustomParam& to = c.VarArg(0);
    to.CopyMem(c.VarArg(1));
  });
  man.Register("CopyArray", [](TSysFuncCall& c) {
    ArgTarget to(c, 0);
    if (c.Has(1)) TParamCollection::AssignValues(*to, *c.args[1]);
    c.result.SetFlag(true);
  });
  man.Register("ArrayToString", [](TSysFuncCall& c) {
    const TCustomParam& v = *c.args.at(0);
    std::string sep = StrArg(c, 1, kCrLf);
    std::string out;
    for (int i = 0, n = v.GetCount(); i < n; ++i) {
      if (i) out += sep;
      out += v.GetStrAt(i);
      CheckTextSize(static_cast<int64_t>(out.size()));
    }
    c.result.SetStr(out);
  });
  man.Register("StringToArray", [](TSysFuncCall& c) {
    std::string text = StrArg(c, 0);
    std::string sep = StrArg(c, 2, kCrLf);
    ArgTarget to(c, 1);
    StoreStrings(*to, sep == kCrLf ? SplitLines(text) : SplitAt(text, sep));
  });
  man.Register("IndexOfStr", [](TSysFuncCall& c) {
    c.result.SetInt(c.args.at(0)->IndexOfStr(StrArg(c, 1), FlagArg(c, 2, true), FlagArg(c, 3, false)));
  });
  man.Register("SortStr", [](TSysFuncCall& c) {
    ArgTarget v(c, 0);
    SortStr(*v, FlagArg(c, 1), FlagArg(c, 2));
  });
  man.Register("AddArray", [](TSysFuncCall& c) {
    ArgTarget v(c, 0);
    bool flat = IsOneDimensional(*v) && (!c.Has(1) || IsOneDimensional(*c.args[1]));
    c.result.SetInt(flat && c.Has(1) ? InsertElements(*v, v->GetCount(), *c.args[1]) : v->GetCount());
  });
  man.Register("InsertArray", [](TSysFuncCall& c) {
    ArgTarget v(c, 0);
    bool flat = IsOneDimensional(*v) && (!c.Has(2) || IsOneDimensional(*c.args[2]));
    if (!flat || !c.Has(2)) {
      c.result.SetInt(v->GetCount());
      return;
    }
    int at = std::clamp(IntArg(c, 1), 0, v->GetCount());
    c.result.SetInt(InsertElements(*v, at, *c.args[2]));
  });
  man.Register("DeleteArray", [](TSysFuncCall& c) {
    ArgTarget v(c, 0);
    const int n = v->GetCount();
    int32_t len = IntArg(c, 2);
    if (!IsOneDimensional(*v) || len <= 0) {
      c.result.SetInt(n);
      return;
    }
    int at = std::clamp(IntArg(c, 1), 0, std::max(n - 1, 0));
    int removed = static_cast<int>(std::min<int64_t>(len, n - at));
    // Checked before anything moves: a failing call leaves the array whole.
    if (n - removed < 1) ThrowBadDims({n - removed});
    for (int i = at; i + removed < n; ++i) CopyElement(*v, i, *v, i + removed);
    SetFlatCount(*v, n - removed);
    c.result.SetInt(n - removed);
  });
  man.Register("UniqueArray", [](TSysFuncCall& c) {
    ArgTarget v(c, 0);
    if (IsOneDimensional(*v)) {
      bool wasArray = !v->GetDims().empty();
      v->Unique();
      Settle(*v, wasArray);
    }
    c.result.SetInt(v->GetCount());
  });
  man.Register("TrimArray", [](TSysFuncCall& c) {
    ArgTarget v(c, 0);
    if (!IsOneDimensional(*v)) {
      c.result.SetInt(v->GetCount());
      return;
    }
    bool wasArray = !v->GetDims().empty();
    v->RemoveValue(c.Has(1) ? c.args[1] : nullptr);
    // The count of what is left: 0 tells the script that every element was
    // removed, although the array keeps one default element.
    int left = v->GetCount();
    Settle(*v, wasArray);
    c.result.SetInt(left);
  });
}

}  // namespace orva::sysfuncs
