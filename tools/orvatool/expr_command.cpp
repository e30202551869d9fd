// orvatool expr: compiles expressions to their stream form, shows the steps
// and runs them against a fresh variable table.
#include <cstdio>
#include <map>
#include <string>

#include "commands.h"
#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"
#include "expr/sysfuncs_library.h"

namespace orvatool {

namespace {

using namespace orva;

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: orvatool expr compile TEXT\n"
               "       orvatool expr dump TEXT\n"
               "       orvatool expr run TEXT [--var NAME=TYPE:VALUE ...]\n\n"
               "compile  prints the compiled stream in hexadecimal\n"
               "dump     prints the compiled steps\n"
               "run      runs TEXT and prints the result and every variable it changed;\n"
               "         TYPE is int, float, flag or str\n");
}

std::vector<uint8_t> CompileToStream(const std::string& utf8Text) {
  TBuildOrvaParser build;
  build.Compile(cp932::FromUtf8(utf8Text));
  TMxMemoryStream ms;
  build.SaveToStream(ms);
  return ms.TakeBytes();
}

const char* TypeName(int type) {
  switch (type) {
    case PT_INT: return "int";
    case PT_FLOAT: return "float";
    case PT_BOOL: return "flag";
    case PT_STR: return "str";
    default: return "ref";
  }
}

std::string Quote(const std::string& cp932Text) {
  std::string out = "\"";
  for (char c : cp932::ToUtf8(cp932Text)) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\r') {
      out += "\\r";
      continue;
    }
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string OperandText(const TCustomParam& p) {
  switch (p.Kind()) {
    case ParamKind::Int: return std::to_string(p.GetInt());
    case ParamKind::Float: return FloatToText(p.GetFloat());
    case ParamKind::Flag: return p.GetFlag() ? "TRUE" : "FALSE";
    case ParamKind::Str: return Quote(p.GetStr());
    default: return cp932::ToUtf8(static_cast<const TParamVar&>(p).TargetName());
  }
}

// "type:value" of a value, arrays as [a, b, ...] with their dims.
std::string ValueText(const TCustomParam& p) {
  auto element = [&](int i) {
    return p.GetParamType() == PT_STR ? Quote(p.GetStrAt(i)) : cp932::ToUtf8(p.GetStrAt(i));
  };
  std::string out = TypeName(p.GetParamType());
  if (p.GetDims().empty() && p.GetCount() == 1) return out + ":" + element(0);
  out += "[";
  for (size_t i = 0; i < p.GetDims().size(); ++i) out += (i ? "," : "") + std::to_string(p.GetDims()[i]);
  out += "]:[";
  for (int i = 0; i < p.GetCount(); ++i) out += (i ? ", " : "") + element(i);
  return out + "]";
}

int Compile(const Args& args) {
  std::vector<uint8_t> bytes = CompileToStream(args[1]);
  for (size_t i = 0; i < bytes.size(); ++i) std::printf("%02x%s", bytes[i], i + 1 == bytes.size() ? "" : " ");
  std::printf("\n");
  return 0;
}

int Dump(const Args& args) {
  TMxMemoryStream ms(CompileToStream(args[1]));
  TOrvaParser parser;
  parser.LoadFromStream(ms);
  int n = 0;
  for (const TOpeData& st : parser.Steps()) {
    std::string line = std::to_string(n++) + ": " + OpeCodeName(st.op) + " " + cp932::ToUtf8(st.result) + " <-";
    if (st.op == ocFunc) line += " " + std::string(SysFuncInfo(st.func).name) + "#" + std::to_string(st.func);
    for (const auto& o : st.operands) line += " " + OperandText(*o);
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

void DeclareVar(TParamCollection& vars, const std::string& definition) {
  size_t eq = definition.find('='), colon = definition.find(':', eq == std::string::npos ? 0 : eq);
  if (eq == std::string::npos || colon == std::string::npos)
    throw OrvaError::Utf8("--var wants NAME=TYPE:VALUE, got " + definition);
  std::string name = cp932::FromUtf8(definition.substr(0, eq));
  std::string type = definition.substr(eq + 1, colon - eq - 1);
  std::string value = cp932::FromUtf8(definition.substr(colon + 1));
  int code = type == "int" ? PT_INT : type == "float" ? PT_FLOAT : type == "flag" ? PT_BOOL : type == "str" ? PT_STR : -1;
  if (code < 0) throw OrvaError::Utf8("unknown variable type \"" + type + "\" (int, float, flag, str)");
  vars.Declare(name, code).Value()->SetStr(value);
}

bool IsClockVariable(int number) { return number >= SV_TickCount && number <= SV_Sec; }

int Run(const Args& args) {
  TParamCollection vars;
  TSysFuncMan funcs;
  RegisterSystemFunctions(funcs);
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--var" && i + 1 < args.size()) {
      DeclareVar(vars, args[++i]);
    } else {
      Usage(stderr);
      return 2;
    }
  }
  TMxMemoryStream ms(CompileToStream(args[1]));
  TOrvaParser parser;
  parser.LoadFromStream(ms);

  std::map<int, std::string> before;
  for (int i = 0; i < vars.Count(); ++i)
    if (i >= kSystemVarCount || !IsClockVariable(i)) before[i] = ValueText(*vars.At(i).Value());
  parser.Execute(vars, funcs);

  if (parser.Result())
    std::printf("result: %s\n", ValueText(*parser.Result()).c_str());
  else
    std::printf("result: none\n");
  if (!parser.LastError().empty()) std::printf("error: %s\n", cp932::ToUtf8(parser.LastError()).c_str());
  for (const auto& [index, text] : before) {
    const TParamCollectionItem& v = vars.At(index);
    std::string now = ValueText(*v.Value());
    if (now != text) std::printf("%s = %s\n", cp932::ToUtf8(v.Name()).c_str(), now.c_str());
  }
  return 0;
}

}  // namespace

int RunExpr(const Args& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    Usage(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args.size() < 2) {
    Usage(stderr);
    return 2;
  }
  if (args[0] == "compile" && args.size() == 2) return Compile(args);
  if (args[0] == "dump" && args.size() == 2) return Dump(args);
  if (args[0] == "run") return Run(args);
  Usage(stderr);
  return 2;
}

}  // namespace orvatool
