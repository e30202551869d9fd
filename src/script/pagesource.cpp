#include "script/pagesource.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/extended.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"
#include "script/sourcetext.h"

namespace orva {

namespace {

using namespace source;

// ------------------------------------------------------------------ helpers

std::string ExprBytes(const TOrvaParser* p) {
  TMxMemoryStream m;
  if (p) p->SaveToStream(m);
  else m.WriteInt32(0);
  return m.AsString();
}

bool ExprEmpty(const TOrvaParser* p) { return !p || p->StepCount() == 0; }

// ------------------------------------------------------- names of byte fields

struct Word {
  const char* word;
  int value;
};
const Word kTypeWords[] = {{"none", 0}, {"int", 1}, {"float", 2}, {"flag", 3}, {"string", 4}};
const Word kScopeWords[] = {{"global", 0}, {"auto", 1}, {"local", 2}, {"status", 3}};

template <size_t N>
std::optional<int> WordValue(const Word (&words)[N], const std::string& w) {
  for (const auto& x : words)
    if (w == x.word) return x.value;
  return std::nullopt;
}

template <size_t N>
std::string ValueWord(const Word (&words)[N], int v) {
  for (const auto& x : words)
    if (x.value == v) return x.word;
  return std::to_string(v);
}

std::optional<int64_t> ParseNumber(const std::string& s) {
  if (s.empty()) return std::nullopt;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return v;
}

// Commands whose condition, when omitted in the source, is TRUE.
bool ConditionDefaultsToTrue(uint8_t code) { return code == 4 || code == 5 || code == 6 || code == 34 || code == 35; }

bool IsTargetField(const CommandLayout& layout, size_t f) {
  return layout.fields[f].kind == FieldKind::Int && (layout.fields[f].name == "target");
}

bool IsLoopField(const CommandLayout& layout, size_t f) {
  const auto& n = layout.fields[f].name;
  return layout.fields[f].kind == FieldKind::Int &&
         ((layout.code == 31 && n == "end") || (layout.code == 33 && n == "head") ||
          ((layout.code == 34 || layout.code == 35) && n == "target"));
}

// ------------------------------------------------------------------ loops

// Matching WhileLoop of each While and the loop enclosing each command.
struct LoopMap {
  std::vector<int32_t> loopOf;   // While index -> its WhileLoop index (-1 none)
  std::vector<int32_t> headOf;   // WhileLoop index -> its While index (-1 none)
  std::vector<int32_t> enclosing;  // command -> innermost While index whose body holds it (-1 none)
};

LoopMap MapLoops(const TComList& cmds) {
  const int n = cmds.Count();
  LoopMap m{std::vector<int32_t>(static_cast<size_t>(n), -1), std::vector<int32_t>(static_cast<size_t>(n), -1),
            std::vector<int32_t>(static_cast<size_t>(n), -1)};
  for (int w = 0; w < n; ++w) {
    if (cmds.At(w).TypeCode() != 31) continue;
    const int indent = cmds.At(w).indentLevel;
    int j = w + 1;
    while (j < n && cmds.At(j).indentLevel > indent) ++j;
    if (j < n && cmds.At(j).TypeCode() == 33 && cmds.At(j).indentLevel == indent) {
      m.loopOf[static_cast<size_t>(w)] = j;
      m.headOf[static_cast<size_t>(j)] = w;
      // Inner loops come later in the scan and overwrite: innermost wins.
      for (int k = w + 1; k < j; ++k) m.enclosing[static_cast<size_t>(k)] = w;
    }
  }
  return m;
}

// The value the assembler gives an omitted loop field.
int32_t DefaultLoopValue(const TComList& cmds, const LoopMap& loops, int index) {
  const TCommand& c = cmds.At(index);
  const size_t i = static_cast<size_t>(index);
  switch (c.TypeCode()) {
    case 31: return loops.loopOf[i] >= 0 ? loops.loopOf[i] + 1 : -1;
    case 33: return loops.headOf[i];
    case 34: {
      int32_t w = loops.enclosing[i];
      return w >= 0 ? loops.loopOf[static_cast<size_t>(w)] + 1 : -1;
    }
    case 35: {
      int32_t w = loops.enclosing[i];
      return w >= 0 ? loops.loopOf[static_cast<size_t>(w)] : -1;
    }
  }
  return 0;
}

// The page a target field refers to (the command's "page" field, or this
// page for loop fields).
const std::string* TargetPage(const TCommand& c) {
  for (size_t f = 0; f < c.Layout().fields.size(); ++f)
    if (c.Layout().fields[f].name == "page") return &c.fields[f].text;
  return nullptr;
}

const TOrvaParser& TrueCondition() {
  static const std::unique_ptr<TOrvaParser> t = CompileExpression("TRUE");
  return *t;
}

}  // namespace

// ------------------------------------------------------------- expressions

std::unique_ptr<TOrvaParser> CompileExpression(std::string_view textUtf8) {
  auto p = std::make_unique<TOrvaParser>();
  std::string text(textUtf8);
  size_t a = text.find_first_not_of(" \t");
  if (a == std::string::npos) return p;
  text = text.substr(a, text.find_last_not_of(" \t") - a + 1);
  if (text[0] != '#') {
    LoadStatement(cp932::FromUtf8(text), *p);
    return p;
  }
  auto bytes = FromHex(text.substr(1));
  if (!bytes) throw OrvaError::Utf8("bad compiled expression \"" + text + "\"");
  TMxMemoryStream m(*bytes);
  p->LoadFromStream(m);
  if (m.Remaining() != 0) throw OrvaError::Utf8("compiled expression has bytes after its end");
  return p;
}

// -------------------------------------------------------------- assembler

namespace {

struct PendingTarget {
  int command;
  size_t field;
  std::string label;  // CP932
  int line;
};

std::string StripComment(const std::string& line) {
  size_t a = line.find_first_not_of(" \t");
  if (a != std::string::npos && line[a] == '#') return {};
  return line;
}

}  // namespace

std::map<std::string, int32_t> ScanPageLabels(std::string_view sourceUtf8) {
  std::map<std::string, int32_t> labels;
  std::istringstream in{std::string(sourceUtf8)};
  std::string line;
  int32_t index = 0, lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    line = StripComment(line);
    size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos || line[a] == '.') continue;
    try {
      auto tokens = Tokenize(std::string_view(line).substr(a), lineNo);
      if (!tokens.empty() && tokens[0].kind == Token::Bare && cp932::SameTextCI(tokens[0].text, "Label")) {
        for (size_t k = 1; k < tokens.size(); ++k) {
          const Token& t = tokens[k];
          if ((t.name.empty() || t.name == "name") && (t.kind == Token::Str || t.kind == Token::Bare) &&
              !(t.name.empty() && t.kind == Token::Bare && (t.text == "runon" || t.text == "disabled"))) {
            labels.emplace(t.Cp932(), index);
            break;
          }
        }
      }
    } catch (const SourceError&) {
    }
    ++index;
  }
  return labels;
}

