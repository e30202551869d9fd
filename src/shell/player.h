// The player from its command line to its exit status: options, finding the
// game, the single-instance guard, the trace file, the backend, the window
// and its loop.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/platform.h"
#include "shell/hooks.h"

namespace orva {

struct TPlayerEnvironment {
  std::string currentFolder;
  platform::EnvLookup env;
  // Makes the windowed backend; throws OrvaError when no display can be opened.
  std::function<platform::Platform(platform::ScaleMode)> makeWindowed;
  // The subsystems the shell drives (empty hooks when not given).
  std::function<std::unique_ptr<TRuntimeHooks>()> makeHooks;
  // Asked between loop turns: true ends the run in order (a signal came).
  std::function<bool()> stopRequested;
  FILE* out = stdout;
  FILE* err = stderr;
};

// Exit status: 0 after a normal end (also when another copy already plays
// the game), 1 when the game could not be started or ended with a fatal
// error, 2 for a bad command line.
int RunPlayer(const std::vector<std::string>& args, const TPlayerEnvironment& environment);

}  // namespace orva
