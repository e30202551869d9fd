#include "shell/gameruntime.h"

#include <ctime>
#include <fstream>

#include "common/cp932.h"
#include "common/log.h"
#include "common/paths.h"
#include "media/medialayer.h"
#include "platform/host.h"
#include "expr/paramcollection.h"
#include "expr/sysfuncs.h"
#include "expr/sysfuncs_library.h"
#include "script/projects.h"
#include "script/vardump.h"
#include "shell/view.h"
#include "tables/dbdump.h"
#include "tables/dbfuncs.h"
#include "tables/dbs.h"

namespace orva {

namespace {

// With --fixed-delta a run must give the same variables every time, so the
// clocks that scripts read follow the game clock from a fixed date.
TLocalTime FixedLocalTime(int64_t gameTimeMs) {
  std::tm t{};
  t.tm_year = 100;  // 2000-01-01 00:00:00
  t.tm_mday = 1;
  time_t base = timegm(&t);
  time_t now = base + static_cast<time_t>(gameTimeMs / 1000);
  std::tm out{};
  gmtime_r(&now, &out);
  return LocalTimeFromTm(out);
}

}  // namespace

// The system variables' view of the program: the interpreter's call stack,
// the window's keys and clocks.
class TGameRuntime::Source : public TCallStackVarSource {
 public:
  explicit Source(TGameRuntime& rt)
      : TCallStackVarSource([&rt] { return rt.project_ && rt.project_->HasCallMan() ? &rt.project_->CallMan() : nullptr; }),
        rt_(rt) {}

  bool KeyState(KeyTable table, int code) override {
    if (table != KeyTable::Push || code < 0 || code > 255 || !rt_.view_) return false;
    return rt_.view_->KeyState(static_cast<uint8_t>(code));
  }
  int32_t TickCount() override { return static_cast<int32_t>(rt_.GameTime()); }
  int32_t UpdateCount() override {
    return rt_.view_ ? static_cast<int32_t>(rt_.view_->State().frameCounter) : 0;
  }
  int32_t PCTickCount() override {
    if (Fixed()) return static_cast<int32_t>(rt_.GameTime());
    return TClockSystemVarSource::PCTickCount();
  }
  TLocalTime Now() override { return Fixed() ? FixedLocalTime(rt_.GameTime()) : TClockSystemVarSource::Now(); }
  bool FullScreen() override { return rt_.view_ && rt_.view_->Platform().display->IsFullScreen(); }

  // The MIDI ports: none until the media layer has started.
  std::string MidiPort() override {
    media::TMidiManager* m = Midi();
    return m ? m->PortName() : "";
  }
  void SetMidiPort(const std::string& name) override {
    if (media::TMidiManager* m = Midi()) m->SelectPortByName(name);
  }
  std::vector<std::string> MidiPorts() override {
    media::TMidiManager* m = Midi();
    return m ? m->PortNames() : std::vector<std::string>{};
  }

