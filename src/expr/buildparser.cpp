// The expression compiler. The text is rewritten stage by stage: each stage
// removes one construct (string literal, call, indexing, group), replaces it
// with a temporary's name and appends the steps computing that temporary.
// All scanning walks characters: a double-byte character is one character
// and never matches an ASCII delimiter.
#include <algorithm>
#include <cstring>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"

namespace orva {

namespace {

constexpr char kOpChars[] = "+-*/%|&^=[](),<>";

[[noreturn]] void SyntaxError() { throw OrvaError::Utf8("構文エラー"); }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsIdentChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
}
bool IsOpChar(char c) { return c != '\0' && std::strchr(kOpChars, c) != nullptr; }

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// Start offsets of the characters of s.
std::vector<size_t> CharStarts(const std::string& s) {
  std::vector<size_t> out;
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i)) out.push_back(i);
  return out;
}

// Position of the ")" matching the "(" at open, or npos.
size_t MatchParen(const std::string& s, size_t open) {
  int depth = 0;
  for (size_t i = open; i < s.size(); i += cp932::CharLength(s, i)) {
    if (s[i] == '(') ++depth;
    else if (s[i] == ')' && --depth == 0) return i;
  }
  return std::string::npos;
}

void CheckParensBalanced(const std::string& s) {
  int depth = 0;
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i)) {
    if (s[i] == '(') ++depth;
    else if (s[i] == ')' && --depth < 0) SyntaxError();
  }
  if (depth != 0) SyntaxError();
}

// Removes enclosing parentheses while the first "(" is matched by the last
// ")", trimming after each pass.
std::string StripParens(std::string s) {
  while (s.size() >= 2 && s.front() == '(' && s.back() == ')' && MatchParen(s, 0) == s.size() - 1)
    s = Trim(std::string_view(s).substr(1, s.size() - 2));
  return s;
}

// Splits at commas that are not inside square brackets.
std::vector<std::string> SplitArgs(const std::string& s) {
  std::vector<std::string> out;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i)) {
    if (s[i] == '[') ++depth;
    else if (s[i] == ']' && --depth < 0) SyntaxError();
    else if (s[i] == ',' && depth == 0) {
      out.push_back(Trim(std::string_view(s).substr(start, i - start)));
      start = i + 1;
    }
  }
  if (depth != 0) SyntaxError();
  out.push_back(Trim(std::string_view(s).substr(start)));
  return out;
}

bool HasOpChar(const std::string& s) {
  for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i))
    if (IsOpChar(s[i]) && cp932::CharLength(s, i) == 1) return true;
  return false;
}

struct Token {
  std::string text;
  bool op;
};

bool IsTempName(const std::string& s) { return s.size() >= 4 && s.compare(0, 4, "____") == 0; }
bool IsRefTemp(const std::string& s) { return s.size() >= 6 && s.compare(0, 6, "____d_") == 0; }

}  // namespace

class ExprCompiler {
 public:
  explicit ExprCompiler(TBuildOrvaParser& p) : p_(p) {}

  void CompileTop(const std::string& text) {
    CompileText(ReplaceLiterals(text));
    EliminateCopies();
  }

 private:
  std::string NewTemp() { return "____" + std::to_string(p_.counter_++); }
  std::string NewRef() { return "____d_" + std::to_string(p_.counter_++); }
  void Emit(uint8_t op, std::string result, std::vector<std::string> operands) {
    p_.steps_.push_back(TBuildOpeData{op, std::move(result), std::move(operands)});
  }

