// Text functions. The plain ones count bytes, the J ones count characters (a
// Shift-JIS double-byte character is one). Searches and delimiter tests only
// match whole characters, so a trail byte equal to "\\", "|" or a letter is
// never taken for one.
#include <vector>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/sysfuncs_args.h"
#include "expr/sysfuncs_library.h"

namespace orva::sysfuncs {

namespace {

// Byte offset of every unit of s (bytes, or characters when chars) followed
// by s.size(): unit k spans [b[k], b[k + 1]).
std::vector<size_t> Bounds(const std::string& s, bool chars) {
  std::vector<size_t> b;
  b.reserve(s.size() + 1);
  for (size_t i = 0; i < s.size(); i += chars ? cp932::CharLength(s, i) : 1) b.push_back(i);
  b.push_back(s.size());
  return b;
}

// Which byte offsets begin a character (s.size() included).
std::vector<bool> CharStartFlags(const std::string& s) {
  std::vector<bool> f(s.size() + 1, false);
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i)) f[i] = true;
  f[s.size()] = true;
  return f;
}

// Byte offset of the first occurrence of needle in hay that begins and ends
// on character boundaries, at or after `from`; npos when none.
size_t FindWhole(const std::string& hay, const std::string& needle, const std::vector<bool>& starts, size_t from,
                 bool ignoreCase) {
  if (needle.empty() || needle.size() > hay.size()) return std::string::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    if (!starts[i] || !starts[i + needle.size()]) continue;
    std::string_view part(hay.data() + i, needle.size());
    if (ignoreCase ? cp932::SameTextCI(part, needle) : part == needle) return i;
  }
  return std::string::npos;
}

std::string CopyUnits(const std::string& s, bool chars, int64_t pos, bool hasLen, int64_t len) {
  std::vector<size_t> b = Bounds(s, chars);
  int64_t units = static_cast<int64_t>(b.size()) - 1;
  if (pos < 1) pos = 1;
  if (pos > units || (hasLen && len <= 0)) return {};
  int64_t last = hasLen ? std::min(units, pos - 1 + len) : units;
  return s.substr(b[static_cast<size_t>(pos - 1)], b[static_cast<size_t>(last)] - b[static_cast<size_t>(pos - 1)]);
}

// Positions outside the text and lengths of 0 or less delete nothing.
std::string DeleteUnits(std::string s, bool chars, int64_t pos, bool hasLen, int64_t len) {
  std::vector<size_t> b = Bounds(s, chars);
  int64_t units = static_cast<int64_t>(b.size()) - 1;
  if (pos < 1 || pos > units || (hasLen && len <= 0)) return s;
  int64_t last = hasLen ? std::min(units, pos - 1 + len) : units;
  s.erase(b[static_cast<size_t>(pos - 1)], b[static_cast<size_t>(last)] - b[static_cast<size_t>(pos - 1)]);
  return s;
}

// Positions below 1 insert at the start, positions past the end append.
std::string InsertUnits(const std::string& sub, std::string s, bool chars, int64_t pos) {
  std::vector<size_t> b = Bounds(s, chars);
  int64_t units = static_cast<int64_t>(b.size()) - 1;
  pos = std::clamp<int64_t>(pos, 1, units + 1);
  s.insert(b[static_cast<size_t>(pos - 1)], sub);
  return s;
}

