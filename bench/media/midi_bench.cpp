// MIDI: our sequencer driving FluidSynth against FluidSynth's own file
// player (sample timing) on the same dense file, with the same SoundFont,
// settings and 441-frame blocks; and sequencing alone, our load and ticks
// into a counting port against the file player with a counting playback
// callback on a synthesizer without SoundFont, reverb or chorus.
#include <benchmark/benchmark.h>
#include <fluidsynth.h>

#include <string>
#include <vector>

#include "media/midiplayv.h"
#include "media/midisynth.h"
#include "media/midiwriter.h"

namespace {

using namespace orva::media;

constexpr int kSongSeconds = 60;
constexpr int kSteps = kSongSeconds * 100;  // 10 ms each
const char kSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// 16 tracks, one channel each, sixteenth notes at about 180 bpm with
// controllers, pitch bends and a tempo change every bar, for a little more
// than 60 s.
const std::vector<uint8_t>& DenseSong() {
  static const std::vector<uint8_t> song = [] {
    constexpr int kDivision = 96, kSixteenth = kDivision / 4;
    constexpr int kSixteenths = 16 * 4 * 47;  // 47 bars of 4/4 at ~180 bpm: ~62 s
    std::vector<TMidiTrackWriter> tracks(16);
    for (int bar = 0; bar * 16 < kSixteenths; ++bar)
      tracks[0].Tempo(bar * 16 * kSixteenth, bar % 2 ? 326087 : 333333);  // 184 and 180 bpm
    for (int ch = 0; ch < 16; ++ch) {
      TMidiTrackWriter& t = tracks[static_cast<size_t>(ch)];
      t.Channel(0, static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(ch * 7 % 128));
      t.Channel(0, static_cast<uint8_t>(0xB0 | ch), 7, 90);
      for (int i = 0; i < kSixteenths; ++i) {
        const int64_t tick = int64_t{i} * kSixteenth;
        const int key = ch == 9 ? 35 + i % 12 : 36 + ch * 3 + (i * 5) % 24;
        t.Note(tick, ch, key, 60 + (i * 13) % 60, kSixteenth - 2);
        if (i % 2 == 0) t.Channel(tick, static_cast<uint8_t>(0xB0 | ch), 1, static_cast<uint8_t>(i * 3 % 128));
        const int bend = 8192 + ((i * 977) % 4096) - 2048;
        t.Channel(tick + 4, static_cast<uint8_t>(0xE0 | ch), static_cast<uint8_t>(bend & 0x7F),
                  static_cast<uint8_t>(bend >> 7));
      }
    }
    return WriteMidiFile(1, kDivision, tracks);
  }();
  return song;
}

// --- rendering ------------------------------------------------------------------

class SynthSystem : public IMidiSystem {
 public:
  SynthSystem() : port(nullptr, kSoundFont) {}
  TMidiDevices ReadDevices() override { return {TMidiDevice{}}; }
  IMidiOut* Port(int) override { return &port; }
  TFluidSynthPort port;
};

void BM_MidiRenderOurSequencer(benchmark::State& state) {
  SynthSystem system;
  TMidiPlayV player(&system);
  player.OpenPort(kMidiMapper);
  std::vector<int16_t> block(kSynthStepFrames * 2);
  for (auto _ : state) {
    // The file player sends no General MIDI on: neither does this, so that
    // both synthesizers do the same work.
    player.LoadSong(DenseSong());
    player.PlayFrom(0);
    for (int i = 0; i < kSteps; ++i) system.port.Render(block.data(), kSynthStepFrames);
    player.StopSong();
    benchmark::DoNotOptimize(block.data());
  }
}
BENCHMARK(BM_MidiRenderOurSequencer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_MidiRenderFluidPlayer(benchmark::State& state) {
  fluid_settings_t* settings = new_fluid_settings();
  ConfigureSynthSettings(settings);
  fluid_settings_setstr(settings, "player.timing-source", "sample");
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_synth_sfload(synth, kSoundFont, 1);
  std::vector<float> block(kSynthStepFrames * 2);
  for (auto _ : state) {
    fluid_player_t* player = new_fluid_player(synth);
    fluid_player_add_mem(player, DenseSong().data(), DenseSong().size());
    fluid_player_play(player);
    for (int i = 0; i < kSteps; ++i)
      fluid_synth_write_float(synth, kSynthStepFrames, block.data(), 0, 2, block.data(), 1, 2);
    fluid_player_stop(player);
    delete_fluid_player(player);
    fluid_synth_all_notes_off(synth, -1);
    benchmark::DoNotOptimize(block.data());
  }
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
}
BENCHMARK(BM_MidiRenderFluidPlayer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// --- sequencing alone -------------------------------------------------------------

class CountingPort : public IMidiOut {
 public:
  bool Open(Done done) override {
    done_ = std::move(done);
    return true;
  }
  void Close() override { done_ = nullptr; }
  void ShortMessage(uint8_t, uint8_t, uint8_t) override { ++count; }
  void LongMessage(TMidiLongHeader& m) override {
    ++count;
    if (done_) done_(&m);
  }
  void Reset() override {}
  bool External() const override { return false; }
  TMidiTicker* OwnTicker() override { return &ticker; }
  TStepTicker ticker;
  int64_t count = 0;

 private:
  Done done_;
};

class CountingSystem : public IMidiSystem {
 public:
  TMidiDevices ReadDevices() override { return {TMidiDevice{}}; }
  IMidiOut* Port(int) override { return &port; }
  CountingPort port;
};

void BM_MidiSequenceOurs(benchmark::State& state) {
  CountingSystem system;
  TMidiPlayV player(&system);
  player.OpenPort(kMidiMapper);
  for (auto _ : state) {
    player.LoadSong(DenseSong());
    player.PlayFrom(0);
    for (int i = 0; i < kSteps; ++i) system.port.ticker.Step(kSynthStepMs);
    player.StopSong();
  }
  state.counters["events"] = static_cast<double>(system.port.count) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MidiSequenceOurs)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

int CountEvent(void* data, fluid_midi_event_t*) {
  ++*static_cast<int64_t*>(data);
  return FLUID_OK;
}

void BM_MidiSequenceFluidPlayer(benchmark::State& state) {
  fluid_settings_t* settings = new_fluid_settings();
  ConfigureSynthSettings(settings);
  fluid_settings_setint(settings, "synth.reverb.active", 0);
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  fluid_settings_setstr(settings, "player.timing-source", "sample");
  fluid_synth_t* synth = new_fluid_synth(settings);
  std::vector<float> block(kSynthStepFrames * 2);
  int64_t count = 0;
  for (auto _ : state) {
    fluid_player_t* player = new_fluid_player(synth);
    fluid_player_set_playback_callback(player, CountEvent, &count);
    fluid_player_add_mem(player, DenseSong().data(), DenseSong().size());
    fluid_player_play(player);
    for (int i = 0; i < kSteps; ++i)
      fluid_synth_write_float(synth, kSynthStepFrames, block.data(), 0, 2, block.data(), 1, 2);
    fluid_player_stop(player);
    delete_fluid_player(player);
  }
  state.counters["events"] = static_cast<double>(count) / static_cast<double>(state.iterations());
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
}
BENCHMARK(BM_MidiSequenceFluidPlayer)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
