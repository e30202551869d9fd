#include "shell/player.h"

#include <memory>

#include "common/errors.h"
#include "common/log.h"
#include "platform/single_instance.h"
#include "shell/content.h"
#include "shell/options.h"
#include "shell/view.h"

#ifndef ORVA_VERSION
#define ORVA_VERSION "0"
#endif

namespace orva {

namespace {

// Installs the --trace file as the sink of step markers and trace lines for
// the lifetime of the object.
class TraceFile {
 public:
  explicit TraceFile(const std::string& path) {
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) throw OrvaError::Utf8("cannot create the trace file " + path);
    FILE* f = file_;
    previous_ = log::SetTraceSink([f](std::string_view line) {
      std::fwrite(line.data(), 1, line.size(), f);
      std::fputc('\n', f);
      std::fflush(f);
    });
    installed_ = true;
  }
  ~TraceFile() {
    if (installed_) log::SetTraceSink(std::move(previous_));
    if (file_) std::fclose(file_);
  }

 private:
  FILE* file_ = nullptr;
  log::Sink previous_;
  bool installed_ = false;
};

}  // namespace

int RunPlayer(const std::vector<std::string>& args, const TPlayerEnvironment& environment) {
  const int64_t startedAt = platform::SystemClock().NowMs();
  TRunOptions options;
  try {
    options = ParseCommandLine(args);
  } catch (const OrvaError& e) {
    std::fprintf(environment.err, "orvaplayer: %s\n", e.what());
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), environment.out);
    return 0;
  }
  if (options.version) {
    std::fprintf(environment.out, "orvaplayer %s\n", ORVA_VERSION);
    return 0;
  }

  const auto env = environment.env ? environment.env : platform::ProcessEnvironment();
  TFormView::Config config;
  config.options = options;
  config.game = FindGame(options.games, environment.currentFolder);
  config.japanese = platform::UserLanguageIsJapanese(env);

  // One copy per game folder: a second start ends at once, silently.
  std::unique_ptr<platform::SingleInstanceLock> lock;
  try {
    lock = platform::SingleInstanceLock::Acquire(config.game.gameFolder, platform::FindKnownFolders(env).runtimeDir);
  } catch (const OrvaError& e) {
    std::fprintf(environment.err, "orvaplayer: %s\n", e.what());
    return 1;
  }
  if (!lock) return 0;

  if (options.configOnly) {
    std::fprintf(environment.err, "orvaplayer: the run configuration dialog is not available in this version\n");
    return 0;
  }
  if (!config.game.found) {
    std::fprintf(environment.err, "orvaplayer: %s\n", config.game.problem.c_str());
    return 1;
  }

  try {
    TraceFile trace(options.trace);
    platform::Platform platform;
    std::unique_ptr<platform::IClock> clock;
    if (options.fixedDelta) clock = std::make_unique<platform::SteppingClock>();
    if (options.headless || !environment.makeWindowed) {
      platform = platform::MakeNullPlatform(clock ? std::move(clock) : std::make_unique<platform::SystemClock>());
    } else {
      try {
        platform = environment.makeWindowed(options.scale);
      } catch (const OrvaError& e) {
        throw OrvaError::Utf8(std::string(e.what()) + " (--headless runs without a window)");
      }
      if (clock) platform.clock = std::move(clock);
    }
    auto hooks = environment.makeHooks ? environment.makeHooks() : std::make_unique<TRuntimeHooks>();
    bool fatal = false;
    {
      TFormView view(platform, *hooks, config);
      view.SetStopRequest(environment.stopRequested);
      view.FormCreate();
      view.Run();
      fatal = view.State().fatalError;
      // ORVA_TIMING=1: how long the start took, for measurements by hand.
      if (env("ORVA_TIMING") && view.FirstPresentAtMs() >= 0 && !options.fixedDelta)
        std::fprintf(environment.err, "orvaplayer: first frame presented %lld ms after start\n",
                     static_cast<long long>(view.FirstPresentAtMs() - startedAt));
    }
    return fatal ? 1 : 0;
  } catch (const OrvaError& e) {
    std::fprintf(environment.err, "orvaplayer: %s\n", e.what());
    return 1;
  }
}

}  // namespace orva
