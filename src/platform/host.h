// What the program needs to know about the user's machine: the standard
// folders and whether the user reads Japanese. Everything is computed from an
// environment lookup, so tests can give their own.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orva::platform {

// Returns the value of an environment variable, or nothing.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
EnvLookup ProcessEnvironment();

struct KnownFolders {
  std::string home;        // $HOME
  std::string dataHome;    // $XDG_DATA_HOME, else ~/.local/share
  std::string configHome;  // $XDG_CONFIG_HOME, else ~/.config
  std::string runtimeDir;  // $XDG_RUNTIME_DIR, else the temporary folder
  std::string temp;        // $TMPDIR, else /tmp
};

// Folders without a trailing "/". Relative XDG values are ignored, as the
// XDG rules ask.
KnownFolders FindKnownFolders(const EnvLookup& env);

// True when the user's messages language is Japanese (LC_ALL, then
// LC_MESSAGES, then LANG, the first one set decides).
bool UserLanguageIsJapanese(const EnvLookup& env);

}  // namespace orva::platform
