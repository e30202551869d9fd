// orvaplayer: plays a game folder in a window (SDL2) or headless.
#include <langinfo.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl_platform.h"
#include "shell/gameruntime.h"
#include "shell/player.h"

namespace {

std::atomic<bool> gStop{false};

void OnSignal(int) { gStop = true; }

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return ".";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Window titles and message boxes carry Japanese text: they need a UTF-8
  // character type even where the user's locale is plain "C".
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");

  // SIGINT and SIGTERM end the run in order (SDL turns them into a quit
  // event for the window; a headless run asks this flag).
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  orva::TPlayerEnvironment env;
  env.currentFolder = CurrentFolder();
  env.makeWindowed = [](orva::platform::ScaleMode scale) { return orva::platform::MakeSdlPlatform(scale); };
  env.stopRequested = [] { return gStop.load(); };
  env.makeHooks = [] { return std::make_unique<orva::TGameRuntime>(); };
  return orva::RunPlayer(std::vector<std::string>(argv + 1, argv + argc), env);
}
