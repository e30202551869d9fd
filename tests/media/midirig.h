// MIDI fixtures: files made by our own writer, a port that records what it
// is sent and ticks when told, and a set of such ports.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/midiplayv.h"
#include "media/midiports.h"
#include "media/midiwriter.h"

namespace orvatest {

using orva::media::TMidiTrackWriter;

// Bytes of a file from a division and tracks.
inline std::vector<uint8_t> MidiFile(int division, const std::vector<TMidiTrackWriter>& tracks, int format = 1) {
  return orva::media::WriteMidiFile(format, division, tracks);
}

// A port that keeps every message (short ones as 2 or 3 bytes) and is
// driven by a step ticker of its own (or the sequencer's timer).
class RecordingPort : public orva::media::IMidiOut {
 public:
  explicit RecordingPort(bool ownTicker = true, bool external = false) : own_(ownTicker), external_(external) {}

  bool Open(Done done) override {
    std::lock_guard lock(mutex_);
    if (refuse) return false;
    done_ = std::move(done);
    open_ = true;
    ++opens;
    return true;
  }
  void Close() override {
    std::lock_guard lock(mutex_);
    open_ = false;
    done_ = nullptr;
    ++closes;
  }
  void ShortMessage(uint8_t status, uint8_t d1, uint8_t d2) override {
    std::vector<uint8_t> m = {status, d1};
    if ((status & 0xE0) != 0xC0) m.push_back(d2);
    Record(std::move(m));
  }
  void LongMessage(orva::media::TMidiLongHeader& h) override {
    Record(h.data);
    if (keepLong) {
      std::lock_guard lock(mutex_);
      kept.push_back(&h);
    } else if (done_) {
      done_(&h);
    }
  }
  void Reset() override { ++resets; }
  bool External() const override { return external_; }
  orva::media::TMidiTicker* OwnTicker() override { return own_ ? &ticker : nullptr; }

  // Lets `ms` pass in 10 ms ticks.
  void Advance(int ms) {
    for (int t = 0; t < ms; t += 10) ticker.Step(10);
  }
  std::vector<std::vector<uint8_t>> Sent() {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  std::vector<std::vector<uint8_t>> TakeSent() {
    std::lock_guard lock(mutex_);
    return std::move(sent_);
  }
  // Finishes one kept system-exclusive message, as a port's callback would.
  void Complete(orva::media::TMidiLongHeader* h) {
    if (done_) done_(h);
  }
  // Called with each message as it is sent (under no lock of the port).
  std::function<void(const std::vector<uint8_t>&)> onSend;

  orva::media::TStepTicker ticker;
  bool refuse = false;
  bool keepLong = false;  // system-exclusive messages stay pending
  std::vector<orva::media::TMidiLongHeader*> kept;
  int opens = 0, closes = 0, resets = 0;

 private:
  void Record(std::vector<uint8_t> m) {
    if (onSend) onSend(m);
    std::lock_guard lock(mutex_);
    sent_.push_back(std::move(m));
  }
  bool own_, external_;
  std::mutex mutex_;
  bool open_ = false;
  Done done_;
  std::vector<std::vector<uint8_t>> sent_;
};

// Ports named "Port 1", "Port 2", ...; device 0 (and the mapper) is the
// first.
class RecordingSystem : public orva::media::IMidiSystem {
 public:
  explicit RecordingSystem(int count = 2) {
    for (int i = 0; i < count; ++i) ports.push_back(std::make_unique<RecordingPort>());
  }
  orva::media::TMidiDevices ReadDevices() override {
    ++reads;
    orva::media::TMidiDevices list;
    for (size_t i = 0; i < ports.size(); ++i) {
      orva::media::TMidiDevice d;
      d.name = "Port " + std::to_string(i + 1);
      list.push_back(d);
    }
    return list;
  }
  orva::media::IMidiOut* Port(int device) override {
    if (device == orva::media::kMidiMapper) device = 0;
    return device >= 0 && static_cast<size_t>(device) < ports.size() ? ports[static_cast<size_t>(device)].get()
                                                                      : nullptr;
  }
  RecordingPort& At(size_t i) { return *ports.at(i); }
  std::vector<std::unique_ptr<RecordingPort>> ports;
  int reads = 0;
};

// Messages of a kind among those sent.
inline bool IsNote(const std::vector<uint8_t>& m) { return (m[0] & 0xE0) == 0x80; }
inline bool IsNoteOn(const std::vector<uint8_t>& m) { return (m[0] & 0xF0) == 0x90 && m[2] > 0; }
inline bool IsAllNotesOff(const std::vector<uint8_t>& m) { return (m[0] & 0xF0) == 0xB0 && m[1] == 123; }

}  // namespace orvatest
