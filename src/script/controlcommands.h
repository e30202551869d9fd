// The commands that steer execution (conditions, loops, labels, jumps,
// calls, returns, waits), declare, delete and compute variables, reset the
// game and end it. Component, media and text commands keep the behaviour of
// the base class until their subsystems exist.
#pragma once

#include <memory>

#include "script/commands.h"

namespace orva {

class TComIf : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

// Reached in sequence, a previous branch ran: skip this branch's body.
class TComElseif : public TComIf {
 public:
  using TComIf::TComIf;
  void Execute(TCallMan& cm) override;
};

class TComElse : public TCommand {
 public:
  using TCommand::TCommand;
  bool RunOn() const override { return true; }
  void Execute(TCallMan& cm) override;
};

class TComLabel : public TCommand {
 public:
  using TCommand::TCommand;
  bool IsLabel(const std::string& name) const override { return Text(0) == name; }
  void Execute(TCallMan& cm) override;
};

class TComComment : public TComLabel {
 public:
  using TComLabel::TComLabel;
  bool Disabled() const override { return true; }
};

class TComJump : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComCall : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComExit : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComBreak : public TComExit {
 public:
  using TComExit::TComExit;
  void Execute(TCallMan& cm) override;
};

class TComContinue : public TComExit {
 public:
  using TComExit::TComExit;
  void Execute(TCallMan& cm) override;
};

class TComWait : public TCommand {
 public:
  using TCommand::TCommand;
  bool BlocksEvents() const override { return eventsBlocked_; }
  bool Yields() const override { return true; }
  void Begin(TCallMan& cm) override;
  void Execute(TCallMan& cm) override;
  void SaveState(TStream& out) const override;
  void LoadState(TStream& in) override;

  int32_t remaining() const { return remaining_; }

 private:
  int32_t remaining_ = 0;
  int32_t firstStep_ = 1;
  bool eventsBlocked_ = false;
};

class TComWhile : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComRuntime : public TCommand {
 public:
  using TCommand::TCommand;
  bool RunOn() const override { return true; }
};

class TComWhileInit : public TComRuntime {
 public:
  using TComRuntime::TComRuntime;
  void Execute(TCallMan& cm) override;
};

class TComWhileLoop : public TComWhileInit {
 public:
  using TComWhileInit::TComWhileInit;
  void Execute(TCallMan& cm) override;
};

class TComCalc : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComVarNew : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComVarDel : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComDoEvent : public TCommand {
 public:
  using TCommand::TCommand;
  bool RunOn() const override { return false; }
  bool Yields() const override { return true; }
  void Execute(TCallMan& cm) override;
};

class TComTerminate : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComGameSave : public TCommand {
 public:
  using TCommand::TCommand;
  bool RunOn() const override { return false; }
  void Execute(TCallMan& cm) override;
};

class TComGameLoad : public TCommand {
 public:
  using TCommand::TCommand;
  bool RunOn() const override { return false; }
  void Execute(TCallMan& cm) override;
};

class TComPCReset : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm) override;
};

class TComReset : public TComPCReset {
 public:
  using TComPCReset::TComPCReset;
  void Execute(TCallMan& cm) override;
};

class TComIfdef : public TCommand {
 public:
  using TCommand::TCommand;
  bool Disabled() const override { return true; }
};

class TComIfndef : public TComIfdef {
 public:
  using TComIfdef::TComIfdef;
};

// Commands that create components from property expressions.
class TComComponent : public TCommand {
 public:
  using TCommand::TCommand;
};
class TComTimer : public TComComponent {
 public:
  using TComComponent::TComComponent;
};
class TComSound : public TComComponent {
 public:
  using TComComponent::TComComponent;
};
class TComControl : public TComComponent {
 public:
  using TComComponent::TComComponent;
};
class TComCabinet : public TComComponent {
 public:
  using TComComponent::TComComponent;
};

std::unique_ptr<TCommand> CreateCommandOfLayout(const CommandLayout& layout);

}  // namespace orva