std::unique_ptr<TPage> AssemblePage(std::string_view sourceUtf8, const std::string& name,
                                    const PageAsmOptions& options) {
  auto page = std::make_unique<TPage>(name);
  auto& cmds = page->Commands();
  std::vector<PendingTarget> targets;
  std::vector<std::vector<bool>> given;  // per command, per field: written in the source
  int lineNo = 0;
  try {
    std::istringstream in{std::string(sourceUtf8)};
    std::string raw;
    bool header = true;
    while (std::getline(in, raw)) {
      ++lineNo;
      std::string line = StripComment(raw);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t a = line.find_first_not_of(" \t");
      if (a == std::string::npos) continue;

      if (line[a] == '.') {
        if (!header) Fail(lineNo, "directives come before the first command");
        auto tokens = Tokenize(std::string_view(line).substr(a), lineNo);
        const std::string& d = tokens[0].text;
        auto num = [&](size_t i) {
          if (i >= tokens.size()) Fail(lineNo, d + ": a number is missing");
          auto v = ParseNumber(tokens[i].text);
          if (!v) Fail(lineNo, d + ": \"" + tokens[i].text + "\" is not a number");
          return *v;
        };
        if (d == ".version") {
          page->version = static_cast<int32_t>(num(1));
        } else if (d == ".result") {
          if (tokens.size() < 2) Fail(lineNo, ".result: a type is missing");
          auto w = WordValue(kTypeWords, tokens[1].text);
          page->resultType = static_cast<uint8_t>(w ? *w : num(1));
        } else if (d == ".mask") {
          if (tokens.size() < 2) Fail(lineNo, ".mask: a command is missing");
          const CommandLayout* layout = CommandLayoutByKeyword(tokens[1].text);
          if (!layout) Fail(lineNo, ".mask: unknown command " + tokens[1].text);
          PropertyMask m;
          for (size_t i = 2; i < tokens.size(); ++i) {
            int64_t id = num(i);
            if (id < 0 || id > 172) Fail(lineNo, ".mask: property ids are 0 to 172");
            m.set(static_cast<size_t>(id));
          }
          page->SetMask(layout->code, m);
        } else if (d == ".rawmasks") {
          const int64_t count = num(1), size = num(2);
          auto bytes = tokens.size() > 3 ? FromHex(tokens[3].text) : std::optional<std::string>("");
          if (count < 0 || size < 0 || !bytes || static_cast<int64_t>(bytes->size()) != count * size)
            Fail(lineNo, ".rawmasks: COUNT SIZE HEX with COUNT x SIZE bytes");
          page->SetStoredMasks(static_cast<int32_t>(count), static_cast<int32_t>(size),
                               std::vector<uint8_t>(bytes->begin(), bytes->end()));
        } else {
          Fail(lineNo, "unknown directive " + d);
        }
        continue;
      }
      header = false;

      // Indentation: two spaces (or one tab) per level.
      int spaces = 0;
      for (size_t i = 0; i < a; ++i) spaces += line[i] == '\t' ? 2 : 1;
      if (spaces % 2) Fail(lineNo, "indentation must be a multiple of two spaces");

      auto tokens = Tokenize(std::string_view(line).substr(a), lineNo);
      if (tokens[0].kind != Token::Bare || !tokens[0].name.empty()) Fail(lineNo, "a command name is missing");
      const CommandLayout* layout = CommandLayoutByKeyword(tokens[0].text);
      if (!layout) Fail(lineNo, "unknown command \"" + tokens[0].text + "\"");
      auto cmd = CreateCommand(layout->code);
      cmd->indentLevel = spaces / 2;
      cmd->lineNumber = lineNo;
      const int index = cmds.Count();
      std::vector<bool> written(layout->fields.size(), false);
      const PropertyMask& mask = page->Mask(layout->code);
      for (size_t f = 0; f < layout->fields.size(); ++f) {
        const FieldLayout& fs = layout->fields[f];
        cmd->fields[f].present = fs.sinceVersion == 0 || page->version > fs.sinceVersion;
      }

      size_t positional = 0;
      auto nextPositional = [&]() -> size_t {
        while (positional < layout->fields.size() &&
               (layout->fields[positional].kind == FieldKind::Props || !cmd->fields[positional].present ||
                written[positional]))
          ++positional;
        return positional;
      };

      for (size_t t = 1; t < tokens.size(); ++t) {
        Token& tok = tokens[t];
        if (tok.name.empty() && tok.kind == Token::Bare) {
          if (tok.text == "runon") { cmd->runOnFlag = true; continue; }
          if (tok.text == "disabled") { cmd->disabledFlag = true; continue; }
          if (tok.text == "all" && (layout->code == 40 || layout->code == 41)) { cmd->fields[2].number = 1; written[2] = true; continue; }
        }
        if (tok.name == "line") { auto v = ParseNumber(tok.text); if (!v) Fail(lineNo, "line=N"); cmd->lineNumber = static_cast<int32_t>(*v); continue; }
        if (tok.name == "typebyte") { auto v = ParseNumber(tok.text); if (!v || (*v & 0x7F) != layout->code || (*v & 0x40)) Fail(lineNo, "typebyte=N must name this command"); cmd->typeByte = static_cast<uint8_t>(*v); continue; }
        if (tok.name == "indent") { auto v = ParseNumber(tok.text); if (!v) Fail(lineNo, "indent=N"); cmd->indentLevel = static_cast<int32_t>(*v); continue; }

        // A property expression: p<id>={...}
        if (tok.name.size() > 1 && tok.name[0] == 'p' && std::isdigit(static_cast<unsigned char>(tok.name[1]))) {
          auto id = ParseNumber(tok.name.substr(1));
          size_t pf = layout->fields.size();
          for (size_t f = 0; f < layout->fields.size(); ++f)
            if (layout->fields[f].kind == FieldKind::Props) pf = f;
          if (!id || pf == layout->fields.size()) Fail(lineNo, "no property field " + tok.name);
          if (!mask.test(static_cast<size_t>(*id)))
            Fail(lineNo, "property " + std::to_string(*id) + " is not in this page's mask for " + std::string(layout->keyword));
          if (tok.kind != Token::Expr) Fail(lineNo, tok.name + " takes an expression in braces");
          auto& props = cmd->fields[pf].props;
          auto it = props.begin();
          while (it != props.end() && it->first < *id) ++it;
          props.insert(it, {static_cast<int>(*id), CompileExpression(tok.text)});
          continue;
        }

        size_t f;
        if (!tok.name.empty()) {
          f = layout->fields.size();
          for (size_t k = 0; k < layout->fields.size(); ++k)
            if (layout->fields[k].name == tok.name) f = k;
          if (f == layout->fields.size()) Fail(lineNo, std::string(layout->keyword) + " has no field \"" + tok.name + "\"");
          if (!cmd->fields[f].present) Fail(lineNo, "field \"" + tok.name + "\" is not in pages of this version");
        } else {
          f = nextPositional();
          if (f >= layout->fields.size()) Fail(lineNo, "too many values for " + std::string(layout->keyword));
        }
        if (written[f]) Fail(lineNo, "field \"" + std::string(layout->fields[f].name) + "\" given twice");
        written[f] = true;
        CommandField& v = cmd->fields[f];
        const FieldLayout& fs = layout->fields[f];
        auto asText = [&]() {
          if (tok.kind == Token::Str || tok.kind == Token::Bare)
            return tok.strIsCp932 ? tok.text : cp932::FromUtf8(tok.text);
          Fail(lineNo, "field \"" + std::string(fs.name) + "\" takes a text");
        };
        switch (fs.kind) {
          case FieldKind::Expr:
            if (tok.kind != Token::Expr) Fail(lineNo, "field \"" + std::string(fs.name) + "\" takes an expression in braces");
            v.expr = CompileExpression(tok.text);
            break;
          case FieldKind::String:
          case FieldKind::TextData:
            v.text = asText();
            break;
          case FieldKind::ExprList:
            if (tok.kind != Token::List) Fail(lineNo, "field \"" + std::string(fs.name) + "\" takes a list [{...} ...]");
            for (const auto& e : tok.items) v.list.push_back(CompileExpression(e));
            break;
          case FieldKind::Int:
          case FieldKind::Byte: {
            if (tok.kind == Token::Bare && !tok.text.empty() && tok.text[0] == '@') {
              if (fs.kind != FieldKind::Int) Fail(lineNo, "a label fits only a command index");
              targets.push_back({index, f, cp932::FromUtf8(tok.text.substr(1)), lineNo});
              break;
            }
            std::optional<int> w;
            if (fs.name == "type") w = WordValue(kTypeWords, tok.text);
            if (fs.name == "scope") w = WordValue(kScopeWords, tok.text);
            auto n = w ? std::optional<int64_t>(*w) : ParseNumber(tok.text);
            if (!n || tok.kind != Token::Bare) Fail(lineNo, "field \"" + std::string(fs.name) + "\" takes a number");
            v.number = static_cast<int32_t>(*n);
            break;
          }
          case FieldKind::Props:
            break;
        }
      }
      // Omitted conditions of jumps, calls and returns hold.
      if (ConditionDefaultsToTrue(layout->code)) {
        for (size_t f = 0; f < layout->fields.size(); ++f)
          if (layout->fields[f].name == "cond" && !written[f]) {
            cmd->fields[f].expr = std::make_unique<TOrvaParser>();
            cmd->fields[f].expr->Assign(TrueCondition());
          }
      }
      given.push_back(written);
      cmds.Add(std::move(cmd));
    }

    // Loop fields the source left out.
    const LoopMap loops = MapLoops(cmds);
    for (int i = 0; i < cmds.Count(); ++i) {
      TCommand& c = cmds.At(i);
      for (size_t f = 0; f < c.Layout().fields.size(); ++f)
        if (IsLoopField(c.Layout(), f) && !given[static_cast<size_t>(i)][f])
          c.fields[f].number = DefaultLoopValue(cmds, loops, i);
    }
    // Labels named by target fields: the first Label of a name counts.
    std::map<std::string, int32_t> ownLabels;
    for (int i = 0; i < cmds.Count(); ++i)
      if (cmds.At(i).TypeCode() == 3) ownLabels.emplace(cmds.At(i).Text(0), i);
    for (const auto& t : targets) {
      TCommand& c = cmds.At(t.command);
      const std::string* other = IsLoopField(c.Layout(), t.field) ? nullptr : TargetPage(c);
      std::optional<int32_t> found;
      if (!other || other->empty() || *other == name) {
        auto it = ownLabels.find(t.label);
        if (it != ownLabels.end()) found = it->second;
      } else if (options.resolveLabel) {
        found = options.resolveLabel(*other, t.label);
      }
      if (!found) Fail(t.line, "label \"" + cp932::ToUtf8(t.label) + "\" not found");
      c.fields[t.field].number = *found;
    }
  } catch (const SourceError& e) {
    throw OrvaError::Utf8(cp932::ToUtf8(name) + ":" + std::to_string(e.line) + ": " + e.message);
  } catch (const OrvaError& e) {
    if (lineNo == 0) throw;
    throw OrvaError::Utf8(cp932::ToUtf8(name) + ":" + std::to_string(lineNo) + ": " + e.what());
  }
  return page;
}