int32_t PosUnits(const std::string& sub, const std::string& s, bool chars) {
  size_t at = FindWhole(s, sub, CharStartFlags(s), 0, false);
  if (at == std::string::npos) return 0;
  return static_cast<int32_t>(chars ? cp932::CountChars(std::string_view(s).substr(0, at)) + 1 : at + 1);
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool IsAnySpace(const std::string& s, size_t at, size_t len) {
  return (len == 1 && s[at] == ' ') || (len == 2 && s[at] == '\x81' && s[at + 1] == '\x40');
}

std::string JTrim(const std::string& s) {
  std::vector<size_t> b = Bounds(s, true);
  size_t first = 0, last = b.size() - 1;  // unit range [first, last)
  while (first < last && IsAnySpace(s, b[first], b[first + 1] - b[first])) ++first;
  while (last > first && IsAnySpace(s, b[last - 1], b[last] - b[last - 1])) --last;
  return s.substr(b[first], b[last] - b[first]);
}

std::string FixStr(const std::string& s) {
  std::vector<size_t> b = Bounds(s, true);
  if (b.size() < 2) return s;
  size_t lastStart = b[b.size() - 2];
  bool loneLead = s.size() - lastStart == 1 && cp932::IsLeadByte(static_cast<unsigned char>(s[lastStart]));
  return loneLead ? s.substr(0, lastStart) : s;
}

std::string StringReplace(const std::string& s, const std::string& from, const std::string& to, bool all,
                          bool ignoreCase) {
  if (from.empty()) return s;
  std::vector<bool> starts = CharStartFlags(s);
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    size_t at = FindWhole(s, from, starts, i, ignoreCase);
    if (at == std::string::npos) break;
    out.append(s, i, at - i);
    out += to;
    CheckTextSize(static_cast<int64_t>(out.size()));
    i = at + from.size();
    if (!all) break;
  }
  out.append(s, i, std::string::npos);
  return out;
}

// Byte i (0-based) is a single-byte character (not part of a double-byte
// one) and one of the bytes of set.
bool IsDelimiterAt(const std::string& set, const std::string& s, int64_t pos) {
  if (pos < 1 || pos > static_cast<int64_t>(s.size())) return false;
  size_t i = static_cast<size_t>(pos - 1);
  unsigned char b = static_cast<unsigned char>(s[i]);
  if (cp932::IsLeadByte(b) || !cp932::IsCharStart(s, i)) return false;
  return set.find(static_cast<char>(b)) != std::string::npos;
}

// Last single-byte character of s that is one of set, or npos.
size_t LastDelimiter(const std::string& s, const char* set) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i))
    if (cp932::CharLength(s, i) == 1 && std::string_view(set).find(s[i]) != std::string_view::npos) found = i;
  return found;
}

constexpr const char* kPathDelims = "\\:";
constexpr const char* kExtDelims = ".\\:";

std::string ExtractFilePath(const std::string& s) {
  size_t i = LastDelimiter(s, kPathDelims);
  return i == std::string::npos ? std::string() : s.substr(0, i + 1);
}

std::string ExtractFileName(const std::string& s) {
  size_t i = LastDelimiter(s, kPathDelims);
  return i == std::string::npos ? s : s.substr(i + 1);
}

std::string ExtractFileExt(const std::string& s) {
  size_t i = LastDelimiter(s, kExtDelims);
  return (i != std::string::npos && s[i] == '.') ? s.substr(i) : std::string();
}

std::string ChangeFileExt(const std::string& s, const std::string& ext) {
  size_t i = LastDelimiter(s, kExtDelims);
  if (i == std::string::npos || s[i] != '.') i = s.size();
  return s.substr(0, i) + ext;
}

std::string AddBackSlash(const std::string& s) {
  size_t i = LastDelimiter(s, "\\");
  return (i != std::string::npos && i + 1 == s.size()) ? s : s + "\\";
}

std::string StringOfChar(const std::string& s, int32_t n) {
  if (n <= 0 || s.empty()) return {};
  CheckTextSize(static_cast<int64_t>(s.size()) * n);
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) out += s;
  return out;
}

}  // namespace

