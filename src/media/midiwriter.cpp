#include "media/midiwriter.h"

#include <algorithm>

namespace orva::media {

void AppendVlq(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = value & 0x7F;
  while ((value >>= 7) != 0) bytes[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out.push_back(bytes[--n]);
}

std::vector<uint8_t> MidiChunk(const char* id, std::span<const uint8_t> bytes) {
  std::vector<uint8_t> out(id, id + 4);
  const auto n = static_cast<uint32_t>(bytes.size());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(n >> shift));
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

void TMidiTrackWriter::Channel(int64_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
  std::vector<uint8_t> b = {status, data1};
  if ((status & 0xE0) != 0xC0) b.push_back(data2);
  events_.push_back({tick, Type::Channel, std::move(b)});
}

void TMidiTrackWriter::Note(int64_t tick, int channel, int key, int velocity, int64_t length) {
  const auto ch = static_cast<uint8_t>(channel & 0x0F);
  Channel(tick, static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity));
  Channel(tick + length, static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0x40);
}

void TMidiTrackWriter::Meta(int64_t tick, uint8_t type, std::span<const uint8_t> data) {
  std::vector<uint8_t> b = {0xFF, type};
  AppendVlq(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  events_.push_back({tick, Type::Other, std::move(b)});
}

void TMidiTrackWriter::Tempo(int64_t tick, uint32_t us) {
  const uint8_t t[3] = {static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)};
  Meta(tick, 0x51, t);
}

void TMidiTrackWriter::SysEx(int64_t tick, std::span<const uint8_t> message) {
  std::vector<uint8_t> b;
  if (message.empty()) return;
  b.push_back(message[0]);
  AppendVlq(b, static_cast<uint32_t>(message.size() - 1));
  b.insert(b.end(), message.begin() + 1, message.end());
  events_.push_back({tick, Type::Other, std::move(b)});
}

void TMidiTrackWriter::Raw(int64_t tick, std::span<const uint8_t> bytes) {
  events_.push_back({tick, Type::Other, std::vector<uint8_t>(bytes.begin(), bytes.end())});
}

std::vector<uint8_t> TMidiTrackWriter::Bytes() const {
  std::vector<const Event*> order;
  for (const Event& e : events_) order.push_back(&e);
  std::stable_sort(order.begin(), order.end(), [](const Event* a, const Event* b) { return a->tick < b->tick; });
  std::vector<uint8_t> out;
  int64_t last = 0;
  uint8_t running = 0;
  for (const Event* e : order) {
    AppendVlq(out, static_cast<uint32_t>(std::max<int64_t>(0, e->tick - last)));
    last = std::max(last, e->tick);
    auto from = e->bytes.begin();
    if (e->type == Type::Channel) {
      if (running_ && e->bytes[0] == running) ++from;
      running = e->bytes[0];
    }
    out.insert(out.end(), from, e->bytes.end());
  }
  if (end_) {
    AppendVlq(out, static_cast<uint32_t>(std::max<int64_t>(0, endTick_ - last)));
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
  }
  return out;
}

std::vector<uint8_t> WriteMidiFile(int format, int division, const std::vector<TMidiTrackWriter>& tracks) {
  const uint8_t header[6] = {static_cast<uint8_t>(format >> 8),   static_cast<uint8_t>(format),
                             static_cast<uint8_t>(tracks.size() >> 8), static_cast<uint8_t>(tracks.size()),
                             static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
  std::vector<uint8_t> out = MidiChunk("MThd", header);
  for (const TMidiTrackWriter& t : tracks) {
    const std::vector<uint8_t> chunk = MidiChunk("MTrk", t.Bytes());
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

int SmpteDivision(int framesPerSecond, int ticksPerFrame) {
  return ((-framesPerSecond & 0xFF) << 8) | (ticksPerFrame & 0xFF);
}

}  // namespace orva::media
