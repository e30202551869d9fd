// Script commands: the common base fields, the record fields of each type
// (laid out by commandlayouts.h), and the class tree whose virtual operations
// the interpreter drives: begin, execute, run-on, yield, blocks-events and
// running state.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/streams.h"
#include "expr/parser.h"
#include "script/commandlayouts.h"

namespace orva {

class TCallMan;
class TComList;

// Bit i set: records of component-creating commands of this type carry an
// expression for property i (0..172).
using PropertyMask = std::bitset<176>;

// One record field; which member is used follows the field's kind.
struct CommandField {
  bool present = true;                                 // false: absent in this page version
  std::unique_ptr<TOrvaParser> expr;                   // Expr
  std::string text;                                    // String, TextData
  int32_t number = 0;                                  // Int, Byte
  std::vector<std::unique_ptr<TOrvaParser>> list;      // ExprList
  std::vector<std::pair<int, std::unique_ptr<TOrvaParser>>> props;  // Props: (property id, expression)
};

class TCommand {
 public:
  explicit TCommand(const CommandLayout& layout);
  virtual ~TCommand();
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  uint8_t TypeCode() const { return layout_.code; }
  const CommandLayout& Layout() const { return layout_; }

  virtual bool RunOn() const { return runOnFlag; }
  virtual bool Disabled() const { return disabledFlag; }
  virtual void SetDisabled(bool disabled) { disabledFlag = disabled; }
  virtual bool BlocksEvents() const { return false; }
  virtual bool IsLabel(const std::string& name) const { return false; }
  // Called once before the first execution step.
  virtual void Begin(TCallMan& cm) {}
  // One execution step. The default moves on to the next command.
  virtual void Execute(TCallMan& cm);
  virtual void SaveState(TStream& out) const {}
  virtual void LoadState(TStream& in) {}
  // Called when a reset abandons this command half-way.
  virtual void Abort() {}
  virtual bool Yields() const { return false; }

  // The record after the type byte: base fields, then the type's fields.
  void Load(TStream& in, int pageVersion, const PropertyMask& mask);
  void Save(TStream& out, int pageVersion, const PropertyMask& mask) const;

  uint8_t typeByte = 0;  // as stored (bit 7 may be set; the class is the low 7 bits)
  int32_t indentLevel = 0;
  bool disabledFlag = false;
  bool runOnFlag = false;
  int32_t lineNumber = 0;
  std::vector<CommandField> fields;  // one per field of the type, in order

  // Field access by position in the type's layout.
  TOrvaParser* Expr(size_t i) const { return fields[i].expr.get(); }
  const std::string& Text(size_t i) const { return fields[i].text; }
  int32_t Number(size_t i) const { return fields[i].number; }

 protected:
  // Ends the script: this command's behaviour is not available in this build.
  [[noreturn]] void NotAvailable() const;

 private:
  const CommandLayout& layout_;
};

// Creates the command class of a type code; "不正なコマンド" for bit 0x40
// or a code with no command.
std::unique_ptr<TCommand> CreateCommand(int typeByte);

}  // namespace orva
