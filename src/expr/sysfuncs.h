// The system function table (171 functions: name, argument bounds, result
// type) and TSysFuncMan, the dispatcher that expression steps call. The
// functions' bodies register themselves with the dispatcher; calling a
// number that has no body yet ends the expression with an error naming the
// function.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "expr/params.h"

namespace orva {

class TParamCollection;

struct TSysFuncInfo {
  const char* name;
  int minArgs;
  int maxArgs;  // -1: no maximum
  uint8_t resultType;
};

inline constexpr int kSysFuncCount = 171;

const TSysFuncInfo& SysFuncInfo(int number);
// Function number of a name (case-sensitive), or -1.
int SysFuncNumber(const std::string& name);

// Arguments of one call: the step's operand value objects (literals, or
// references bound to variables).
using TSysFuncArgs = std::vector<TCustomParam*>;

// What a function body sees: the result variable R, its arguments and the
// variable table.
struct TSysFuncCall {
  TCustomParam& result;
  const TSysFuncArgs& args;
  TParamCollection& vars;
  int number;

  // Whether argument i (0-based) was given.
  bool Has(size_t i) const { return i < args.size(); }
  // Argument i as a variable argument: the value of the variable it names.
  // A literal, an unbound name or a missing argument raises
  // "<function>:変数が見つかりません".
  TCustomParam& VarArg(size_t i) const;
};

using TSysFuncBody = std::function<void(TSysFuncCall&)>;

class TSysFuncMan {
 public:
  TSysFuncMan();
  // Bodies may keep a pointer to the dispatcher they were registered with
  // (Calc runs expressions through it): a dispatcher stays where it is.
  TSysFuncMan(const TSysFuncMan&) = delete;
  TSysFuncMan& operator=(const TSysFuncMan&) = delete;

  void Register(int number, TSysFuncBody body);
  void Register(const std::string& name, TSysFuncBody body);
  bool HasBody(int number) const;

  // Runs function `number` with R and the arguments. Numbers of 171 or more
  // do nothing; a function without a body raises "%s:未実装の関数です".
  void Execute(TCustomParam& result, int number, const TSysFuncArgs& args, TParamCollection& vars) const;

  // Result type of the temporary that receives the function's value. The
  // property functions ask the hooks below for the type of the property
  // their argument names.
  using PropTypeHook = std::function<int(int)>;
  PropTypeHook propertyType;        // property number 0-172
  PropTypeHook cinemaPropertyType;  // cinema property number 0-100

 private:
  std::array<TSysFuncBody, kSysFuncCount> bodies_;
};

}  // namespace orva
