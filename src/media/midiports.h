// MIDI output ports behind one interface, and the list of them.
//
// Device 0 is the General MIDI synthesizer rendering into the mixer (also
// what the mapper, device -1, opens); devices 1 and on are the sequencer
// ports of the desktop, listed only when the machine has a sequencer and
// the run has a window. The list is read once, when a sequencer is made.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orva::media {

class TMidiTicker;
class TWavOut;

// What a device is.
enum class TMidiTechnology : uint16_t { Port = 1, Synth = 2, SoftwareSynth = 7 };

struct TMidiDevice {
  uint16_t manufacturerId = 0;
  uint16_t productId = 0;
  std::string driverVersion;  // "%2.2d.%2.2d"
  std::string name;           // CP932, at most 32 characters
  TMidiTechnology technology = TMidiTechnology::Port;
  uint16_t voices = 0;
  uint16_t notes = 0;
  uint16_t channelMask = 0xFFFF;
  uint32_t support = 0;
};
using TMidiDevices = std::vector<TMidiDevice>;

// The name of list entry 0, which opens the mapper.
inline constexpr const char* kMidiMapperName = "MIDIマッパー";
inline constexpr int kMidiMapper = -1;
// The longest device name, in characters.
inline constexpr size_t kMidiNameChars = 32;

// A system-exclusive message on its way to a port: the whole message, F0
// to F7. The sequencer owns it until the port reports it done.
struct TMidiLongHeader {
  std::vector<uint8_t> data;
};

class IMidiOut {
 public:
  using Done = std::function<void(TMidiLongHeader*)>;
  virtual ~IMidiOut() = default;

  // Opens the port; `done` is called (possibly on another thread, possibly
  // before LongMessage returns) for each system-exclusive message the port
  // has finished with. False when the port cannot be opened.
  virtual bool Open(Done done) = 0;
  // After Close the port calls `done` no more.
  virtual void Close() = 0;
  // A channel message: status, then one or two data bytes below 0x80
  // (`data2` is 0 for messages with one).
  virtual void ShortMessage(uint8_t status, uint8_t data1, uint8_t data2) = 0;
  virtual void LongMessage(TMidiLongHeader& message) = 0;
  // Every sounding note off; pending system-exclusive messages are done.
  virtual void Reset() = 0;
  // An external port follows the system clock: the sequencer's timer
  // drives it, and it needs time to settle after a reset message.
  virtual bool External() const = 0;
  // The ticker that drives a port with its own sense of time (the
  // synthesizer); null for the sequencer's timer.
  virtual TMidiTicker* OwnTicker() = 0;
};

// The machine's ports.
class IMidiSystem {
 public:
  virtual ~IMidiSystem() = default;
  virtual TMidiDevices ReadDevices() = 0;
  // The port of device `device` (kMidiMapper: the synthesizer), owned by
  // the system; null when there is none.
  virtual IMidiOut* Port(int device) = 0;
};

// The ports a player has: the synthesizer, and the desktop's sequencer
// ports when `desktopPorts` is set and the machine has a sequencer.
struct TMidiSystemConfig {
  TWavOut* mixer = nullptr;  // where the synthesizer renders; null: nowhere
  std::string soundFont;     // host path of the General MIDI bank; "": silent
  bool desktopPorts = false;
};
std::unique_ptr<IMidiSystem> MakeMidiSystem(const TMidiSystemConfig& config);

// A device name as the list shows it: CP932, at most kMidiNameChars
// characters.
std::string MidiDeviceName(const std::string& utf8);

}  // namespace orva::media
