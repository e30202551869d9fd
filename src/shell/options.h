// The player's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/display.h"

namespace orva {

struct TRunOptions {
  bool headless = false;
  std::optional<long long> frames;     // stop after this many ticks
  std::optional<int> fixedDelta;       // every tick counts exactly this many ms
  std::string screenshot;              // PNG of the last composed frame, written at exit
  int screenshotEvery = 0;             // with screenshotDir: every K-th presented frame as PNG
  std::string screenshotDir;
  std::string trace;                   // step markers and the script trace
  std::string dumpVars;                // the variable table as JSON, written at exit
  std::string dumpTables;              // every data table as JSON, written at exit
  std::string audioOut;                // a .wav file receiving all the sound played
  std::string cdDir;                   // the first folder searched for CD track files
  std::optional<uint32_t> seed;        // seed of the scripts' random numbers
  std::string saveDir;
  bool fullScreen = false;
  platform::ScaleMode scale = platform::ScaleMode::Nearest;
  int width = 640, height = 480;       // window size until the project gives its own
  bool help = false, version = false;
  bool configOnly = false;             // "/config"
  std::vector<std::string> games;      // the game folder or program file, then further content
};

// Parses the arguments after the program name. Throws OrvaError with a
// message naming the bad argument.
TRunOptions ParseCommandLine(const std::vector<std::string>& args);

// The --help text.
std::string UsageText();

}  // namespace orva