  // Stage 1: string literals, leftmost first.
  std::string ReplaceLiterals(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
      size_t len = cp932::CharLength(text, i);
      if (len == 2 || text[i] != '"') {
        out.append(text, i, len);
        i += len;
        continue;
      }
      std::string value;
      size_t j = i + 1;
      bool closed = false;
      while (j < text.size()) {
        size_t cl = cp932::CharLength(text, j);
        if (cl == 1 && text[j] == '"') {
          closed = true;
          break;
        }
        if (cl == 1 && text[j] == '\\' && j + 1 < text.size()) {
          char n = text[j + 1];
          if (n == '"' || n == '\\') {
            value += n;
            j += 2;
            continue;
          }
          if (n == 'n') {
            value += "\r\n";
            j += 2;
            continue;
          }
        }
        value.append(text, j, cl);
        j += cl;
      }
      if (!closed) SyntaxError();
      std::string t = NewTemp();
      Emit(ocTo, t, {"\"" + value + "\""});
      out += t;
      i = j + 1;
    }
    return out;
  }

  // An argument or index: a name or literal as it is, or a temporary holding
  // the value of a computed text.
  std::string Operand(const std::string& raw) {
    std::string a = StripParens(Trim(raw));
    if (!HasOpChar(a)) return a;
    std::string t = NewTemp();
    CompileText(t + "=" + a);
    return t;
  }

  // Appends the step that computes a call or an element from the name
  // (nameStart..nameEnd) and the list between open and close, and puts the
  // new temporary's name in place of the whole construct.
  void EmitListStep(std::string& s, uint8_t op, size_t nameStart, size_t nameEnd, size_t open, size_t close) {
    std::string inner = s.substr(open + 1, close - open - 1);
    std::vector<std::string> operands{s.substr(nameStart, nameEnd - nameStart)};
    if (Trim(inner).empty()) {
      if (op == ocDimTo) throw OrvaError::Utf8("配列の添え字が不正です");
    } else {
      for (const std::string& a : SplitArgs(inner)) operands.push_back(Operand(a));
    }
    std::string t = op == ocDimTo ? NewRef() : NewTemp();
    Emit(op, t, std::move(operands));
    s.replace(nameStart, close + 1 - nameStart, t);
  }

  static bool IsSingle(const std::string& s, size_t i, char c) { return s[i] == c && cp932::CharLength(s, i) == 1; }

  // Index of the first character of the blanks that end just before
  // character k.
  static size_t SkipBlanksBack(const std::string& s, const std::vector<size_t>& starts, size_t k) {
    while (k > 0 && cp932::CharLength(s, starts[k - 1]) == 1 && IsBlank(s[starts[k - 1]])) --k;
    return k;
  }

  // Stage 2: calls, rightmost opening parenthesis first.
  bool ReplaceOneCall(std::string& s) {
    std::vector<size_t> starts = CharStarts(s);
    for (size_t k = starts.size(); k-- > 0;) {
      size_t open = starts[k];
      if (!IsSingle(s, open, '(')) continue;
      size_t m = SkipBlanksBack(s, starts, k);
      if (m == 0 || cp932::CharLength(s, starts[m - 1]) != 1 || !IsIdentChar(s[starts[m - 1]])) continue;
      size_t q = m - 1;
      while (q > 0 && cp932::CharLength(s, starts[q - 1]) == 1 && IsIdentChar(s[starts[q - 1]])) --q;
      size_t close = MatchParen(s, open);
      if (close == std::string::npos) SyntaxError();
      EmitListStep(s, ocFunc, starts[q], starts[m - 1] + 1, open, close);
      return true;
    }
    return false;
  }

  // Stage 3: indexing, rightmost "[" first.
  bool ReplaceOneIndex(std::string& s) {
    std::vector<size_t> starts = CharStarts(s);
    for (size_t k = starts.size(); k-- > 0;) {
      size_t open = starts[k];
      if (!IsSingle(s, open, '[')) continue;
      size_t m = SkipBlanksBack(s, starts, k);
      size_t q = m;
      while (q > 0 && !(cp932::CharLength(s, starts[q - 1]) == 1 &&
                        (IsBlank(s[starts[q - 1]]) || IsOpChar(s[starts[q - 1]]))))
        --q;
      if (q == m) SyntaxError();  // nothing, or an operator, directly before "["
      size_t close = std::string::npos;
      for (size_t j = k + 1; j < starts.size() && close == std::string::npos; ++j)
        if (IsSingle(s, starts[j], ']')) close = starts[j];
      if (close == std::string::npos) SyntaxError();
      EmitListStep(s, ocDimTo, starts[q], starts[m], open, close);
      return true;
    }
    return false;
  }

  // Stage 4: groups, the last "(" first.
  bool ReplaceOneGroup(std::string& s) {
    std::vector<size_t> starts = CharStarts(s);
    for (size_t k = starts.size(); k-- > 0;) {
      size_t open = starts[k];
      if (!IsSingle(s, open, '(')) continue;
      size_t close = MatchParen(s, open);
      if (close == std::string::npos) SyntaxError();
      std::string inner = s.substr(open + 1, close - open - 1);
      std::string t = NewTemp();
      CompileText(t + "=" + inner);
      s.replace(open, close + 1 - open, t);
      return true;
    }
    return false;
  }

  // Stage 5: operands and operators.
  static std::vector<Token> Tokenize(const std::string& s) {
    static const char* const kPairs[] = {"==", ">=", "<=", "++", "<>", "<<", ">>"};
    std::vector<Token> out;
    size_t start = 0;
    auto flush = [&](size_t end) {
      std::string t = Trim(std::string_view(s).substr(start, end - start));
      if (!t.empty()) out.push_back({t, false});
    };
    size_t i = 0;
    while (i < s.size()) {
      size_t len = cp932::CharLength(s, i);
      if (len == 1 && IsOpChar(s[i])) {
        flush(i);
        size_t opLen = 1;
        if (i + 1 < s.size())
          for (const char* p : kPairs)
            if (s[i] == p[0] && s[i + 1] == p[1]) opLen = 2;
        out.push_back({s.substr(i, opLen), true});
        i += opLen;
        start = i;
        continue;
      }
      i += len;
    }
    flush(s.size());
    return out;
  }

  static int Precedence(const std::string& op) {
    static const std::vector<std::vector<const char*>> kGroups = {
        {"*", "/", "%"}, {"+", "-"}, {"<<", ">>"}, {"==", ">=", "<=", ">", "<", "<>"},
        {"++"}, {"&"}, {"^"}, {"|"}, {"="}};
    for (size_t g = 0; g < kGroups.size(); ++g)
      for (const char* o : kGroups[g])
        if (op == o) return static_cast<int>(g);
    return -1;
  }

  static uint8_t OpCode(const std::string& op) {
    static const struct { const char* text; uint8_t code; } kOps[] = {
        {"+", ocPlus}, {"-", ocMinus}, {"*", ocMul}, {"/", ocDiv}, {"%", ocMod}, {"|", ocOr},
        {"&", ocAnd}, {"^", ocXor}, {"==", ocEqual}, {">", ocBig}, {"<", ocSmall}, {">=", ocEBig},
        {"<=", ocESmall}, {"<<", ocShiftL}, {">>", ocShiftR}, {"++", ocComboStr}, {"<>", ocNEqual}};
    for (const auto& o : kOps)
      if (op == o.text) return o.code;
    return ocNone;
  }

  // Stages 2-9 on text without string literals. Innermost constructs go
  // first, so a nested compile never meets another nested construct and the
  // recursion stays shallow however deep the text nests.
  void CompileText(std::string s) {
    CheckParensBalanced(s);
    while (ReplaceOneCall(s)) {}
    while (ReplaceOneIndex(s)) {}
    while (ReplaceOneGroup(s)) {}
    for (size_t i = 0; i < s.size(); i += cp932::CharLength(s, i))
      if (IsSingle(s, i, ']')) SyntaxError();
    std::vector<Token> tokens = Tokenize(s);

    // Stage 7: unary signs.
    for (size_t i = tokens.size() >= 2 ? tokens.size() - 2 : 0; i >= 1 && i < tokens.size(); --i) {
      const Token& t = tokens[i];
      if (!(t.op && (t.text == "+" || t.text == "-")) || !tokens[i - 1].op) continue;
      if (tokens[i + 1].op) continue;
      if (t.text == "+") {
        tokens.erase(tokens.begin() + static_cast<long>(i));
      } else {
        std::string tmp = NewTemp();
        Emit(ocMinus, tmp, {"0", tokens[i + 1].text});
        tokens[i] = {tmp, false};
        tokens.erase(tokens.begin() + static_cast<long>(i) + 1);
      }
    }

    // Stage 8: binary operators by precedence, leftmost first within a group.
    bool assigned = false;
    for (;;) {
      int best = -1;
      size_t at = 0;
      for (size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].op) continue;
        int p = Precedence(tokens[i].text);
        if (p >= 0 && (best < 0 || p < best)) {
          best = p;
          at = i;
        }
      }
      if (best < 0) break;
      const std::string op = tokens[at].text;
      if (at + 1 >= tokens.size() || tokens[at + 1].op) SyntaxError();
      if (op == "=") {
        if (at == 0 || tokens[at - 1].op) SyntaxError();
        Emit(ocTo, tokens[at - 1].text, {tokens[at + 1].text});
        tokens.erase(tokens.begin() + static_cast<long>(at) - 1, tokens.begin() + static_cast<long>(at) + 2);
        assigned = true;
        continue;
      }
      std::string tmp = NewTemp();
      if (at == 0) {
        if (op != "+" && op != "-") SyntaxError();
        Emit(OpCode(op), tmp, {"0", tokens[1].text});
        tokens[0] = {tmp, false};
        tokens.erase(tokens.begin() + 1);
        continue;
      }
      if (tokens[at - 1].op) SyntaxError();
      Emit(OpCode(op), tmp, {tokens[at - 1].text, tokens[at + 1].text});
      tokens[at - 1] = {tmp, false};
      tokens.erase(tokens.begin() + static_cast<long>(at), tokens.begin() + static_cast<long>(at) + 2);
    }

    // Stage 9: what is left.
    if (tokens.empty()) return;
    if (assigned || tokens.size() > 1 || tokens[0].op) SyntaxError();
    Emit(ocTo, kArgName, {tokens[0].text});
  }

  // Stage 10: a copy from one value temporary into another is dropped and
  // later steps use the source directly.
  void EliminateCopies() {
    auto& steps = p_.steps_;
    for (size_t i = 0; i < steps.size();) {
      const TBuildOpeData& st = steps[i];
      auto plainTemp = [](const std::string& n) { return IsTempName(n) && !IsRefTemp(n) && n != kArgName; };
      if (st.op == ocTo && st.operands.size() == 1 && plainTemp(st.result) && plainTemp(st.operands[0])) {
        std::string x = st.result, y = st.operands[0];
        steps.erase(steps.begin() + static_cast<long>(i));
        for (size_t j = i; j < steps.size(); ++j) {
          if (steps[j].result == x) steps[j].result = y;
          for (auto& o : steps[j].operands)
            if (o == x) o = y;
        }
        continue;
      }
      ++i;
    }
  }

  TBuildOrvaParser& p_;
};

