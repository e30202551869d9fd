#include "media/midiv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace orva::media {

namespace {

// Larger files are not MIDI songs; refusing them keeps the pool offsets in
// 32 bits.
constexpr size_t kMaxFileBytes = size_t{256} << 20;
constexpr std::array<uint8_t, 11> kGsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
int Be16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

// A variable-length quantity of at most 4 bytes; false when it runs past
// the data or goes on longer.
bool ReadVlq(std::span<const uint8_t> data, size_t& pos, uint64_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= data.size()) return false;
    const uint8_t b = data[pos++];
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Data bytes of a channel message after its status.
int DataBytesOf(uint8_t status) { return (status & 0xE0) == 0xC0 ? 1 : 2; }

}  // namespace

// --- events ----------------------------------------------------------------

TMidiClass ClassifyMidi(std::span<const uint8_t> b, TMidiKind kind) {
  if (b.empty()) return TMidiClass::Other;
  switch (kind) {
    case TMidiKind::Channel:
      switch (b[0] & 0xF0) {
        case 0x90: return b.size() > 2 && b[2] > 0 ? TMidiClass::NoteOn : TMidiClass::NoteOff;
        case 0x80: return TMidiClass::NoteOff;
        case 0xB0: return TMidiClass::ControlChange;
        default: return TMidiClass::Other;
      }
    case TMidiKind::SysEx:
      return std::equal(b.begin(), b.end(), kGsReset.begin(), kGsReset.end()) ? TMidiClass::GsReset
                                                                                : TMidiClass::Other;
    case TMidiKind::Meta:
      if (b.size() < 2) return TMidiClass::Other;
      if (b[1] == 0x2F) return TMidiClass::EndOfTrack;
      // A tempo needs its three bytes, and 0 would put the rest of the song
      // at one instant: such events change nothing.
      if (b[1] == 0x51 && b.size() >= 5 && (b[2] | b[3] | b[4]) != 0) return TMidiClass::SetTempo;
      return TMidiClass::Other;
  }
  return TMidiClass::Other;
}

bool IsCompleteSysEx(std::span<const uint8_t> b) {
  if (b.size() < 2 || b.front() != 0xF0 || b.back() != 0xF7) return false;
  return std::all_of(b.begin() + 1, b.end() - 1, [](uint8_t v) { return v < 0x80; });
}

uint32_t TMidiMsgEvents::Store(std::span<const uint8_t> bytes) {
  const auto at = static_cast<uint32_t>(pool_.size());
  pool_.insert(pool_.end(), bytes.begin(), bytes.end());
  return at;
}

TMidiMsgEvent& TMidiMsgEvents::Add(std::span<const uint8_t> bytes, TMidiKind kind) {
  TMidiMsgEvent e;
  e.offset = Store(bytes);
  e.length = static_cast<uint32_t>(bytes.size());
  e.kind = kind;
  e.cls = ClassifyMidi(bytes, kind);
  events_.push_back(e);
  return events_.back();
}

void TMidiMsgEvents::Insert(size_t at, std::span<const uint8_t> bytes, TMidiKind kind, const TMidiStdData& timing) {
  TMidiMsgEvent e;
  static_cast<TMidiStdData&>(e) = timing;
  e.offset = Store(bytes);
  e.length = static_cast<uint32_t>(bytes.size());
  e.kind = kind;
  e.cls = ClassifyMidi(bytes, kind);
  events_.insert(events_.begin() + static_cast<ptrdiff_t>(std::min(at, events_.size())), e);
}

void TMidiMsgEvents::Reserve(size_t events, size_t bytes) {
  events_.reserve(events);
  pool_.reserve(bytes);
}

void TMidiMsgEvents::Clear() {
  events_.clear();
  pool_.clear();
}

// --- TMidiV ----------------------------------------------------------------

void TMidiV::LoadSong(std::span<const uint8_t> file) {
  BeforeLoad();
  try {
    Parse(file);
  } catch (...) {
    events_.Clear();
    songLength_ = 0;
    AfterLoad();
    throw;
  }
  AfterLoad();
}

void TMidiV::Refuse(std::string why) {
  events_.Clear();
  songLength_ = 0;
  refusal_ = std::move(why);
}