// ----------------------------------------------------------- disassembler

namespace {

// Expression text back from compiled steps, for the common shapes the
// compiler makes. The caller checks that the text compiles to the same bytes.
class Decompiler {
 public:
  std::optional<std::string> Run(const TOrvaParser& p) {
    std::optional<std::string> statement;
    for (const TOpeData& st : p.Steps()) {
      if (statement) return std::nullopt;  // more than one statement
      std::vector<Piece> ops;
      for (const auto& o : st.operands) {
        auto part = Operand(*o);
        if (!part) return std::nullopt;
        ops.push_back(*part);
      }
      const bool temp = st.result.rfind("____", 0) == 0 && st.result != kArgName;
      Piece value;
      if (st.op == ocTo) {
        if (ops.size() != 1) return std::nullopt;
        value = ops[0];
        if (st.result == kArgName) {
          statement = value.text;
          continue;
        }
        if (!temp || st.result.rfind("____d_", 0) == 0) {
          std::string target = st.result;
          if (auto it = temps_.find(target); it != temps_.end()) target = it->second.text;
          else if (temp) return std::nullopt;
          statement = target + " = " + value.text;
          continue;
        }
      } else if (st.op == ocFunc) {
        const TSysFuncInfo& f = SysFuncInfo(st.func);
        if (!ops.empty() && ops[0].text == f.name) ops.erase(ops.begin());
        std::string args;
        for (size_t i = 0; i < ops.size(); ++i) args += (i ? ", " : "") + ops[i].text;
        value = {std::string(f.name) + "(" + args + ")", 0};
      } else if (st.op == ocDimTo) {
        if (ops.empty()) return std::nullopt;
        std::string idx;
        for (size_t i = 1; i < ops.size(); ++i) idx += (i > 1 ? ", " : "") + ops[i].text;
        value = {ops[0].text + "[" + idx + "]", 0};
      } else {
        const auto op = Operator(st.op);
        const char* sym = op.first;
        const int level = op.second;
        if (!sym || ops.size() != 2) return std::nullopt;
        auto side = [&](const Piece& x, bool right) {
          return (x.level > level || (right && x.level == level && x.level > 0)) ? "(" + x.text + ")" : x.text;
        };
        value = {side(ops[0], false) + " " + sym + " " + side(ops[1], true), level};
      }
      if (!temp) return std::nullopt;
      temps_[st.result] = value;
    }
    return statement;
  }

