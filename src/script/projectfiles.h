// The project file "orva.opb": the game's settings, its declared variables
// and the folder-to-disk map.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/streams.h"

namespace orva {

struct TParamData {
  uint8_t type = 1;  // 1 integer, 2 float, 3 flag, 4 string; others carry no value
  std::string name;
  int32_t intValue = 0;
  std::array<uint8_t, 10> floatValue{};  // the 10-byte extended float as stored
  uint8_t flagValue = 0;
  std::string strValue;
};

struct TFolderDisk {
  std::string folder;
  int32_t disk = 0;
};

struct TProjectFile {
  static constexpr int32_t kVersionMax = 117;  // ProjectVersionMax

  int32_t version = kVersionMax;
  std::string title;
  int32_t width = 640, height = 480;
  int32_t fullScreen1 = 0, fullScreen2 = 0;
  std::string startPage;
  std::string exitPage;        // version >= 110
  std::string registryKey;
  int32_t imageOption = 0;
  bool writeSaveFile = true;   // version > 103
  bool sleepBetweenFrames = false;  // version >= 106
  std::string mediaExtensions = ".wav.wma.ogg.mid.mp3";  // version >= 109
  bool pauseWhenInactive = false;  // version > 112
  uint8_t reserved = 0;            // version >= 114
  bool showToolbar = true;         // version >= 116
  std::string diskPrompt;
  std::string quitText;
  std::vector<TParamData> variables;
  std::vector<TFolderDisk> folderDisks;

  // Reads a project file; a newer version raises
  // "このバージョンには対応していません", damaged data a clear error.
  void Read(TStream& in);
  void Write(TStream& out) const;
};

}  // namespace orva
