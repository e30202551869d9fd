// The General MIDI synthesizer port: FluidSynth at 44100 Hz with no audio
// driver and no threads of its own, whose output is one buffer of the
// mixer. Before each 10 ms (441 frames) of sound it renders, it steps its
// ticker by exactly 10 ms, so the sequencer's events fall on the rendered
// sound the same way whatever the mixer's block length, and a run that
// follows game time sounds the same every time.
#pragma once

#include <string>
#include <vector>

#include "media/midiports.h"
#include "media/miditimers.h"
#include "media/wavouts.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace orva::media {

// The synthesizer's fixed output gain (FluidSynth's own scale; its default
// is 0.2). Loud General MIDI songs stay below full scale at this gain.
inline constexpr double kSynthGain = 0.5;
inline constexpr int kSynthStepFrames = 441;  // 10 ms at 44100 Hz
inline constexpr int kSynthStepMs = 10;

// The synthesizer's settings: 44100 Hz, the fixed gain, reverb and chorus
// on, no threads of its own.
void ConfigureSynthSettings(fluid_settings_t* settings);

// The General MIDI bank: the first of `override` (ORVA_SOUNDFONT),
// `configured` ([Midi] "SoundFont" of "game.ini"), then "default-GM.sf2",
// "TimGM6mb.sf2" and "FluidR3_GM.sf2" in `folder`, that is a file; "" when
// none is.
std::string FindSoundFont(const std::string& override, const std::string& configured,
                          const std::string& folder = "/usr/share/sounds/sf2");

class TFluidSynthPort : public IMidiOut, public IWavRenderer {
 public:
  // Renders into a buffer of `mixer` when one is given (otherwise only
  // through Render). The bank is loaded when the port first opens; without
  // one the port plays silence, with one warning.
  TFluidSynthPort(TWavOut* mixer, std::string soundFont);
  ~TFluidSynthPort() override;
  TFluidSynthPort(const TFluidSynthPort&) = delete;
  TFluidSynthPort& operator=(const TFluidSynthPort&) = delete;

  bool Open(Done done) override;
  void Close() override;
  void ShortMessage(uint8_t status, uint8_t data1, uint8_t data2) override;
  void LongMessage(TMidiLongHeader& message) override;
  void Reset() override;
  bool External() const override { return false; }
  TMidiTicker* OwnTicker() override { return &ticker_; }

  // Output-format frames: steps the ticker before each 441 frames, then
  // renders. A stopped sequencer with no sounding voice gives nothing (0).
  int Render(int16_t* samples, int frames) override;
  bool HasSoundFont() const { return fontId_ >= 0; }
  int ActiveVoices() const;

 private:
  void LoadSoundFont();

  TWavOut* mixer_;
  TWavBuffer* buffer_ = nullptr;
  std::string soundFont_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  int fontId_ = -1;
  bool fontTried_ = false;
  bool open_ = false;
  Done done_;
  TStepTicker ticker_;
  int stepLeft_ = 0;  // frames until the next step
  std::vector<float> scratch_;
};

// FluidSynth's log lines go to ours (errors as warnings, the rest to the
// trace). Called by the port; safe to call more than once.
void RouteFluidSynthLog();

}  // namespace orva::media