 private:
  struct Piece {
    std::string text;
    int level = 0;  // precedence of the top operator, 0 for an atom
  };

  static std::pair<const char*, int> Operator(uint8_t op) {
    switch (op) {
      case ocMul: return {"*", 1};
      case ocDiv: return {"/", 1};
      case ocMod: return {"%", 1};
      case ocPlus: return {"+", 2};
      case ocMinus: return {"-", 2};
      case ocShiftL: return {"<<", 3};
      case ocShiftR: return {">>", 3};
      case ocEqual: return {"==", 4};
      case ocEBig: return {">=", 4};
      case ocESmall: return {"<=", 4};
      case ocBig: return {">", 4};
      case ocSmall: return {"<", 4};
      case ocNEqual: return {"<>", 4};
      case ocComboStr: return {"++", 5};
      case ocAnd: return {"&", 6};
      case ocXor: return {"^", 7};
      case ocOr: return {"|", 8};
      default: return {nullptr, 0};
    }
  }

  std::optional<Piece> Operand(const TCustomParam& o) {
    switch (o.Kind()) {
      case ParamKind::Ref: {
        const std::string& name = static_cast<const TParamVar&>(o).TargetName();
        if (auto it = temps_.find(name); it != temps_.end()) return it->second;
        if (name.rfind("____", 0) == 0) return std::nullopt;
        if (!RoundTripsAsUtf8(name)) return std::nullopt;
        return Piece{cp932::ToUtf8(name), 0};
      }
      case ParamKind::Int: return Piece{std::to_string(o.GetInt()), 0};
      case ParamKind::Float: return Piece{FloatToText(o.GetFloat()), 0};
      case ParamKind::Flag: return Piece{o.GetFlag() ? "TRUE" : "FALSE", 0};
      case ParamKind::Str: {
        const std::string v = o.GetStr();
        // A page source line cannot hold a line break.
        if (!RoundTripsAsUtf8(v) || v.find_first_of("\r\n") != std::string::npos) return std::nullopt;
        return Piece{cp932::ToUtf8(QuoteStringLiteral(v)), 0};
      }
      default: return std::nullopt;
    }
  }

