// Standard MIDI Files written from tracks of events at absolute ticks: the
// writer behind "orvatool midi make", test fixtures and fuzz seeds. Raw
// bytes and a track without its end let fixtures say what a damaged file
// says.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orva::media {

// A variable-length quantity (values up to 0x0FFFFFFF).
void AppendVlq(std::vector<uint8_t>& out, uint32_t value);
// A chunk: 4-byte id, big-endian length, the bytes.
std::vector<uint8_t> MidiChunk(const char* id, std::span<const uint8_t> bytes);

class TMidiTrackWriter {
 public:
  // Events at absolute ticks; events on one tick keep the order they were
  // given in.
  void Channel(int64_t tick, uint8_t status, uint8_t data1, uint8_t data2 = 0);
  void Note(int64_t tick, int channel, int key, int velocity, int64_t length);
  void Meta(int64_t tick, uint8_t type, std::span<const uint8_t> data = {});
  void Tempo(int64_t tick, uint32_t microsecondsPerQuarter);
  // A whole system-exclusive message, F0 to F7, as given.
  void SysEx(int64_t tick, std::span<const uint8_t> message);
  // Bytes written after the delta time exactly as they are.
  void Raw(int64_t tick, std::span<const uint8_t> bytes);
  // Channel messages leave out a status equal to the one before.
  void SetRunningStatus(bool on) { running_ = on; }
  // The track ends at `tick` (default: its last event), or has no end.
  void EndAt(int64_t tick) { endTick_ = tick; }
  void NoEnd() { end_ = false; }

  // The track's data (without its chunk header).
  std::vector<uint8_t> Bytes() const;

 private:
  enum class Type { Channel, Other };
  struct Event {
    int64_t tick;
    Type type;
    std::vector<uint8_t> bytes;
  };
  std::vector<Event> events_;
  bool running_ = false;
  bool end_ = true;
  int64_t endTick_ = -1;
};

// Header and tracks. `division` is the header's 16 bits as stored.
std::vector<uint8_t> WriteMidiFile(int format, int division, const std::vector<TMidiTrackWriter>& tracks);
// The division of SMPTE timing: frames per second (24, 25, 29 for 29.97,
// 30) and ticks per frame.
int SmpteDivision(int framesPerSecond, int ticksPerFrame);

}  // namespace orva::media
