// The value functions of the system function library: numbers and
// conversions, text, dates and times, arrays and variables. The component,
// file, desktop and table functions register their bodies elsewhere; until
// they do, calling one ends the expression with an error naming it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orva {

class TSysFuncMan;

// Registers every value function with the dispatcher.
void RegisterSystemFunctions(TSysFuncMan& man);

// Re-seeds the one program-wide generator behind Random. The player calls it
// once at start-up with a clock value, or with the number given to --seed so
// that a headless run draws the same numbers every time. Before any call the
// generator starts from seed 0.
void SeedRandom(uint32_t seed);

// Half-width to full-width Shift-JIS and back (HanToZen / ZenToHan). A
// half-width katakana followed by a voiced or semi-voiced mark becomes one
// full-width character (ｶﾞ -> ガ, ﾊﾟ -> パ, ｳﾞ -> ヴ), and ZenToHan splits
// such characters again, so the two are inverse on what they convert.
std::string HanToZen(std::string_view text);
std::string ZenToHan(std::string_view text);

}  // namespace orva
