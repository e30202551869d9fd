#include "media/midisynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "common/log.h"
#include "media/mediabackend.h"

namespace orva::media {

namespace {

// Errors are the user's business; warnings (an instrument a song asks for
// that the bank lacks, for one) and notes go to the trace.
void FluidLog(int level, const char* message, void*) {
  const std::string line = std::string("synthesizer: ") + (message ? message : "");
  if (level <= FLUID_ERR) log::Warning(line);
  else MediaLog(line);
}

}  // namespace

void RouteFluidSynthLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO}) fluid_set_log_function(level, FluidLog, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
  });
}

std::string FindSoundFont(const std::string& override, const std::string& configured, const std::string& folder) {
  std::vector<std::string> candidates = {override, configured};
  for (const char* name : {"default-GM.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"})
    candidates.push_back(folder + "/" + name);
  for (const std::string& path : candidates) {
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_regular_file(path, ec)) return path;
  }
  return "";
}

void ConfigureSynthSettings(fluid_settings_t* settings) {
  fluid_settings_setnum(settings, "synth.sample-rate", kOutRate);
  fluid_settings_setnum(settings, "synth.gain", kSynthGain);
  fluid_settings_setint(settings, "synth.reverb.active", 1);
  fluid_settings_setint(settings, "synth.chorus.active", 1);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setint(settings, "synth.lock-memory", 0);
}

TFluidSynthPort::TFluidSynthPort(TWavOut* mixer, std::string soundFont)
    : mixer_(mixer), soundFont_(std::move(soundFont)) {
  RouteFluidSynthLog();
  settings_ = new_fluid_settings();
  if (settings_) {
    ConfigureSynthSettings(settings_);
    synth_ = new_fluid_synth(settings_);
  }
  if (!synth_) log::Warning("the MIDI synthesizer cannot be made: MIDI plays silent");
  if (mixer_) {
    buffer_ = mixer_->AddRenderer(this);
    buffer_->StartBuffer();
  }
}

TFluidSynthPort::~TFluidSynthPort() {
  // Waits for a mix that is rendering from this port.
  if (mixer_ && buffer_) mixer_->RemoveBuffer(buffer_);
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

void TFluidSynthPort::LoadSoundFont() {
  if (fontTried_ || !synth_) return;
  fontTried_ = true;
  if (soundFont_.empty()) {
    log::Warning("no General MIDI SoundFont found (set ORVA_SOUNDFONT, or install timgm6mb-soundfont): MIDI plays silent");
    return;
  }
  fontId_ = fluid_synth_sfload(synth_, soundFont_.c_str(), 1);
  if (fontId_ < 0) log::Warning("cannot load the SoundFont " + soundFont_ + ": MIDI plays silent");
}

bool TFluidSynthPort::Open(Done done) {
  if (!synth_) return false;
  LoadSoundFont();
  done_ = std::move(done);
  open_ = true;
  return true;
}

void TFluidSynthPort::Close() {
  open_ = false;
  done_ = nullptr;
}

void TFluidSynthPort::ShortMessage(uint8_t status, uint8_t data1, uint8_t data2) {
  if (!open_ || fontId_ < 0) return;
  const int ch = status & 0x0F;
  switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, ch, data1); break;
    case 0x90:
      if (data2 == 0) fluid_synth_noteoff(synth_, ch, data1);
      else fluid_synth_noteon(synth_, ch, data1, data2);
      break;
    case 0xA0: fluid_synth_key_pressure(synth_, ch, data1, data2); break;
    case 0xB0: fluid_synth_cc(synth_, ch, data1, data2); break;
    case 0xC0: fluid_synth_program_change(synth_, ch, data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, ch, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, ch, data1 | (data2 << 7)); break;
    default: break;
  }
}

void TFluidSynthPort::LongMessage(TMidiLongHeader& message) {
  const auto& d = message.data;
  // The synthesizer takes the message without its F0 and F7, at once.
  if (open_ && fontId_ >= 0 && d.size() >= 2 && d.front() == 0xF0 && d.back() == 0xF7)
    fluid_synth_sysex(synth_, reinterpret_cast<const char*>(d.data() + 1), static_cast<int>(d.size() - 2), nullptr,
                      nullptr, nullptr, 0);
  if (done_) done_(&message);
}

void TFluidSynthPort::Reset() {
  if (!synth_) return;
  for (int ch = 0; ch < 16; ++ch) fluid_synth_cc(synth_, ch, 64, 0);
  fluid_synth_all_notes_off(synth_, -1);
}

int TFluidSynthPort::ActiveVoices() const { return synth_ ? fluid_synth_get_active_voice_count(synth_) : 0; }

int TFluidSynthPort::Render(int16_t* samples, int frames) {
  if (!synth_ || frames <= 0) return 0;
  if (!ticker_.Enabled() && ActiveVoices() == 0) return 0;
  scratch_.resize(static_cast<size_t>(std::min(frames, kSynthStepFrames)) * 2);
  int done = 0;
  while (done < frames) {
    if (stepLeft_ == 0) {
      ticker_.Step(kSynthStepMs);
      stepLeft_ = kSynthStepFrames;
    }
    const int n = std::min(frames - done, stepLeft_);
    float* f = scratch_.data();
    fluid_synth_write_float(synth_, n, f, 0, 2, f, 1, 2);
    int16_t* out = samples + static_cast<ptrdiff_t>(done) * 2;
    for (int i = 0; i < 2 * n; ++i) {
      // Rounded and saturated.
      const float v = std::isnan(f[i]) ? 0.0f : std::clamp(f[i] * 32768.0f, -32768.0f, 32767.0f);
      out[i] = static_cast<int16_t>(std::lrint(v));
    }
    done += n;
    stepLeft_ -= n;
  }
  return frames;
}

}  // namespace orva::media
