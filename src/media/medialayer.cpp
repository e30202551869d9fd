#include "media/medialayer.h"

#include <chrono>

#include "common/log.h"
#include "media/ffbackend.h"
#include "media/midisynth.h"

namespace orva::media {

namespace {

int64_t SystemMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TMediaLayer::TMediaLayer(Config config) : config_(std::move(config)) {
  if (!config_.audioOut.empty()) {
    recorder_ = std::make_unique<TWaveFileWriter>(config_.audioOut, TWaveFormat::Output());
    device_.SetTap([w = recorder_.get()](const int16_t* samples, int frames) {
      w->Write(samples, static_cast<size_t>(frames) * kOutBlockAlign);
    });
  }
  context_.files = config_.files;
  context_.settings = config_.settings;
  context_.cdFolders = config_.cdFolders;
}

TMediaLayer::~TMediaLayer() {
  Final([] {});
  device_.SetTap(nullptr);
  if (recorder_) recorder_->Finish();
}

int TMediaLayer::DeviceBufferFrames() const {
  // At most one block of the mixer, and a power of two.
  const int blockFrames = BlockBytesForDelay(config_.settings.MixerDelayMs()) / kOutBlockAlign;
  int frames = 256;
  while (frames * 2 <= blockFrames && frames < 2048) frames *= 2;
  return frames;
}

void TMediaLayer::Init(const std::function<void()>& createScreen, std::function<int64_t()> gameTime) {
  log::StepMarker("MediaInit:7");
  gameTime_ = std::move(gameTime);
  TWavOut::Clock clock;
  TWavOut::Driver driver = TWavOut::Driver::Thread;
  if (gameTime_) {
    driver_ = std::make_unique<TGameTimeDriver>(device_);
    clock = [d = driver_.get()] { return d->Now(); };
    driver = TWavOut::Driver::Caller;
  } else {
    clock = &SystemMs;
  }
  mixer_ = std::make_unique<TWavOut>(config_.settings.MixerDelayMs(), device_, clock, driver);
  if (driver_) {
    driver_->AdvanceTo(gameTime_());
    driver_->SetMixer(mixer_.get());
  }
  // Every sound plays through the mixer: its device is open from the start.
  mixer_->OpenDevice();
  backend_ = config_.makeBackend ? config_.makeBackend(*mixer_) : std::make_unique<TFfMediaBackend>(*mixer_);
  backend_->Init();
  context_.backend = backend_.get();
  context_.mixer = mixer_.get();
  context_.now = clock;
  log::StepMarker("MediaInit:8");
  backend_->SetStreamingThread(true);
  log::StepMarker("MediaInit:9");
  if (createScreen) createScreen();
  log::StepMarker("MediaInit:10");
  log::StepMarker("MediaInit:11");
  video_ = std::make_unique<TVideoManager>(context_);
  log::StepMarker("MediaInit:12");
  wmp_ = std::make_unique<TWmpManager>(context_);
  log::StepMarker("MediaInit:13");
  ogg_ = std::make_unique<TOggManager>(context_);
  log::StepMarker("MediaInit:14");
  cdda_ = std::make_unique<TCddaManager>(context_);
  log::StepMarker("MediaInit:15");
  std::unique_ptr<IMidiSystem> ports;
  if (config_.makeMidiSystem) {
    ports = config_.makeMidiSystem(*mixer_);
  } else {
    TMidiSystemConfig mc;
    mc.mixer = mixer_.get();
    mc.soundFont = FindSoundFont(config_.soundFontOverride, config_.settings.midiSoundFont);
    mc.desktopPorts = config_.desktopMidiPorts;
    ports = MakeMidiSystem(mc);
  }
  midi_ = std::make_unique<TMidiManager>(context_, std::move(ports));
  midi_->SetTerminatingQuery(config_.terminating);
  log::StepMarker("MediaInit:16");
  soundManagers_ = {wmp_.get(), ogg_.get(), cdda_.get(), midi_.get()};
  started_ = true;
}

void TMediaLayer::Final(const std::function<void()>& freeScreen) {
  if (!started_ && !backend_ && !mixer_) return;
  started_ = false;
  log::StepMarker("ScreenMan.Free");
  if (freeScreen) freeScreen();
  soundManagers_.clear();
  log::StepMarker("VideoMan.Free");
  video_.reset();
  log::StepMarker("WmpMan.Free");
  wmp_.reset();
  log::StepMarker("OggMan.Free");
  ogg_.reset();
  log::StepMarker("CddaMan.Free");
  cdda_.reset();
  log::StepMarker("MidiMan.Free");
  midi_.reset();
  log::StepMarker("orvaFinal");
  if (backend_) backend_->Final();
  if (mixer_) mixer_->CloseDevice();
  context_.backend = nullptr;
  context_.mixer = nullptr;
  backend_.reset();
  if (driver_) driver_->SetMixer(nullptr);
  mixer_.reset();
}

void TMediaLayer::UpdateStreams() {
  if (driver_ && gameTime_) driver_->AdvanceTo(gameTime_());
}

void TMediaLayer::AfterPresent() {
  if (video_) video_->AfterPresent();
}

void TMediaLayer::Deactivate() {
  if (!started_) return;
  video_->Suspend();
  backend_->SuspendVideo();
  for (TMediaManager* m : soundManagers_)
    if (m->Enabled()) m->Suspend();
}

void TMediaLayer::Activate() {
  if (!started_) return;
  video_->Resume();
  backend_->ResumeVideo();
  for (TMediaManager* m : soundManagers_)
    if (m->Enabled()) m->Resume();
}

void TMediaLayer::Suspend() { Deactivate(); }

void TMediaLayer::Resume() { Activate(); }

void TMediaLayer::SetSoundEnabled(bool on) {
  for (TMediaManager* m : soundManagers_) m->SetEnabled(on);
}

void TMediaLayer::CloseMidiForSwitch() {
  if (midi_) midi_->CloseForScreenSwitch();
}

void TMediaLayer::ReopenMidiAfterSwitch() {
  if (midi_) midi_->ReopenAfterScreenSwitch();
}

void TMediaLayer::DeviceRestored() {
  device_.Reset();
  if (!started_) return;
  wmp_->Restore();
  ogg_->Restore();
}

}  // namespace orva::media
