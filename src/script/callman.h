// The interpreter: one script thread of control (the current page and
// command index), a call stack, and the scheduler that starts queued
// component events between commands. Run is called once per frame tick.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/streams.h"
#include "expr/params.h"
#include "expr/sysvars.h"
#include "script/pages.h"

namespace orva {

class TOrvaObject;
class TParamCollection;
class TSysFuncMan;
class TTimerList;

// What the interpreter needs from the program around it.
class IScriptHost {
 public:
  virtual ~IScriptHost() = default;
  virtual int32_t FrameDelta() const = 0;
  virtual int64_t GameTime() const = 0;
  virtual bool Terminating() const = 0;
  virtual void SetTerminating(bool on) = 0;
  virtual void SetFatalError() = 0;
  // The Terminate command: close the main window.
  virtual void RequestClose() {}
  // The Reset command: delete every component, reset tables and history.
  virtual void ResetWorld() {}
  // Registered names of components (senders), and the way back.
  virtual std::string ObjectName(const TOrvaObject* object) { return {}; }
  virtual TOrvaObject* FindObject(const std::string& name) { return nullptr; }
  // A script error ended the game (the message, in CP932).
  virtual void ScriptError(const std::string& message) {}
  // A message box captioned "警告" (the text in CP932).
  virtual void ShowWarning(const std::string& message) {}
};

// A host with a fixed frame delta and no window, for tools, benchmarks and
// fuzzing.
class TFixedScriptHost : public IScriptHost {
 public:
  explicit TFixedScriptHost(int32_t delta = 16) : delta_(delta) {}
  int32_t FrameDelta() const override { return delta_; }
  int64_t GameTime() const override { return time_; }
  bool Terminating() const override { return terminating_; }
  void SetTerminating(bool on) override { terminating_ = on; }
  void SetFatalError() override { fatal_ = true; }
  bool Fatal() const { return fatal_; }
  void Advance() { time_ += delta_; }

 private:
  int32_t delta_;
  int64_t time_ = 0;
  bool terminating_ = false, fatal_ = false;
};

// One call frame: where the caller stood.
struct TStack {
  std::string pageName;   // empty: the main script had finished
  int32_t returnIndex = 0;
  bool begun = false;
  std::string resultVar;
  std::vector<std::string> args;
  TOrvaObject* sender = nullptr;
  bool runOn = false;
  std::unique_ptr<TMxMemoryStream> savedState;
  std::unique_ptr<TCustomParam> returnValue;
  bool isEvent = false;   // pushed to run a queued event
};

class TCallMan {
 public:
  static constexpr int kPageCacheSize = 30;

  struct Services {
    TParamCollection& vars;
    const TSysFuncMan& funcs;
    TTimerList& events;
    IScriptHost& host;
    std::function<bool(const std::string&)> canReach;
    std::function<void(const std::string&, TMxMemoryStream&)> loadEntry;
  };

  explicit TCallMan(Services services);
  ~TCallMan();

  void Start(const std::string& pageName);
  void Run();
  // One command plus returns: 0 continue, 2 yielded, 1 returned into the
  // main script, -1 returned into an event handler.
  int Step();
  bool FireEvent(int32_t level);

  // The page of that name (case-sensitive), loaded when needed. With
  // makeCurrent the command index becomes 0 and the page moves to the front
  // of the cache.
  TPage* GetPage(const std::string& name, bool makeCurrent);

  // ---- what commands use
  TPage* CurrentPage() const { return current_; }
  void SetCurrentPage(TPage* page) { current_ = page; }
  int32_t& Index() { return index_; }
  void SetRunOn(bool on) { runOn_ = on; }
  bool RunOnFlag() const { return runOn_; }
  int32_t State() const { return state_; }
  int32_t EventLevel() const { return eventLevel_; }
  bool CanReach(const std::string& name) const { return s_.canReach(name); }
  TParamCollection& Vars() const { return s_.vars; }
  const TSysFuncMan& Funcs() const { return s_.funcs; }
  TTimerList& Events() const { return s_.events; }
  IScriptHost& Host() const { return s_.host; }
  int FrameCount() const { return static_cast<int>(stack_.size()); }
  TStack& Frame(int i) { return *stack_.at(static_cast<size_t>(i)); }
  void PushFrame(std::unique_ptr<TStack> frame);
  // Drops frame `index` (0 = the oldest) without returning into it.
  void RemoveFrame(int index);
  const std::vector<std::string>& Args() const { return args_; }
  void SetArgs(std::vector<std::string> args) { args_ = std::move(args); }
  TOrvaObject* Sender() const { return sender_; }
  // Evaluates an expression; the value, or null when it yields none.
  const TCustomParam* Evaluate(TOrvaParser* expr);
  // True when the expression yields a value that reads as true.
  bool Holds(TOrvaParser* expr);

  // ---- the call-stack system variables (the program's system-variable
  // source forwards to these)
  TCustomParam* CallResult();
  int ParamCount() const { return static_cast<int>(args_.size()); }
  std::string ParamStr(int index) const;
  std::string SenderName() const;
  int StackCount() const { return FrameCount(); }

  // ---- game saves: GameSave and GameLoad record what to do at the end of
  // the tick (slot -1: nothing pending).
  struct PendingSave {
    int32_t slot = -1;
    std::string page;
    int32_t index = 0;
    std::string title;
  };
  PendingSave pendingSave;
  int32_t pendingLoad = -1;

  void SaveState(TStream& out) const;
  void LoadState(TStream& in, int version);

 private:
  bool ExecuteOne();
  void ReturnFromCall(TStack& frame);
  void FreePage(std::unique_ptr<TPage> page);
  void Trace(const TPage& page, const TCommand& cmd, bool event);
  void Fail(const std::string& message, bool warn = false);
  // Runs fn; an error it raises stops the script (false).
  template <class Fn>
  bool Guarded(Fn&& fn);
  static void WriteFrame(TStream& out, const TStack& f, IScriptHost& host);
  std::unique_ptr<TStack> ReadFrame(TStream& in);

  Services s_;
  std::vector<std::unique_ptr<TPage>> pages_;  // most recently used first
  TPage* current_ = nullptr;
  int32_t index_ = 0;
  bool runOn_ = false;
  std::vector<std::unique_ptr<TStack>> stack_;
  std::unique_ptr<TStack> scratch_;
  bool begun_ = false;
  std::vector<std::string> args_;
  int32_t state_ = 0;
  TOrvaObject* sender_ = nullptr;
  int32_t eventLevel_ = 2;
  const TCommand* lastTraced_ = nullptr;
};

// The system variables' view of an interpreter's call stack (@Result,
// @ParamCount, @ParamStr, @Sender, @StackCount and DeleteStack); the clocks
// come from the base class.
class TCallStackVarSource : public TClockSystemVarSource {
 public:
  explicit TCallStackVarSource(std::function<TCallMan*()> callMan) : callMan_(std::move(callMan)) {}

  TCustomParam* CallResult() override { return Cm() ? Cm()->CallResult() : nullptr; }
  int ParamCount() override { return Cm() ? Cm()->ParamCount() : 0; }
  std::string ParamStr(int i) override { return Cm() ? Cm()->ParamStr(i) : std::string(); }
  std::string Sender() override { return Cm() ? Cm()->SenderName() : std::string(); }
  int StackCount() override { return Cm() ? Cm()->StackCount() : 0; }
  void RemoveStackFrame(int index) override {
    if (Cm()) Cm()->RemoveFrame(index);
  }

 protected:
  TCallMan* Cm() const { return callMan_(); }

 private:
  std::function<TCallMan*()> callMan_;
};

}  // namespace orva
