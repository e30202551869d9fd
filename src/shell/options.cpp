#include "shell/options.h"

#include <charconv>

#include "common/errors.h"

namespace orva {

namespace {

long long Number(const std::string& option, const std::string& text, long long min, long long max) {
  long long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max)
    throw OrvaError::Utf8(option + ": expected a number from " + std::to_string(min) + " to " + std::to_string(max) +
                          ", got \"" + text + "\"");
  return v;
}

bool SameCI(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

}  // namespace

TRunOptions ParseCommandLine(const std::vector<std::string>& args) {
  TRunOptions o;
  bool onlyGames = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::string inlineValue;
    bool hasInline = false;
    if (!onlyGames && a.rfind("--", 0) == 0 && a.size() > 2) {
      size_t eq = a.find('=');
      if (eq != std::string::npos) {
        inlineValue = a.substr(eq + 1);
        a = a.substr(0, eq);
        hasInline = true;
      }
    }
    auto value = [&]() -> std::string {
      if (hasInline) return inlineValue;
      if (i + 1 >= args.size()) throw OrvaError::Utf8(a + ": needs a value");
      return args[++i];
    };
    if (onlyGames) {
      o.games.push_back(a);
    } else if (a == "--") {
      onlyGames = true;
    } else if (a == "--headless") {
      o.headless = true;
    } else if (a == "--frames") {
      o.frames = Number(a, value(), 0, 1LL << 40);
    } else if (a == "--fixed-delta") {
      // Longer steps would count as stalls and never tick.
      o.fixedDelta = static_cast<int>(Number(a, value(), 1, 300));
    } else if (a == "--screenshot") {
      o.screenshot = value();
    } else if (a == "--screenshot-every") {
      o.screenshotEvery = static_cast<int>(Number(a, value(), 1, 1 << 30));
      o.screenshotDir = value();
    } else if (a == "--trace") {
      o.trace = value();
    } else if (a == "--dump-vars") {
      o.dumpVars = value();
    } else if (a == "--dump-tables") {
      o.dumpTables = value();
    } else if (a == "--audio-out") {
      o.audioOut = value();
    } else if (a == "--cd-dir") {
      o.cdDir = value();
    } else if (a == "--seed") {
      o.seed = static_cast<uint32_t>(Number(a, value(), 0, 0xFFFFFFFFLL));
    } else if (a == "--save-dir") {
      o.saveDir = value();
    } else if (a == "--fullscreen") {
      o.fullScreen = true;
    } else if (a == "--scale") {
      std::string m = value();
      if (m == "nearest") {
        o.scale = platform::ScaleMode::Nearest;
      } else if (m == "integer") {
        o.scale = platform::ScaleMode::Integer;
      } else if (m == "smooth") {
        o.scale = platform::ScaleMode::Smooth;
      } else {
        throw OrvaError::Utf8("--scale: expected nearest, integer or smooth, got \"" + m + "\"");
      }
    } else if (a == "--size") {
      std::string s = value();
      size_t x = s.find('x');
      if (x == std::string::npos) throw OrvaError::Utf8("--size: expected WIDTHxHEIGHT, got \"" + s + "\"");
      o.width = static_cast<int>(Number(a, s.substr(0, x), 1, 16384));
      o.height = static_cast<int>(Number(a, s.substr(x + 1), 1, 16384));
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (SameCI(a, "/d3d")) {
      // The Direct3D display library does not exist here; accepted for old shortcuts.
    } else if (SameCI(a, "/config") && o.games.empty()) {
      o.configOnly = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw OrvaError::Utf8("unknown option \"" + a + "\" (see --help)");
    } else {
      o.games.push_back(a);
    }
  }
  return o;
}

std::string UsageText() {
  return "usage: orvaplayer [OPTIONS] [GAME [MORE_CONTENT...]]\n"
         "\n"
         "GAME is a game folder (holding \"game.dat\" or loose files) or the game's\n"
         "Windows program file (.exe) carrying the content archive. Without GAME the\n"
         "current folder is played.\n"
         "\n"
         "options:\n"
         "  --headless           no window and no sound device\n"
         "  --frames N           stop after N frame ticks\n"
         "  --fixed-delta MS     every tick counts exactly MS ms (1-300); nothing sleeps\n"
         "  --screenshot FILE    write the last composed frame as PNG at exit\n"
         "  --screenshot-every K DIR  write every K-th presented frame into DIR\n"
         "  --trace FILE         write the step markers and the script trace to FILE\n"
         "  --dump-vars FILE     write the variable table as JSON at exit\n"
         "  --dump-tables FILE   write every data table as JSON at exit\n"
         "  --audio-out FILE     write all the sound played to FILE (.wav, 44100 Hz 16-bit stereo)\n"
         "  --cd-dir DIR         look for CD tracks (track01.ogg, .flac, .wav, .mp3) in DIR first\n"
         "  --seed N             seed the scripts' random numbers (default: the clock)\n"
         "  --save-dir DIR       keep the saves in DIR\n"
         "  --fullscreen         start in full screen\n"
         "  --scale MODE         nearest (default), integer or smooth scaling\n"
         "  --size WxH           window size while no project gives one (default 640x480)\n"
         "  --help, --version\n"
         "\n"
         "keys (the toolbar and menu actions):\n"
         "  Alt+Enter            full screen on/off\n"
         "  Alt+Q                quit (asks first)\n"
         "  Alt+1 Alt+2 Alt+3 Alt+0     speed x1, x4, x8, No Wait\n"
         "  Ctrl+Alt+1 Ctrl+Alt+2 Ctrl+Alt+4 Ctrl+Alt+0   draw every frame, 1/2, 1/4, 1/10\n"
         "  Ctrl+Alt+A           FPS AUTO (keeps the current setting)\n";
}

}  // namespace orva
