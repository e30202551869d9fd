// "install.dat": the install set written by the game's installer. The player
// uses the disk number, the set name and the content-complete flag; every
// other field is kept so that a set reads and writes back unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/streams.h"

namespace orva {

class TOrvaInstallSet {
 public:
  static constexpr int kNewestVersion = 108;

  int version = kNewestVersion;  // 0 when the file has no "is" marker
  int32_t diskNumber = 0;
  std::string setName;
  std::array<std::string, 3> texts1;
  uint8_t byte1 = 0;
  std::string text2;
  uint8_t byte2 = 0;
  std::string text3;
  int32_t int1 = 0;
  uint8_t byte3 = 0;
  uint8_t byte4 = 0;
  std::array<std::string, 2> texts4;
  std::vector<std::array<int64_t, 4>> records;  // int64 when version > 99
  std::array<int64_t, 4> totals{};
  uint8_t byte5 = 0;
  uint8_t byte6 = 0;                // version > 100
  std::vector<std::string> list1;   // version > 101, empty strings skipped
  bool contentComplete = false;     // version > 102
  uint8_t byte7 = 0;                // version > 103
  uint8_t byte8 = 0;                // version > 104
  std::vector<std::string> list2;   // version > 105
  std::string text5;                // version > 106
  std::array<std::string, 2> texts6;  // version > 107

  // Reads a set; a damaged or newer file throws an OrvaError.
  void Read(TStream& in);
  void Write(TStream& out) const;
};

}  // namespace orva
