// The note list: a small readable text that "orvatool midi make" turns into
// a Standard MIDI File (tests, fuzz seeds and the demo's tune). The format
// is described in docs/midi-notes.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva::media {

// The file of a note list (UTF-8 text). Throws OrvaError naming the line
// of the first thing it cannot read.
std::vector<uint8_t> MakeMidiFromNotes(const std::string& text);

// A key by number (0 ... 127) or name ("C4" is 60, "F#3", "Bb2"); -1 when
// the text is neither.
int MidiKeyOf(const std::string& text);

}  // namespace orva::media
