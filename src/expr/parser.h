// Expressions: the compiler from text to three-address steps
// (TBuildOrvaParser), the compiled stream form, and the evaluator
// (TOrvaParser) that runs the steps against the variable table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expr/params.h"

namespace orva {

class TStream;
class TParamCollection;
class TParamCollectionItem;
class TSysFuncMan;

enum OpeCode : uint8_t {
  ocNone = 0, ocTo, ocPlus, ocMinus, ocMul, ocDiv, ocMod, ocOr, ocAnd, ocXor, ocDimTo, ocFunc,
  ocEqual, ocBig, ocSmall, ocEBig, ocESmall, ocShiftL, ocShiftR, ocComboStr, ocNEqual
};
inline constexpr int kLastOpeCode = ocNEqual;

// "ocTo" ... "ocNEqual"; other codes read as their number.
std::string OpeCodeName(int code);

// Names of temporaries: value temporaries "____N", element references
// "____d_N" (one counter numbers both) and the value of a plain expression.
inline constexpr const char* kArgName = "____arg";

// A compiled step while compiling: operands are texts (literals with their
// quotes, variable or temporary names; for ocFunc operand 0 is the name).
struct TBuildOpeData {
  uint8_t op = ocNone;
  std::string result;
  std::vector<std::string> operands;
};

class TBuildOrvaParser {
 public:
  // Compiles an expression or assignment, appending its steps. Raises
  // "構文エラー" or "配列の添え字が不正です".
  void Compile(const std::string& text);
  // Writes the compiled stream form. Raises "\"%s\" 関数名がありません" for
  // an unknown function and "<name> 引数の数が不正です" for a call whose
  // argument count is outside the function's bounds.
  void SaveToStream(TStream& s) const;

  const std::vector<TBuildOpeData>& Steps() const { return steps_; }
  void Clear() { steps_.clear(); counter_ = 0; }

 private:
  friend class ExprCompiler;
  std::vector<TBuildOpeData> steps_;
  int counter_ = 0;
};

// A step as loaded for execution. Operands are owned value objects:
// literals, or unbound references that name a variable.
struct TOpeData {
  uint8_t op = ocNone;
  std::string result;
  uint8_t func = 0;
  std::vector<std::unique_ptr<TCustomParam>> operands;

  // Run-time data (not part of the stream form): the temporary slot of each
  // operand and of the result (-1 for other names), and lookup caches.
  std::vector<int> operandSlot;
  int resultSlot = -1;
  std::vector<TCustomParam*> args;  // the operands as call arguments
  struct Cache {
    const TParamCollection* owner = nullptr;
    uint64_t generation = 0;
    TParamCollectionItem* item = nullptr;
  };
  mutable std::vector<Cache> operandCache;
  mutable Cache resultCache;
};

class TOrvaParser {
 public:
  TOrvaParser();
  ~TOrvaParser();
  TOrvaParser(const TOrvaParser&) = delete;
  TOrvaParser& operator=(const TOrvaParser&) = delete;

  // Clears and reads the compiled stream form. A damaged stream (unknown
  // operand kind, bad count, truncated record) is refused and the parser
  // keeps its previous steps.
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;
  void Assign(const TOrvaParser& other);

  // Runs the steps. The first step that raises an error ends the run
  // silently; earlier steps keep their effects. Each run has its own
  // temporaries, so a run started from inside another does not disturb it.
  void Execute(TParamCollection& vars, const TSysFuncMan& funcs);
  // The value of "____arg" when the last step stored it, else null.
  const TCustomParam* Result() const { return result_.get(); }
  std::unique_ptr<TCustomParam> TakeResult() { return std::move(result_); }
  // The message of the error that ended the last run ("" when none): not
  // part of the run's outcome, but useful to tools and logs.
  const std::string& LastError() const { return lastError_; }

  const std::vector<TOpeData>& Steps() const { return steps_; }
  int StepCount() const { return static_cast<int>(steps_.size()); }

 private:
  // Temporaries of one run, one slot per distinct temporary name. They are
  // kept between runs to reuse their storage; a run started while another
  // run of the same parser is active gets slots of its own.
  struct Slots {
    std::vector<std::unique_ptr<TParamCollectionItem>> items;
    std::vector<uint8_t> live;
  };
  void Prepare();
  void RunStep(const TOpeData& step, TParamCollection& vars, const TSysFuncMan& funcs, Slots& slots);
  TParamCollectionItem* CreateTemporary(const TOpeData& step, TParamCollection& vars, const TSysFuncMan& funcs,
                                        Slots& slots);

  std::vector<TOpeData> steps_;
  std::vector<std::string> slotNames_;
  Slots slots_;
  bool running_ = false;
  bool storesArg_ = false;  // the last step stores "____arg"
  std::unique_ptr<TCustomParam> result_;
  std::unique_ptr<TCustomParam> spare_;  // the previous result, reused for the next
  std::string lastError_;
};

// Trims text, compiles, writes, reads back and executes it. False for empty
// text or when compiling, writing or reading raised an error.
bool RunStatement(const std::string& text, TParamCollection& vars, const TSysFuncMan& funcs);

// A CP932 text as a string literal of the expression language: in double
// quotes, with backslashes and double quotes escaped (double-byte characters
// are left whole, so a trail byte 0x5C is never escaped).
std::string QuoteStringLiteral(const std::string& value);

// Compiles text, writes the stream form and reads it into parser, as page
// files deliver expressions. Raises the compile and stream errors.
void LoadStatement(const std::string& text, TOrvaParser& parser);

}  // namespace orva
