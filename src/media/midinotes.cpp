#include "media/midinotes.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "common/errors.h"
#include "media/midiwriter.h"

namespace orva::media {

namespace {

struct Line {
  int number;
  std::vector<std::string> words;

  [[noreturn]] void Fail(const std::string& why) const {
    throw OrvaError::Utf8("line " + std::to_string(number) + ": " + why);
  }
  void Need(size_t least, size_t most, const char* form) const {
    if (words.size() < least || words.size() > most) Fail(std::string("expected \"") + form + "\"");
  }
  int64_t Number(size_t i, int64_t low, int64_t high) const {
    const std::string& w = words.at(i);
    char* end = nullptr;
    const long long v = std::strtoll(w.c_str(), &end, 0);
    if (w.empty() || *end != '\0' || v < low || v > high)
      Fail("\"" + w + "\" is not a number from " + std::to_string(low) + " to " + std::to_string(high));
    return v;
  }
  uint8_t Byte7(size_t i) const { return static_cast<uint8_t>(Number(i, 0, 127)); }
  int64_t Tick(size_t i) const { return Number(i, 0, 0x0FFFFFFF); }
  uint8_t Channel(size_t i) const { return static_cast<uint8_t>(Number(i, 0, 15)); }
  uint8_t Key(size_t i) const {
    const int k = MidiKeyOf(words.at(i));
    if (k < 0) Fail("\"" + words[i] + "\" is not a key (0 ... 127, or a name like C4, F#3, Bb2)");
    return static_cast<uint8_t>(k);
  }
  std::vector<uint8_t> Hex(size_t from) const {
    std::vector<uint8_t> out;
    for (size_t i = from; i < words.size(); ++i) {
      char* end = nullptr;
      const long v = std::strtol(words[i].c_str(), &end, 16);
      if (words[i].empty() || words[i].size() > 2 || *end != '\0' || v < 0) Fail("\"" + words[i] + "\" is not a hex byte");
      out.push_back(static_cast<uint8_t>(v));
    }
    return out;
  }
};

}  // namespace

int MidiKeyOf(const std::string& text) {
  if (text.empty()) return -1;
  if (std::isdigit(static_cast<unsigned char>(text[0]))) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && v >= 0 && v <= 127 ? static_cast<int>(v) : -1;
  }
  static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (letter < 'A' || letter > 'G') return -1;
  int key = kSteps[letter - 'A'];
  size_t i = 1;
  if (i < text.size() && (text[i] == '#' || text[i] == 'b')) key += text[i++] == '#' ? 1 : -1;
  char* end = nullptr;
  const long octave = std::strtol(text.c_str() + i, &end, 10);
  if (i >= text.size() || *end != '\0' || octave < -1 || octave > 9) return -1;
  key += static_cast<int>(octave + 1) * 12;
  return key >= 0 && key <= 127 ? key : -1;
}

