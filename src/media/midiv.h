// Standard MIDI Files read into one time-ordered list of events with their
// millisecond times computed once, at load. TMidiV is the reader; the
// sequencer (midiplayv.h) derives from it and adds playback.
//
// Bad files never fail the load: a file that is not a Standard MIDI File, or
// whose header cannot be used, loads as an empty song (length 0), and a
// track whose data goes wrong ends where it went wrong. Refusal() and
// Problems() say why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orva::media {

// How an event is sent: as a short channel message, as a system-exclusive
// message, or not at all (meta events).
enum class TMidiKind : uint8_t { Channel = 0, SysEx = 1, Meta = 2 };

// What an event is, from its data.
enum class TMidiClass : uint8_t { NoteOn, NoteOff, ControlChange, GsReset, SetTempo, EndOfTrack, Other };

inline constexpr int kMidiChannels = 16;
inline constexpr int kMidiControllers = 128;
inline constexpr uint8_t kCcVolume = 7;
inline constexpr uint8_t kCcAllNotesOff = 123;
// The division a tempo of 500000 us per quarter note is measured against.
inline constexpr int32_t kDefaultTempo = 500000;

// The timing fields of an event.
struct TMidiStdData {
  int64_t tick = 0;      // absolute tick from the start of its track
  int32_t time = 0;      // ms from the start of the song
  int32_t sequence = 0;  // parse order over the whole file; keeps the order of events on one tick
};

struct TMidiMsgEvent : TMidiStdData {
  uint32_t offset = 0;  // where the data sits in the song's byte pool
  uint32_t length = 0;  // status byte and what follows it
  int16_t track = -1;   // the track it came from; -1 for events the loader put in
  TMidiKind kind = TMidiKind::Meta;
  TMidiClass cls = TMidiClass::Other;
};

// The events of one song with their data in one pool.
class TMidiMsgEvents {
 public:
  size_t Count() const { return events_.size(); }
  bool Empty() const { return events_.empty(); }
  const TMidiMsgEvent& operator[](size_t i) const { return events_[i]; }
  TMidiMsgEvent& operator[](size_t i) { return events_[i]; }
  std::vector<TMidiMsgEvent>& List() { return events_; }
  const std::vector<TMidiMsgEvent>& List() const { return events_; }
  const uint8_t* Data(const TMidiMsgEvent& e) const { return pool_.data() + e.offset; }
  std::span<const uint8_t> Bytes(const TMidiMsgEvent& e) const { return {Data(e), e.length}; }

  // Appends an event whose data is `bytes`; kind and class follow from them.
  TMidiMsgEvent& Add(std::span<const uint8_t> bytes, TMidiKind kind);
  // Puts an event with `bytes` before index `at`.
  void Insert(size_t at, std::span<const uint8_t> bytes, TMidiKind kind, const TMidiStdData& timing);
  void Clear();
  void Reserve(size_t events, size_t bytes);

 private:
  uint32_t Store(std::span<const uint8_t> bytes);
  std::vector<TMidiMsgEvent> events_;
  std::vector<uint8_t> pool_;
};

// The class of an event with these bytes.
TMidiClass ClassifyMidi(std::span<const uint8_t> bytes, TMidiKind kind);
// A system-exclusive message a port can take: F0, data bytes, F7.
bool IsCompleteSysEx(std::span<const uint8_t> bytes);

class TMidiV {
 public:
  // Songs longer than this are refused.
  static constexpr int64_t kMaxSongMs = 0x7FFFFFFF;

  TMidiV() = default;
  virtual ~TMidiV() = default;
  TMidiV(const TMidiV&) = delete;
  TMidiV& operator=(const TMidiV&) = delete;

  // Reads the whole file. The list is sorted by tick, then parse order; the
  // times follow the tempo map (a tempo applies from its own tick on). When
  // no event sets controller 7, 16 events set it to 127 just before the
  // first note.
  void LoadSong(std::span<const uint8_t> file);

  const TMidiMsgEvents& Events() const { return events_; }
  int Format() const { return format_; }
  int TrackCount() const { return trackCount_; }
  // The header's division as stored (bit 15 set: SMPTE frames and ticks).
  int Division() const { return division_; }
  // The time of the last event, ms.
  int32_t SongLength() const { return songLength_; }
  // Why the last load gave an empty song ("" when it did not).
  const std::string& Refusal() const { return refusal_; }
  // Tracks that ended early, and why.
  const std::vector<std::string>& Problems() const { return problems_; }

 protected:
  // Around the change of the event list (the sequencer holds its ticks).
  virtual void BeforeLoad() {}
  virtual void AfterLoad() {}

  TMidiMsgEvents events_;

 private:
  void Parse(std::span<const uint8_t> file);
  void ReadTrack(std::span<const uint8_t> chunk, int track, int32_t& sequence);
  bool ComputeTimes();
  void InsertVolumes();
  void Refuse(std::string why);

  int format_ = 0, trackCount_ = 0, division_ = 0;
  int32_t songLength_ = 0;
  std::string refusal_;
  std::vector<std::string> problems_;
};

}  // namespace orva::media