  std::map<std::string, Piece> temps_;
};

std::string ExprText(const TOrvaParser* p) {
  if (ExprEmpty(p)) return "{}";
  const std::string bytes = ExprBytes(p);
  // Readable text when it compiles back to exactly these steps; otherwise
  // the compiled bytes themselves, which assemble back exactly.
  if (auto text = Decompiler().Run(*p)) {
    try {
      if (text->find('}') == std::string::npos && ExprBytes(CompileExpression(*text).get()) == bytes)
        return "{" + *text + "}";
    } catch (const OrvaError&) {
    }
  }
  return "{#" + ToHex(bytes) + "}";
}

std::string LabelAt(const TComList& cmds, int32_t index) {
  if (index < 0 || index >= cmds.Count()) return {};
  const TCommand& c = cmds.At(index);
  if (c.TypeCode() != 3) return {};
  // The assembler resolves a label to its first definition.
  for (int i = 0; i < index; ++i)
    if (cmds.At(i).TypeCode() == 3 && cmds.At(i).Text(0) == c.Text(0)) return {};
  if (!RoundTripsAsUtf8(c.Text(0))) return {};
  std::string u = cp932::ToUtf8(c.Text(0));
  return IsBareWord(u) ? u : std::string();
}

}  // namespace

std::string DisassemblePage(const TPage& page) {
  std::ostringstream out;
  int line = 0;
  auto emit = [&](const std::string& s) {
    out << s << '\n';
    ++line;
  };
  if (page.version != TPage::kVersionMax) emit(".version " + std::to_string(page.version));
  if (page.resultType != 0) emit(".result " + ValueWord(kTypeWords, page.resultType));

  // Masks: the plain form when the records are the usual 64 x 22 bytes with
  // no bits beyond the last property.
  int32_t maskCount, maskSize;
  const std::vector<uint8_t> raw = page.StoredMasks(&maskCount, &maskSize);
  bool plain = maskCount == TPage::kMaskCount && maskSize == TPage::kMaskBytes;
  for (int t = 0; plain && t < TPage::kMaskCount; ++t)
    for (int b = 173; b < 176; ++b)
      if (raw[static_cast<size_t>(t * TPage::kMaskBytes + b / 8)] & (1u << (b % 8))) plain = false;
  if (plain) {
    for (int t = 0; t < TPage::kMaskCount; ++t) {
      if (page.Mask(t).none()) continue;
      std::string s = ".mask " + std::string(CommandLayoutOf(t)->keyword);
      for (int id = 0; id <= 172; ++id)
        if (page.Mask(t).test(static_cast<size_t>(id))) s += " " + std::to_string(id);
      emit(s);
    }
  } else {
    emit(".rawmasks " + std::to_string(maskCount) + " " + std::to_string(maskSize) + " " +
         ToHex(std::string(raw.begin(), raw.end())));
  }
  if (page.version > TPage::kVersionMax || page.version <= 102) return out.str();

  const TComList& cmds = page.Commands();
  const LoopMap loops = MapLoops(cmds);
  for (int i = 0; i < cmds.Count(); ++i) {
    const TCommand& c = cmds.At(i);
    const CommandLayout& layout = c.Layout();
    std::string s;
    const bool indentOk = c.indentLevel >= 0 && c.indentLevel < 200;
    if (indentOk) s.assign(static_cast<size_t>(c.indentLevel) * 2, ' ');
    s += layout.keyword;
    for (size_t f = 0; f < layout.fields.size(); ++f) {
      const FieldLayout& fs = layout.fields[f];
      const CommandField& v = c.fields[f];
      if (!v.present) continue;
      std::string name(fs.name);
      switch (fs.kind) {
        case FieldKind::Expr: {
          if (ConditionDefaultsToTrue(layout.code) && name == "cond") {
            if (ExprBytes(v.expr.get()) == ExprBytes(&TrueCondition())) break;
            s += " cond=" + ExprText(v.expr.get());
          } else {
            s += " " + name + "=" + ExprText(v.expr.get());
          }
          break;
        }
        case FieldKind::String:
        case FieldKind::TextData:
          s += " " + name + "=" + (fs.kind == FieldKind::String ? StringValue(v.text) : Quote(v.text));
          break;
        case FieldKind::ExprList: {
          s += " " + name + "=[";
          for (size_t k = 0; k < v.list.size(); ++k) s += (k ? " " : "") + ExprText(v.list[k].get());
          s += "]";
          break;
        }
        case FieldKind::Props:
          for (const auto& [id, e] : v.props) s += " p" + std::to_string(id) + "=" + ExprText(e.get());
          break;
        case FieldKind::Int: {
          if (IsLoopField(layout, f)) {
            if (v.number == DefaultLoopValue(cmds, loops, i)) break;
            s += " " + name + "=" + std::to_string(v.number);
            break;
          }
          std::string label;
          const std::string* target = IsTargetField(layout, f) ? TargetPage(c) : nullptr;
          if (target && *target == page.Name()) label = LabelAt(cmds, v.number);
          s += " " + name + "=" + (label.empty() ? std::to_string(v.number) : "@" + label);
          break;
        }
        case FieldKind::Byte:
          if (name == "type") s += " type=" + ValueWord(kTypeWords, v.number);
          else if (name == "scope") s += " scope=" + ValueWord(kScopeWords, v.number);
          else s += " " + name + "=" + std::to_string(v.number);
          break;
      }
    }
    if (c.runOnFlag) s += " runon";
    if (c.disabledFlag) s += " disabled";
    if (!indentOk) s += " indent=" + std::to_string(c.indentLevel);
    if (c.typeByte != layout.code) s += " typebyte=" + std::to_string(c.typeByte);
    if (c.lineNumber != line + 1) s += " line=" + std::to_string(c.lineNumber);
    emit(s);
  }
  return out.str();
}

}  // namespace orva
