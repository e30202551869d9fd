// A small world for running pages in tests: an in-memory file manager, the
// variable table, the function library, the event queue and a host whose
// clock advances a fixed delta per tick.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "expr/paramcollection.h"
#include "expr/sysfuncs.h"
#include "expr/sysvars.h"
#include "objects/timerlists.h"
#include "script/callman.h"
#include "script/pagesource.h"
#include "storage/vrfiles.h"

namespace orvatest {

class ScriptHarness : public orva::IScriptHost {
 public:
  ScriptHarness();
  ~ScriptHarness() override;

  // Adds a page assembled from UTF-8 source under `name` (UTF-8 too).
  void AddPage(const std::string& name, const std::string& source);
  void Start(const std::string& page);
  // Runs n frame ticks.
  void Tick(int n = 1);

  // Declares global variables (assignments need existing variables).
  void Ints(std::initializer_list<const char*> names);
  void Strs(std::initializer_list<const char*> names);

  int32_t Int(const std::string& name) const;
  std::string Str(const std::string& name) const;
  bool Has(const std::string& name) const;
  // Queues an event as a component would.
  void Queue(const std::string& page, std::vector<std::string> args = {}, int object = 1, uint8_t code = 33);

  // IScriptHost
  int32_t FrameDelta() const override { return delta; }
  int64_t GameTime() const override { return time; }
  bool Terminating() const override { return terminating; }
  void SetTerminating(bool on) override { terminating = on; }
  void SetFatalError() override { fatal = true; }
  void RequestClose() override { closeRequested = true; }
  void ResetWorld() override { ++worldResets; }
  std::string ObjectName(const orva::TOrvaObject* o) override;
  orva::TOrvaObject* FindObject(const std::string& name) override;
  void ScriptError(const std::string& message) override { errors.push_back(message); }
  void ShowWarning(const std::string& message) override { warnings.push_back(message); }

  static orva::TOrvaObject* Object(int n);

  orva::TVrFileManager files;
  // The call-stack system variables answer from the interpreter.
  orva::TCallStackVarSource source{[this] { return cm.get(); }};
  orva::TParamCollection vars{&source};
  orva::TSysFuncMan funcs;
  orva::TTimerList events;
  std::unique_ptr<orva::TCallMan> cm;
  std::map<std::string, std::string> sources;  // CP932 page name -> source
  int32_t delta = 16;
  int64_t time = 0;
  bool terminating = false, fatal = false, closeRequested = false;
  int worldResets = 0;
  std::vector<std::string> errors, warnings;
};

}  // namespace orvatest
