#include "media/midiports.h"

#include <cstdio>

#include "common/cp932.h"
#include "media/alsamidi.h"
#include "media/midisynth.h"

namespace orva::media {

namespace {

std::string VersionText(int major, int minor) {
  char text[16];
  std::snprintf(text, sizeof text, "%2.2d.%2.2d", major, minor);
  return text;
}

class TMidiSystem : public IMidiSystem {
 public:
  explicit TMidiSystem(const TMidiSystemConfig& config) : synth_(config.mixer, config.soundFont) {
    if (config.desktopPorts) sequencer_ = TAlsaSequencer::Open();
    if (sequencer_) destinations_ = sequencer_->ListDestinations();
  }
  // The ports go before the client they send through.
  ~TMidiSystem() override { ports_.clear(); }

  TMidiDevices ReadDevices() override {
    TMidiDevices list;
    TMidiDevice synth;
    synth.name = "FluidSynth";
    synth.driverVersion = VersionText(2, 0);
    synth.technology = TMidiTechnology::SoftwareSynth;
    synth.voices = 256;
    synth.notes = 256;
    list.push_back(synth);
    for (const auto& d : destinations_) {
      TMidiDevice port;
      port.name = MidiDeviceName(d.name);
      port.driverVersion = VersionText(1, 0);
      port.technology = TMidiTechnology::Port;
      list.push_back(port);
    }
    return list;
  }

  IMidiOut* Port(int device) override {
    if (device == kMidiMapper || device == 0) return &synth_;
    const size_t index = static_cast<size_t>(device) - 1;
    if (device < 0 || index >= destinations_.size() || !sequencer_) return nullptr;
    if (ports_.size() < destinations_.size()) ports_.resize(destinations_.size());
    if (!ports_[index]) ports_[index] = sequencer_->MakePort(destinations_[index]);
    return ports_[index].get();
  }

 private:
  TFluidSynthPort synth_;
  std::unique_ptr<TAlsaSequencer> sequencer_;
  std::vector<TAlsaSequencer::Destination> destinations_;
  std::vector<std::unique_ptr<IMidiOut>> ports_;
};

}  // namespace

std::unique_ptr<IMidiSystem> MakeMidiSystem(const TMidiSystemConfig& config) {
  return std::make_unique<TMidiSystem>(config);
}

std::string MidiDeviceName(const std::string& utf8) {
  std::string out;
  size_t chars = 0;
  for (size_t i = 0; i < utf8.size() && chars < kMidiNameChars;) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    // Characters CP932 does not have show as "?".
    try {
      out += cp932::FromUtf8(utf8.substr(i, length));
    } catch (const std::exception&) {
      out += '?';
    }
    i += length;
    ++chars;
  }
  return out;
}

}  // namespace orva::media