void TMidiV::Parse(std::span<const uint8_t> file) {
  events_.Clear();
  problems_.clear();
  refusal_.clear();
  format_ = trackCount_ = division_ = 0;
  songLength_ = 0;

  const uint8_t* d = file.data();
  if (file.size() < 4 || std::memcmp(d, "MThd", 4) != 0) return Refuse("not a Standard MIDI File (no \"MThd\")");
  if (file.size() > kMaxFileBytes) return Refuse("larger than 256 MiB");
  if (file.size() < 14) return Refuse("the header is cut short");
  const uint32_t headerLength = Be32(d + 4);
  format_ = Be16(d + 8);
  trackCount_ = Be16(d + 10);
  division_ = Be16(d + 12);
  if (division_ == 0) return Refuse("division 0");
  if ((division_ & 0x8000) && (division_ & 0xFF) == 0) return Refuse("SMPTE division of 0 ticks per frame");

  // Each chunk is read within its length (clamped to the file); the next
  // one starts after it. Chunks other than "MTrk" are skipped and do not
  // count as tracks.
  uint64_t pos = 8 + std::max<uint64_t>(6, headerLength);
  int32_t sequence = 0;
  int tracks = 0;
  // Room for what a file of this size usually holds (about one event in
  // three bytes), within reason for large ones.
  const size_t guess = std::min<size_t>(file.size(), size_t{8} << 20);
  events_.Reserve(guess / 3 + 32, guess);
  // Each track's events are in order already: where each one starts.
  std::vector<size_t> runs;
  while (tracks < trackCount_ && pos + 8 <= file.size()) {
    const uint64_t length = Be32(d + pos + 4);
    const uint64_t start = pos + 8;
    const uint64_t end = std::min<uint64_t>(start + length, file.size());
    if (std::memcmp(d + pos, "MTrk", 4) == 0) {
      if (start + length > file.size()) problems_.push_back("track " + std::to_string(tracks) + ": cut short");
      runs.push_back(events_.Count());
      ReadTrack(file.subspan(start, end - start), tracks, sequence);
      ++tracks;
    }
    pos = start + length;
  }
  if (tracks < trackCount_)
    problems_.push_back("the header names " + std::to_string(trackCount_) + " tracks; the file holds " +
                        std::to_string(tracks));

  // Sorted by tick, then parse order: the tracks' runs merged in pairs.
  auto& list = events_.List();
  auto before = [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.sequence < b.sequence;
  };
  runs.push_back(list.size());
  while (runs.size() > 2) {
    std::vector<size_t> merged;
    for (size_t i = 0; i + 2 < runs.size(); i += 2) {
      std::inplace_merge(list.begin() + static_cast<ptrdiff_t>(runs[i]), list.begin() + static_cast<ptrdiff_t>(runs[i + 1]),
                         list.begin() + static_cast<ptrdiff_t>(runs[i + 2]), before);
      merged.push_back(runs[i]);
    }
    if (runs.size() % 2 == 0) merged.push_back(runs[runs.size() - 2]);
    merged.push_back(runs.back());
    runs = std::move(merged);
  }
  if (!ComputeTimes()) return Refuse("longer than 2147483647 ms");
  InsertVolumes();
  songLength_ = events_.Empty() ? 0 : events_[events_.Count() - 1].time;
}