void TBuildOrvaParser::Compile(const std::string& text) { ExprCompiler(*this).CompileTop(text); }

void TBuildOrvaParser::SaveToStream(TStream& s) const {
  // Everything is checked before anything is written.
  std::vector<int> funcs(steps_.size(), 0);
  for (size_t k = 0; k < steps_.size(); ++k) {
    const TBuildOpeData& st = steps_[k];
    if (st.op != ocFunc) continue;
    const std::string name = st.operands.empty() ? std::string() : st.operands[0];
    int n = SysFuncNumber(name);
    if (n < 0) throw OrvaError::Format("\"%s\" 関数名がありません", name);
    const TSysFuncInfo& info = SysFuncInfo(n);
    int argc = static_cast<int>(st.operands.size()) - 1;
    if ((info.minArgs >= 0 && argc < info.minArgs) || (info.maxArgs >= 0 && argc > info.maxArgs))
      throw OrvaError(name + Sys(" 引数の数が不正です"));
    funcs[k] = n;
  }
  s.WriteInt32(static_cast<int32_t>(steps_.size()));
  for (size_t k = 0; k < steps_.size(); ++k) {
    const TBuildOpeData& st = steps_[k];
    size_t first = st.op == ocFunc ? 1 : 0;
    s.WriteByte(st.op);
    s.WriteString(st.result);
    s.WriteInt32(static_cast<int32_t>(st.operands.size() - std::min(first, st.operands.size())));
    if (st.op == ocFunc) s.WriteByte(static_cast<uint8_t>(funcs[k]));
    for (size_t i = first; i < st.operands.size(); ++i) {
      const std::string& o = st.operands[i];
      if (auto v = ParseIntText(o)) {
        s.WriteByte(PT_INT);
        s.WriteInt32(*v);
      } else if (auto x = ParseFloatText(o)) {
        s.WriteByte(PT_FLOAT);
        WriteExtended(s, *x);
      } else if (o == "TRUE" || o == "FALSE") {
        s.WriteByte(PT_BOOL);
        s.WriteByte(o == "TRUE" ? 1 : 0);
      } else if (o.size() > 1 && o.front() == '"' && o.back() == '"') {
        s.WriteByte(PT_STR);
        s.WriteString(std::string_view(o).substr(1, o.size() - 2));
      } else {
        s.WriteByte(PT_NONE);
        s.WriteString(o);
      }
    }
  }
}

}  // namespace orva
