// The subsystems a game runs on, as the shell drives them: the variable
// table and function library, the event queue, the project with its
// interpreter. It answers the interpreter's questions about the program
// (clock, flags, closing) from the window it is attached to.
#pragma once

#include <memory>
#include <string>

#include "expr/sysvars.h"
#include "objects/timerlists.h"
#include "script/callman.h"
#include "shell/hooks.h"

namespace orva {

class TDBManager;
namespace media {
class TMediaLayer;
}

class TParamCollection;
class TProject;
class TSysFuncMan;

class TGameRuntime : public TRuntimeHooks, public IScriptHost {
 public:
  TGameRuntime();
  ~TGameRuntime() override;

  // TRuntimeHooks
  void Attach(TFormView& view) override;
  void CreateVariables() override;
  bool CreateProject() override;
  TProjectSettings Project(const TProjectSettings& defaults) override;
  void RunInterpreter() override;
  void FreeProject(bool fatalError) override;
  void FreeSysFuncs() override;
  void FreeVariables() override;
  platform::AudioCallback Mixer() override;
  int MixerBufferFrames() override;
  void InitMedia(int width, int height, const std::function<void()>& createScreen) override;
  void UpdateStreams() override;
  void AfterPresent() override;
  void PauseMedia() override;
  void ResumeMedia() override;
  void SuspendMedia() override;
  void ResumeSuspendedMedia() override;
  void RestoreMedia() override;
  void CloseMidiForSwitch() override;
  void ReopenMidiAfterSwitch() override;
  void FinalizeMedia(const std::function<void()>& freeScreen) override;

  // IScriptHost
  int32_t FrameDelta() const override;
  int64_t GameTime() const override;
  bool Terminating() const override;
  void SetTerminating(bool on) override;
  void SetFatalError() override;
  void RequestClose() override;
  void ScriptError(const std::string& message) override;
  void ShowWarning(const std::string& message) override;
  void ResetWorld() override;

  TParamCollection* Variables() { return vars_.get(); }
  TDBManager* Tables() { return tables_.get(); }
  TProject* GetProject() { return project_.get(); }
  media::TMediaLayer* Media() { return media_.get(); }

 private:
  class Source;
  // --dump-vars: the table at exit, after the exit page ran.
  void DumpVariables();
  // --dump-tables: every table at exit, after the exit page ran.
  void DumpTables();
  // The media layer, made when the sound device or the media start first.
  media::TMediaLayer& MediaLayer();

  TFormView* view_ = nullptr;
  std::unique_ptr<Source> source_;
  std::unique_ptr<TParamCollection> vars_;
  std::unique_ptr<TSysFuncMan> funcs_;
  std::unique_ptr<TDBManager> tables_;
  TTimerList events_;
  std::unique_ptr<TProject> project_;
  std::unique_ptr<media::TMediaLayer> media_;
};

}  // namespace orva
