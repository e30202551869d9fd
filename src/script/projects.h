// The project: the game's settings from "orva.opb", the interpreter it owns,
// the folder-to-disk map and the decision whether a page or file can be
// reached.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "script/callman.h"
#include "script/projectfiles.h"

namespace orva {

class TDBManager;
class TVrFileManager;
namespace platform {
class IMessageBox;
}

class TProject {
 public:
  struct Services {
    TVrFileManager& files;
    TParamCollection& vars;
    const TSysFuncMan& funcs;
    TTimerList& events;
    IScriptHost& host;
    platform::IMessageBox* messageBox = nullptr;
    std::string programFolder;  // host folder of the game
    bool configOnly = false;    // started to show the run configuration only
    // Restores the status save and the "save:" entries (at step 6).
    std::function<void(TProject&)> restoreStatus;
    // The data tables of the run, whose table blocks game saves and the
    // status save carry (none in tools and tests that have no tables).
    TDBManager* tables = nullptr;
  };

  explicit TProject(Services services);
  ~TProject();

  // The start-up sequence, up to starting the start page. False when
  // start-up must stop (the message has been shown and the flags set).
  bool Create();

  bool CanReach(const std::string& name);
  TCallMan& CallMan() { return *callMan_; }
  bool HasCallMan() const { return callMan_ != nullptr; }
  TDBManager* Tables() const { return s_.tables; }

  // Runs the exit page for one tick at shutdown.
  void RunExitPage();

  // The settings in effect (defaults until the project file is read).
  TProjectFile settings;

 private:
  void Warn(const std::string& cp932Text);
  Services s_;
  std::unique_ptr<TCallMan> callMan_;
};

}  // namespace orva
