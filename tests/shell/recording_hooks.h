// Hooks that record each call the shell makes, in order, and let a test
// change what a call does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/log.h"
#include "shell/hooks.h"

namespace orvatest {

class RecordingHooks : public orva::TRuntimeHooks {
 public:
  std::vector<std::string> calls;
  orva::TProjectSettings settings;
  bool useSettings = false;
  bool projectOk = true;
  bool gameLoadedOnce = false;
  std::function<void()> onInterpreter;
  std::function<void()> onInitMedia;

  int Count(const std::string& call) const {
    int n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }

  void CreateVariables() override { calls.push_back("CreateVariables"); }
  void CreateRegistry() override { calls.push_back("CreateRegistry"); }
  bool CreateProject() override {
    calls.push_back("CreateProject");
    return projectOk;
  }
  orva::TProjectSettings Project(const orva::TProjectSettings& defaults) override {
    return useSettings ? settings : defaults;
  }
  void InitMedia(int w, int h, const std::function<void()>& createScreen) override {
    calls.push_back("InitMedia " + std::to_string(w) + "x" + std::to_string(h));
    if (onInitMedia) onInitMedia();
    createScreen();
  }
  void InitColor() override { calls.push_back("InitColor"); }
  void RegistryInputUpkeep() override { calls.push_back("InputUpkeep"); }
  void UpdateStreams() override { calls.push_back("UpdateStreams"); }
  void RunInterpreter() override {
    calls.push_back("RunInterpreter");
    if (onInterpreter) onInterpreter();
  }
  void RegistryTick() override { calls.push_back("RegistryTick"); }
  bool TakeGameLoaded() override { return std::exchange(gameLoadedOnce, false); }
  void Compose() override { calls.push_back("Compose"); }
  void AfterPresent() override { calls.push_back("AfterPresent"); }
  void MouseDown(orva::platform::MouseButton b, int x, int y) override {
    calls.push_back("MouseDown " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) + "," +
                    std::to_string(y));
  }
  void MouseUp(orva::platform::MouseButton b, int x, int y) override {
    calls.push_back("MouseUp " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) + "," +
                    std::to_string(y));
  }
  void MouseMove(int x, int y) override { calls.push_back("MouseMove " + std::to_string(x) + "," + std::to_string(y)); }
  void Wheel(int d) override { calls.push_back("Wheel " + std::to_string(d)); }
  void KeyDown(uint8_t vk) override { calls.push_back("KeyDown " + std::to_string(vk)); }
  void KeyUp(uint8_t vk) override { calls.push_back("KeyUp " + std::to_string(vk)); }
  void TextInput(const std::string& t) override { calls.push_back("Text " + t); }
  void ReleaseKeys() override { calls.push_back("ReleaseKeys"); }
  void PauseMedia() override { calls.push_back("PauseMedia"); }
  void ResumeMedia() override { calls.push_back("ResumeMedia"); }
  void FreeSurfaces() override { calls.push_back("FreeSurfaces"); }
  void ReloadSurfaces() override { calls.push_back("ReloadSurfaces"); }
  void FreeProject(bool fatal) override { calls.push_back(fatal ? "FreeProject fatal" : "FreeProject"); }
  void FreeSysFuncs() override { calls.push_back("FreeSysFuncs"); }
  void FreeVariables() override { calls.push_back("FreeVariables"); }
  void FinalizeRegistry() override { calls.push_back("FinalizeRegistry"); }
  void FinalizeMedia(const std::function<void()>& freeScreen) override {
    calls.push_back("FinalizeMedia");
    freeScreen();
  }
  void RestoreMedia() override { calls.push_back("RestoreMedia"); }
  // Into the trace too, where their place among the step markers shows.
  void CloseMidiForSwitch() override { orva::log::TraceLine("[hook] CloseMidiForSwitch"); }
  void ReopenMidiAfterSwitch() override { orva::log::TraceLine("[hook] ReopenMidiAfterSwitch"); }
};

}  // namespace orvatest