 private:
  bool Fixed() const { return rt_.view_ && rt_.view_->Options().fixedDelta.has_value(); }
  media::TMidiManager* Midi() { return rt_.media_ ? rt_.media_->Midi() : nullptr; }
  TGameRuntime& rt_;
};

TGameRuntime::TGameRuntime() : source_(std::make_unique<Source>(*this)) {}

TGameRuntime::~TGameRuntime() = default;

void TGameRuntime::Attach(TFormView& view) { view_ = &view; }

void TGameRuntime::CreateVariables() {
  vars_ = std::make_unique<TParamCollection>(source_.get());
  funcs_ = std::make_unique<TSysFuncMan>();
  RegisterSystemFunctions(*funcs_);
  log::StepMarker("TDBManager.Create");
  tables_ = std::make_unique<TDBManager>();
  RegisterTableFunctions(*funcs_, *tables_, view_->Files());
  // --seed makes the scripts' random numbers the same on every run.
  const auto& seed = view_->Options().seed;
  SeedRandom(seed ? *seed : static_cast<uint32_t>(std::time(nullptr) ^ (std::clock() << 16)));
}

bool TGameRuntime::CreateProject() {
  TProject::Services s{view_->Files(),
                       *vars_,
                       *funcs_,
                       events_,
                       *this,
                       view_->Platform().messageBox.get(),
                       view_->GameFolder(),
                       view_->Options().configOnly,
                       nullptr,
                       tables_.get()};
  project_ = std::make_unique<TProject>(std::move(s));
  return project_->Create();
}

TProjectSettings TGameRuntime::Project(const TProjectSettings& defaults) {
  TProjectSettings s = defaults;
  if (!project_) return s;
  const TProjectFile& p = project_->settings;
  if (p.width > 0) s.width = p.width;
  if (p.height > 0) s.height = p.height;
  s.title = p.title;
  s.pauseWhenInactive = p.pauseWhenInactive;
  s.showToolbar = p.showToolbar;
  return s;
}

void TGameRuntime::RunInterpreter() {
  if (project_ && project_->HasCallMan()) project_->CallMan().Run();
}

void TGameRuntime::FreeProject(bool fatalError) {
  if (project_ && !fatalError) project_->RunExitPage();
  project_.reset();
}

void TGameRuntime::FreeSysFuncs() {
  funcs_.reset();
  // The tables outlive the project: its status save writes them.
  DumpTables();
  tables_.reset();
}

void TGameRuntime::FreeVariables() {
  DumpVariables();
  vars_.reset();
}

void TGameRuntime::DumpVariables() {
  if (!vars_ || !view_ || view_->Options().dumpVars.empty()) return;
  std::ofstream out(view_->Options().dumpVars, std::ios::binary | std::ios::trunc);
  out << VariablesToJson(*vars_);
  if (!out) log::Warning("cannot write " + view_->Options().dumpVars);
}

void TGameRuntime::DumpTables() {
  if (!tables_ || !view_ || view_->Options().dumpTables.empty()) return;
  std::ofstream out(view_->Options().dumpTables, std::ios::binary | std::ios::trunc);
  out << TablesToJson(*tables_);
  if (!out) log::Warning("cannot write " + view_->Options().dumpTables);
}

void TGameRuntime::ResetWorld() {
  if (tables_) tables_->ResetGameTables();
}

media::TMediaLayer& TGameRuntime::MediaLayer() {
  if (!media_) {
    const TRunOptions& o = view_->Options();
    media::TMediaLayer::Config c;
    c.files = &view_->Files();
    c.audioOut = o.audioOut;
    if (!o.cdDir.empty()) c.cdFolders.push_back(o.cdDir);
    c.cdFolders.push_back(paths::JoinHost(view_->GameFolder(), "cd"));
    c.cdFolders.push_back(view_->GameFolder());
    // MIDI: the user's General MIDI bank first; the desktop's sequencer
    // ports only with a window, so a headless run lists the same ports on
    // every machine.
    c.soundFontOverride = platform::ProcessEnvironment()("ORVA_SOUNDFONT").value_or("");
    c.desktopMidiPorts = !o.headless;
    c.terminating = [this] { return Terminating(); };
    media_ = std::make_unique<media::TMediaLayer>(std::move(c));
  }
  return *media_;
}

platform::AudioCallback TGameRuntime::Mixer() {
  return [m = &MediaLayer()](int16_t* samples, int frames) { m->PullDevice(samples, frames); };
}

int TGameRuntime::MixerBufferFrames() { return MediaLayer().DeviceBufferFrames(); }

void TGameRuntime::InitMedia(int, int, const std::function<void()>& createScreen) {
  // Without a device to pull the sound (headless, or no sound device) the
  // media follow game time, and a run sounds the same every time.
  std::function<int64_t()> gameTime;
  if (view_->Options().headless || !view_->Platform().audio->IsOpen())
    gameTime = [this] { return view_->State().gameTime; };
  MediaLayer().Init(createScreen, std::move(gameTime));
}

void TGameRuntime::UpdateStreams() {
  if (media_) media_->UpdateStreams();
}

void TGameRuntime::AfterPresent() {
  if (media_) media_->AfterPresent();
}

void TGameRuntime::PauseMedia() {
  if (media_) media_->Deactivate();
}

void TGameRuntime::ResumeMedia() {
  if (media_) media_->Activate();
}

void TGameRuntime::SuspendMedia() {
  if (media_) media_->Suspend();
}

void TGameRuntime::ResumeSuspendedMedia() {
  if (media_) media_->Resume();
}

void TGameRuntime::RestoreMedia() {
  if (media_) media_->DeviceRestored();
}

void TGameRuntime::CloseMidiForSwitch() {
  if (media_) media_->CloseMidiForSwitch();
}

void TGameRuntime::ReopenMidiAfterSwitch() {
  if (media_) media_->ReopenMidiAfterSwitch();
}

void TGameRuntime::FinalizeMedia(const std::function<void()>& freeScreen) {
  if (media_) {
    media_->Final(freeScreen);
  } else {
    freeScreen();
  }
}

int32_t TGameRuntime::FrameDelta() const { return view_ ? view_->State().frameDelta : 0; }
int64_t TGameRuntime::GameTime() const { return view_ ? view_->State().gameTime : 0; }
bool TGameRuntime::Terminating() const { return view_ && view_->State().terminating; }
void TGameRuntime::SetTerminating(bool on) {
  if (view_) view_->State().terminating = on;
}
void TGameRuntime::SetFatalError() {
  if (view_) view_->State().fatalError = true;
}
void TGameRuntime::RequestClose() { SetTerminating(true); }

void TGameRuntime::ScriptError(const std::string& message) {
  const std::string text = cp932::ToUtf8(message);
  log::TraceLine("<Error> " + text);
  log::Warning("the script stopped: " + text);
}

void TGameRuntime::ShowWarning(const std::string& message) {
  if (view_)
    view_->Platform().messageBox->Show(cp932::ToUtf8(message), "警告", platform::MessageButtons::Ok,
                                       platform::MessageIcon::Warning);
}

}  // namespace orva