std::vector<uint8_t> MakeMidiFromNotes(const std::string& text) {
  int format = -1;
  int division = 96;
  std::vector<TMidiTrackWriter> tracks;
  auto track = [&]() -> TMidiTrackWriter& {
    if (tracks.empty()) tracks.emplace_back();
    return tracks.back();
  };

  std::istringstream in(text);
  std::string raw;
  for (int number = 1; std::getline(in, raw); ++number) {
    // A comment starts with "#" at the start of a word ("F#3" is a key).
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '#' && (i == 0 || raw[i - 1] == ' ' || raw[i - 1] == '\t')) {
        raw.erase(i);
        break;
      }
    }
    Line l{number, {}};
    std::istringstream words(raw);
    for (std::string w; words >> w;) l.words.push_back(w);
    if (l.words.empty()) continue;
    const std::string& op = l.words[0];

    if (op == "format") {
      l.Need(2, 2, "format 0|1|2");
      format = static_cast<int>(l.Number(1, 0, 2));
    } else if (op == "division") {
      if (l.words.size() == 4 && l.words[1] == "smpte") {
        const auto fps = l.Number(2, 1, 128);
        division = SmpteDivision(static_cast<int>(fps), static_cast<int>(l.Number(3, 1, 255)));
      } else {
        l.Need(2, 2, "division TICKS | division smpte FPS TICKS");
        division = static_cast<int>(l.Number(1, 1, 0x7FFF));
      }
    } else if (op == "track") {
      tracks.emplace_back();
    } else if (op == "running") {
      l.Need(2, 2, "running on|off");
      if (l.words[1] != "on" && l.words[1] != "off") l.Fail("expected \"running on|off\"");
      track().SetRunningStatus(l.words[1] == "on");
    } else if (op == "tempo") {
      l.Need(3, 3, "tempo TICK MICROSECONDS");
      track().Tempo(l.Tick(1), static_cast<uint32_t>(l.Number(2, 1, 0xFFFFFF)));
    } else if (op == "bpm") {
      l.Need(3, 3, "bpm TICK BPM");
      track().Tempo(l.Tick(1), static_cast<uint32_t>(60000000 / l.Number(2, 4, 1000)));
    } else if (op == "note") {
      l.Need(6, 6, "note TICK CHANNEL KEY VELOCITY LENGTH");
      track().Note(l.Tick(1), l.Channel(2), l.Key(3), static_cast<int>(l.Number(4, 1, 127)), l.Tick(5));
    } else if (op == "on" || op == "off") {
      l.Need(4, 5, "on|off TICK CHANNEL KEY [VELOCITY]");
      const uint8_t velocity = l.words.size() == 5 ? l.Byte7(4) : (op == "on" ? 100 : 64);
      track().Channel(l.Tick(1), static_cast<uint8_t>((op == "on" ? 0x90 : 0x80) | l.Channel(2)), l.Key(3), velocity);
    } else if (op == "cc") {
      l.Need(5, 5, "cc TICK CHANNEL CONTROLLER VALUE");
      track().Channel(l.Tick(1), static_cast<uint8_t>(0xB0 | l.Channel(2)), l.Byte7(3), l.Byte7(4));
    } else if (op == "program") {
      l.Need(4, 4, "program TICK CHANNEL PROGRAM");
      track().Channel(l.Tick(1), static_cast<uint8_t>(0xC0 | l.Channel(2)), l.Byte7(3));
    } else if (op == "pressure") {
      l.Need(4, 4, "pressure TICK CHANNEL VALUE");
      track().Channel(l.Tick(1), static_cast<uint8_t>(0xD0 | l.Channel(2)), l.Byte7(3));
    } else if (op == "keypressure") {
      l.Need(5, 5, "keypressure TICK CHANNEL KEY VALUE");
      track().Channel(l.Tick(1), static_cast<uint8_t>(0xA0 | l.Channel(2)), l.Key(3), l.Byte7(4));
    } else if (op == "bend") {
      l.Need(4, 4, "bend TICK CHANNEL VALUE");
      const auto v = static_cast<int>(l.Number(3, -8192, 8191) + 8192);
      track().Channel(l.Tick(1), static_cast<uint8_t>(0xE0 | l.Channel(2)), static_cast<uint8_t>(v & 0x7F),
                      static_cast<uint8_t>(v >> 7));
    } else if (op == "meta") {
      l.Need(3, 1000000, "meta TICK TYPE [HEX...]");
      track().Meta(l.Tick(1), static_cast<uint8_t>(l.Number(2, 0, 127)), l.Hex(3));
    } else if (op == "sysex") {
      l.Need(3, 1000000, "sysex TICK F0 ... F7");
      const std::vector<uint8_t> message = l.Hex(2);
      if (message.front() != 0xF0 && message.front() != 0xF7) l.Fail("a system-exclusive message begins with F0 or F7");
      track().SysEx(l.Tick(1), message);
    } else if (op == "raw") {
      l.Need(3, 1000000, "raw TICK HEX...");
      track().Raw(l.Tick(1), l.Hex(2));
    } else if (op == "end") {
      l.Need(2, 2, "end TICK");
      track().EndAt(l.Tick(1));
    } else if (op == "noend") {
      l.Need(1, 1, "noend");
      track().NoEnd();
    } else {
      l.Fail("unknown word \"" + op + "\"");
    }
  }
  if (tracks.empty()) tracks.emplace_back();
  if (format < 0) format = tracks.size() == 1 ? 0 : 1;
  return WriteMidiFile(format, division, tracks);
}

}  // namespace orva::media
