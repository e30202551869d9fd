#include "platform/host.h"

#include <cstdlib>

namespace orva::platform {

EnvLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
  };
}

namespace {

std::optional<std::string> Absolute(const EnvLookup& env, const char* name) {
  auto v = env(name);
  if (!v || v->empty() || (*v)[0] != '/') return std::nullopt;
  while (v->size() > 1 && v->back() == '/') v->pop_back();
  return v;
}

}  // namespace

KnownFolders FindKnownFolders(const EnvLookup& env) {
  KnownFolders f;
  f.temp = Absolute(env, "TMPDIR").value_or("/tmp");
  f.home = Absolute(env, "HOME").value_or(f.temp);
  f.dataHome = Absolute(env, "XDG_DATA_HOME").value_or(f.home + "/.local/share");
  f.configHome = Absolute(env, "XDG_CONFIG_HOME").value_or(f.home + "/.config");
  f.runtimeDir = Absolute(env, "XDG_RUNTIME_DIR").value_or(f.temp);
  return f;
}

bool UserLanguageIsJapanese(const EnvLookup& env) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    auto v = env(name);
    if (!v || v->empty()) continue;
    return v->rfind("ja", 0) == 0;
  }
  return false;
}

}  // namespace orva::platform
