// The MIDI reader and sequencer on hostile bytes: byte 0 holds flags (bit 0
// loop, bit 1 halve the volume, bit 2 stop and resume midway), bytes 1-4 a
// position in ms (little-endian), the rest is the file. The song is loaded,
// played from that position and ticked across (10 ms ticks, then 1 s ones,
// at most ten minutes of song time) into a port that checks that every
// message is well formed: a status first, data bytes below 0x80, system
// exclusive from F0 to F7.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "media/midiplayv.h"

namespace {

using namespace orva::media;

class CheckingPort : public IMidiOut {
 public:
  bool Open(Done done) override {
    done_ = std::move(done);
    return true;
  }
  void Close() override { done_ = nullptr; }
  void ShortMessage(uint8_t status, uint8_t d1, uint8_t d2) override {
    if (status < 0x80 || status >= 0xF0 || d1 >= 0x80 || d2 >= 0x80) std::abort();
    if ((status & 0xE0) == 0xC0 && d2 != 0) std::abort();
  }
  void LongMessage(TMidiLongHeader& m) override {
    if (!IsCompleteSysEx(m.data)) std::abort();
    if (done_) done_(&m);
  }
  void Reset() override {}
  bool External() const override { return false; }
  TMidiTicker* OwnTicker() override { return &ticker; }
  TStepTicker ticker;

 private:
  Done done_;
};

class OnePort : public IMidiSystem {
 public:
  TMidiDevices ReadDevices() override { return {TMidiDevice{}}; }
  IMidiOut* Port(int) override { return &port; }
  CheckingPort port;
};

struct Rig {
  OnePort system;
  TMidiPlayV player{&system};
  Rig() { player.OpenPort(kMidiMapper); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  static Rig rig;
  const uint8_t flags = data[0];
  const uint32_t position = data[1] | (data[2] << 8) | (data[3] << 16) | (static_cast<uint32_t>(data[4]) << 24);
  TMidiPlayV& p = rig.player;
  p.LoadSong(std::span(data + 5, size - 5));
  p.SetLoop(flags & 1);
  p.SetControllerScale(kCcVolume, (flags & 2) ? 50 : 100);
  p.SendSystemOn();
  p.PlayFrom(static_cast<int32_t>(position % (static_cast<uint32_t>(p.SongLength()) + 2000)));
  int64_t left = 600000;
  for (int i = 0; left > 0; ++i) {
    const int step = i < 100 ? 10 : 1000;
    rig.system.port.ticker.Step(step);
    left -= step;
    if ((flags & 4) && i == 50) {
      const int32_t at = p.SongTime();
      p.StopSong();
      p.PlayFrom(at);
    }
    if (p.IsSongEnd() && !(flags & 1)) break;
  }
  p.StopSong();
  return 0;
}
