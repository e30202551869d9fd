// Numbers and conversions, and the program-wide generator behind Random.
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/errors.h"
#include "expr/sysfuncs_args.h"
#include "expr/sysfuncs_library.h"
#include "storage/rands.h"

namespace orva {

namespace {

TGetRandom& ProgramRandom() {
  static TGetRandom generator(0);
  return generator;
}

// A float function whose result is not a number was given an argument
// outside its domain (ArcSin(2), Sin of an infinity): an error, as the
// run-time library of the system reports it.
Float Checked(Float x) {
  if (std::isnan(x)) throw OrvaError::Utf8("Invalid floating point operation");
  return x;
}

// Decimal text with at least `digits` digits after the sign, zero-padded.
std::string PaddedDecimal(int32_t v, int32_t digits) {
  std::string magnitude = std::to_string(v < 0 ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
  if (digits > static_cast<int32_t>(magnitude.size())) {
    sysfuncs::CheckTextSize(digits);
    magnitude.insert(0, static_cast<size_t>(digits) - magnitude.size(), '0');
  }
  return v < 0 ? "-" + magnitude : magnitude;
}

}  // namespace

void SeedRandom(uint32_t seed) { ProgramRandom().Seed(static_cast<int32_t>(seed)); }

namespace sysfuncs {

void RegisterNumberFunctions(TSysFuncMan& man) {
  man.Register("IntToStr", [](TSysFuncCall& c) { c.result.SetStr(PaddedDecimal(IntArg(c, 0), IntArg(c, 1))); });
  man.Register("IntToHex", [](TSysFuncCall& c) {
    int32_t digits = IntArg(c, 1);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(IntArg(c, 0)));
    std::string s(buf);
    if (digits > static_cast<int32_t>(s.size())) {
      CheckTextSize(digits);
      s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    }
    c.result.SetStr(s);
  });
  man.Register("Int", [](TSysFuncCall& c) { c.result.SetInt(FloatToInt(FloatArg(c, 0))); });
  man.Register("Float", [](TSysFuncCall& c) { c.result.SetFloat(FloatArg(c, 0)); });
  man.Register("Abs", [](TSysFuncCall& c) {
    // The most negative integer has no positive counterpart and stays as it is.
    uint32_t v = static_cast<uint32_t>(IntArg(c, 0));
    c.result.SetInt(static_cast<int32_t>(static_cast<int32_t>(v) < 0 ? 0u - v : v));
  });
  man.Register("Fabs", [](TSysFuncCall& c) { c.result.SetFloat(std::fabs(FloatArg(c, 0))); });
  man.Register("Min", [](TSysFuncCall& c) { c.result.SetInt(std::min(IntArg(c, 0), IntArg(c, 1))); });
  man.Register("Max", [](TSysFuncCall& c) { c.result.SetInt(std::max(IntArg(c, 0), IntArg(c, 1))); });
  man.Register("Fmin", [](TSysFuncCall& c) { c.result.SetFloat(std::min(FloatArg(c, 0), FloatArg(c, 1))); });
  man.Register("Fmax", [](TSysFuncCall& c) { c.result.SetFloat(std::max(FloatArg(c, 0), FloatArg(c, 1))); });
  man.Register("Random", [](TSysFuncCall& c) {
    // A bound of 0 or below has no value to draw from: 0, and the generator
    // does not advance.
    int32_t n = IntArg(c, 0);
    c.result.SetInt(n > 0 ? ProgramRandom().Range(0, n - 1) : 0);
  });
  man.Register("StrToIntDef", [](TSysFuncCall& c) {
    std::optional<int32_t> v = ParseIntText(StrArg(c, 0));
    c.result.SetInt(v ? *v : IntArg(c, 1));
  });
  man.Register("StrToFloatDef", [](TSysFuncCall& c) {
    std::optional<Float> v = ParseFloatText(StrArg(c, 0));
    c.result.SetFloat(v ? *v : FloatArg(c, 1));
  });
  man.Register("Chr", [](TSysFuncCall& c) {
    c.result.SetStr(std::string(1, static_cast<char>(static_cast<uint8_t>(IntArg(c, 0)))));
  });
  man.Register("Ord", [](TSysFuncCall& c) {
    std::string s = StrArg(c, 0);
    c.result.SetInt(s.empty() ? 0 : static_cast<uint8_t>(s[0]));
  });
  man.Register("Not", [](TSysFuncCall& c) { c.result.SetFlag(!FlagArg(c, 0)); });
  man.Register("GetVarType", [](TSysFuncCall& c) { c.result.SetInt(c.Has(0) ? c.args[0]->GetParamType() : 0); });

  struct Unary {
    const char* name;
    Float (*f)(Float);
  };
  static const Unary kUnary[] = {
      {"Sin", [](Float x) { return std::sin(x); }},       {"Cos", [](Float x) { return std::cos(x); }},
      {"Tan", [](Float x) { return std::tan(x); }},       {"ArcSin", [](Float x) { return std::asin(x); }},
      {"ArcCos", [](Float x) { return std::acos(x); }},   {"ArcTan", [](Float x) { return std::atan(x); }},
  };
  for (const Unary& u : kUnary) {
    Float (*f)(Float) = u.f;
    man.Register(u.name, [f](TSysFuncCall& c) { c.result.SetFloat(Checked(f(FloatArg(c, 0)))); });
  }
  man.Register("ArcTan2", [](TSysFuncCall& c) { c.result.SetFloat(Checked(std::atan2(FloatArg(c, 0), FloatArg(c, 1)))); });
  man.Register("Hypot", [](TSysFuncCall& c) { c.result.SetFloat(Checked(std::hypot(FloatArg(c, 0), FloatArg(c, 1)))); });
}

}  // namespace sysfuncs
}  // namespace orva
