// JSON text for the dumps the player writes for tests (--dump-vars,
// --dump-tables): strings of the content world as JSON strings in UTF-8.
#pragma once

#include <string>

namespace orva {

// A quoted JSON string of a CP932 text (bytes CP932 cannot read become
// U+FFFD).
std::string JsonString(const std::string& cp932);

}  // namespace orva