void RegisterTextFunctions(TSysFuncMan& man) {
  man.Register("Length", [](TSysFuncCall& c) { c.result.SetInt(static_cast<int32_t>(StrArg(c, 0).size())); });
  man.Register("JLength", [](TSysFuncCall& c) { c.result.SetInt(static_cast<int32_t>(cp932::CountChars(StrArg(c, 0)))); });
  for (bool chars : {false, true}) {
    man.Register(chars ? "JCopy" : "Copy", [chars](TSysFuncCall& c) {
      c.result.SetStr(CopyUnits(StrArg(c, 0), chars, IntArg(c, 1), c.Has(2), IntArg(c, 2)));
    });
    man.Register(chars ? "JDelete" : "Delete", [chars](TSysFuncCall& c) {
      ArgTarget v(c, 0);
      v->SetStr(DeleteUnits(v->GetStr(), chars, IntArg(c, 1), c.Has(2), IntArg(c, 2)));
    });
    man.Register(chars ? "JInsert" : "Insert", [chars](TSysFuncCall& c) {
      ArgTarget v(c, 1);
      std::string s = InsertUnits(StrArg(c, 0), v->GetStr(), chars, IntArg(c, 2));
      CheckTextSize(static_cast<int64_t>(s.size()));
      v->SetStr(s);
    });
    man.Register(chars ? "JPos" : "Pos", [chars](TSysFuncCall& c) {
      c.result.SetInt(PosUnits(StrArg(c, 0), StrArg(c, 1), chars));
    });
  }
  man.Register("CompareStr", [](TSysFuncCall& c) { c.result.SetInt(Sign(StrArg(c, 0).compare(StrArg(c, 1)))); });
  man.Register("CompareText", [](TSysFuncCall& c) {
    c.result.SetInt(Sign(cp932::CompareTextCI(StrArg(c, 0), StrArg(c, 1))));
  });
  man.Register("Trim", [](TSysFuncCall& c) { c.result.SetStr(Trim(StrArg(c, 0))); });
  man.Register("JTrim", [](TSysFuncCall& c) { c.result.SetStr(JTrim(StrArg(c, 0))); });
  man.Register("FixStr", [](TSysFuncCall& c) { c.result.SetStr(FixStr(StrArg(c, 0))); });
  man.Register("LowerCase", [](TSysFuncCall& c) { c.result.SetStr(cp932::ToLower(StrArg(c, 0))); });
  man.Register("UpperCase", [](TSysFuncCall& c) { c.result.SetStr(cp932::ToUpper(StrArg(c, 0))); });
  man.Register("StringOfChar", [](TSysFuncCall& c) { c.result.SetStr(StringOfChar(StrArg(c, 0), IntArg(c, 1))); });
  man.Register("StringReplace", [](TSysFuncCall& c) {
    c.result.SetStr(StringReplace(StrArg(c, 0), StrArg(c, 1), StrArg(c, 2), FlagArg(c, 3), FlagArg(c, 4)));
  });
  man.Register("HanToZen", [](TSysFuncCall& c) { c.result.SetStr(HanToZen(StrArg(c, 0))); });
  man.Register("ZenToHan", [](TSysFuncCall& c) { c.result.SetStr(ZenToHan(StrArg(c, 0))); });
  man.Register("AddDelimiter", [](TSysFuncCall& c) {
    std::string s = StrArg(c, 1);
    c.result.SetStr(s.empty() ? s : s + StrArg(c, 0));
  });
  man.Register("ExtractFilePath", [](TSysFuncCall& c) { c.result.SetStr(ExtractFilePath(StrArg(c, 0))); });
  man.Register("ExtractFileName", [](TSysFuncCall& c) { c.result.SetStr(ExtractFileName(StrArg(c, 0))); });
  man.Register("ExtractFileExt", [](TSysFuncCall& c) { c.result.SetStr(ExtractFileExt(StrArg(c, 0))); });
  man.Register("ChangeFileExt", [](TSysFuncCall& c) { c.result.SetStr(ChangeFileExt(StrArg(c, 0), StrArg(c, 1))); });
  man.Register("AddBackSlash", [](TSysFuncCall& c) { c.result.SetStr(AddBackSlash(StrArg(c, 0))); });
  man.Register("IsPathDelimiter", [](TSysFuncCall& c) {
    c.result.SetFlag(IsDelimiterAt("\\", StrArg(c, 0), IntArg(c, 1)));
  });
  man.Register("IsDelimiter", [](TSysFuncCall& c) {
    c.result.SetFlag(IsDelimiterAt(StrArg(c, 0), StrArg(c, 1), IntArg(c, 2)));
  });
}

}  // namespace orva::sysfuncs
