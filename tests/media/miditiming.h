// Onsets in rendered sound: where a note starts, found against the level
// just before it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace orvatest {

inline constexpr const char* kTestSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Interleaved stereo samples of a 44-byte-header wave file.
inline std::vector<int16_t> WaveSamples(const std::string& file) {
  if (file.size() < 44) return {};
  std::vector<int16_t> s((file.size() - 44) / 2);
  std::copy_n(file.data() + 44, s.size() * 2, reinterpret_cast<char*>(s.data()));
  return s;
}

// The loudest sample of each millisecond (both channels).
inline std::vector<int> PeakPerMs(const std::vector<int16_t>& s) {
  std::vector<int> peaks(s.size() / 2 * 10 / 441 + 1, 0);
  for (size_t i = 0; i < s.size(); ++i) {
    int& p = peaks[i / 2 * 10 / 441];
    p = std::max(p, std::abs(static_cast<int>(s[i])));
  }
  return peaks;
}

// The first millisecond at or after `fromMs` whose peak is above `floor`
// and four times the loudest of the 40 ms before `fromMs`; -1 when none
// comes before `toMs`.
inline int64_t OnsetAfter(const std::vector<int>& peaks, int64_t fromMs, int64_t toMs, int floor = 800) {
  int before = 0;
  for (int64_t t = std::max<int64_t>(0, fromMs - 40); t < fromMs && t < static_cast<int64_t>(peaks.size()); ++t)
    before = std::max(before, peaks[static_cast<size_t>(t)]);
  for (int64_t t = std::max<int64_t>(0, fromMs); t < toMs && t < static_cast<int64_t>(peaks.size()); ++t)
    if (peaks[static_cast<size_t>(t)] > std::max(floor, 4 * before)) return t;
  return -1;
}

}  // namespace orvatest