void TMidiV::ReadTrack(std::span<const uint8_t> chunk, int track, int32_t& sequence) {
  size_t p = 0;
  int64_t tick = 0, lastTick = 0;
  uint8_t running = 0;
  std::vector<uint8_t> bytes;
  auto add = [&](TMidiKind kind) {
    TMidiMsgEvent& e = events_.Add(bytes, kind);
    e.tick = tick;
    e.sequence = sequence++;
    e.track = static_cast<int16_t>(track);
    lastTick = tick;
  };
  auto problem = [&](const std::string& why) {
    problems_.push_back("track " + std::to_string(track) + ": " + why + " at byte " + std::to_string(p));
  };

  bool ended = false;
  while (p < chunk.size()) {
    uint64_t delta = 0;
    if (!ReadVlq(chunk, p, delta)) {
      problem("a bad delta time");
      break;
    }
    tick += static_cast<int64_t>(delta);
    if (p >= chunk.size()) {
      problem("an event cut short");
      break;
    }
    uint8_t status = chunk[p];
    if (status & 0x80) {
      ++p;
      // Only channel statuses run on; meta and system-exclusive events
      // neither set nor clear the running status.
      if (status < 0xF0) running = status;
    } else if (running) {
      status = running;
    } else {
      problem("a data byte without a running status");
      break;
    }

    bytes.assign(1, status);
    if (status < 0xF0) {
      const int need = DataBytesOf(status);
      if (p + static_cast<size_t>(need) > chunk.size()) {
        problem("an event cut short");
        break;
      }
      bool bad = false;
      for (int i = 0; i < need; ++i) {
        bad = bad || (chunk[p + static_cast<size_t>(i)] & 0x80);
        bytes.push_back(chunk[p + static_cast<size_t>(i)]);
      }
      if (bad) {
        problem("a status byte where a data byte belongs");
        break;
      }
      p += static_cast<size_t>(need);
      add(TMidiKind::Channel);
      continue;
    }

    const bool meta = status == 0xFF;
    if (meta) {
      if (p >= chunk.size()) {
        problem("an event cut short");
        break;
      }
      bytes.push_back(chunk[p++]);
    }
    uint64_t length = 0;
    if (!ReadVlq(chunk, p, length) || length > chunk.size() - p) {
      problem("a length past the end of the track");
      break;
    }
    bytes.insert(bytes.end(), chunk.begin() + static_cast<ptrdiff_t>(p),
                 chunk.begin() + static_cast<ptrdiff_t>(p + length));
    p += static_cast<size_t>(length);
    add(meta ? TMidiKind::Meta : TMidiKind::SysEx);
    if (meta && bytes[1] == 0x2F) {
      ended = true;
      break;
    }
  }
  // Every track ends with an end-of-track event: the song's last event is
  // never sent, and it must not be a note off that would then hang.
  if (!ended) {
    bytes = {0xFF, 0x2F, 0x00};
    tick = lastTick;
    add(TMidiKind::Meta);
  }
}

bool TMidiV::ComputeTimes() {
  const bool smpte = (division_ & 0x8000) != 0;
  float msPerTick = 0;
  if (smpte) {
    const int fps = -static_cast<int8_t>(division_ >> 8);
    const double rate = fps == 29 ? 29.97 : fps;
    msPerTick = static_cast<float>(1000.0 / (rate * (division_ & 0xFF)));
  }
  int64_t tempo = kDefaultTempo;
  int64_t prevTick = 0, prevTime = 0;
  for (TMidiMsgEvent& e : events_.List()) {
    if (!smpte) msPerTick = static_cast<float>(static_cast<double>(tempo) / division_ / 1000.0);
    const double step = static_cast<double>(msPerTick) * static_cast<double>(e.tick - prevTick);
    if (step > static_cast<double>(kMaxSongMs)) return false;
    const int64_t time = prevTime + static_cast<int64_t>(std::nearbyint(step));
    if (time > kMaxSongMs) return false;
    e.time = static_cast<int32_t>(time);
    prevTime = time;
    prevTick = e.tick;
    // A tempo applies from its own tick on.
    if (!smpte && e.cls == TMidiClass::SetTempo) {
      const uint8_t* t = events_.Data(e) + 2;
      tempo = (int64_t{t[0]} << 16) | (int64_t{t[1]} << 8) | t[2];
    }
  }
  return true;
}

void TMidiV::InsertVolumes() {
  const auto& list = events_.List();
  for (const TMidiMsgEvent& e : list) {
    const uint8_t* b = events_.Data(e);
    if (e.cls == TMidiClass::ControlChange && b[1] == kCcVolume) return;
  }
  // Just before the first note, with its time, so the list stays in time
  // order; at the end when there is no note.
  size_t at = list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    if (events_.Data(list[i])[0] < 0xB0) {
      at = i;
      break;
    }
  }
  TMidiStdData timing;
  if (at < list.size()) timing = list[at];
  else if (!list.empty()) timing = list.back();
  timing.sequence = -1;
  for (int ch = kMidiChannels - 1; ch >= 0; --ch) {
    const uint8_t cc[3] = {static_cast<uint8_t>(0xB0 | ch), kCcVolume, 0x7F};
    events_.Insert(at, cc, TMidiKind::Channel, timing);
  }
}

}  // namespace orva::media
