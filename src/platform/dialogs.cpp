#include "platform/dialogs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace orva::platform {

namespace {

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const auto& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

std::string ZenityFilter(const FileFilter& f) {
  std::string s = f.label + " |";
  for (const auto& p : f.patterns) s += " " + p;
  return "--file-filter=" + s;
}

std::string KdialogFilter(const std::vector<FileFilter>& filters) {
  std::string s;
  for (const auto& f : filters) {
    if (!s.empty()) s += "\n";
    for (size_t i = 0; i < f.patterns.size(); ++i) s += (i ? " " : "") + f.patterns[i];
    s += "|" + f.label;
  }
  return s;
}

std::vector<std::string> FileArgs(const char* mode, const std::string& title, const std::string& initialPath,
                                  const std::vector<FileFilter>& filters) {
  std::vector<std::string> a{"zenity", "--file-selection", "--title=" + title};
  if (!initialPath.empty()) a.push_back("--filename=" + initialPath);
  if (mode) a.push_back(mode);
  for (const auto& f : filters) a.push_back(ZenityFilter(f));
  return a;
}

}  // namespace

bool ProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty()) return false;
  const std::string_view all = path;
  size_t start = 0;
  for (;;) {
    const size_t end = all.find(':', start);
    const std::string_view dir = all.substr(start, end == std::string_view::npos ? all.size() - start : end - start);
    std::string candidate(dir.empty() ? std::string_view(".") : dir);
    candidate += '/';
    candidate += name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return true;
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

int RunHelper(const std::vector<std::string>& argv, std::string* output) {
  if (argv.empty()) return -1;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  auto args = ArgvOf(argv);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }
  std::string text;
  char buf[4096];
  for (;;) {
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (output) *output = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  // A short-lived shell starts the program in the background and ends, so
  // the program is not our child and never waits on us. The arguments are
  // passed as positional parameters, never parsed by the shell.
  std::vector<std::string> sh{"/bin/sh", "-c", "\"$@\" >/dev/null 2>&1 </dev/null &", "sh"};
  sh.insert(sh.end(), argv.begin(), argv.end());
  return RunHelper(sh, nullptr) == 0;
}

std::optional<std::string> DesktopDialogs::Ask(const std::vector<std::string>& zenityArgs,
                                               const std::vector<std::string>& kdialogArgs) {
  const std::vector<std::string>* args = nullptr;
  if (ProgramOnPath("zenity")) {
    args = &zenityArgs;
  } else if (ProgramOnPath("kdialog")) {
    args = &kdialogArgs;
  } else {
    return std::nullopt;
  }
  std::string out;
  if (RunHelper(*args, &out) != 0) return std::nullopt;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.empty()) return std::nullopt;
  return out;
}

std::optional<std::string> DesktopDialogs::OpenFile(const std::string& title, const std::string& initialPath,
                                                    const std::vector<FileFilter>& filters) {
  return Ask(FileArgs(nullptr, title, initialPath, filters),
             {"kdialog", "--title", title, "--getopenfilename", initialPath.empty() ? "." : initialPath,
              KdialogFilter(filters)});
}

std::optional<std::string> DesktopDialogs::SaveFile(const std::string& title, const std::string& initialPath,
                                                    const std::vector<FileFilter>& filters) {
  auto zenity = FileArgs("--save", title, initialPath, filters);
  zenity.push_back("--confirm-overwrite");
  return Ask(zenity, {"kdialog", "--title", title, "--getsavefilename", initialPath.empty() ? "." : initialPath,
                      KdialogFilter(filters)});
}

std::optional<std::string> DesktopDialogs::SelectFolder(const std::string& title, const std::string& initialPath) {
  return Ask(FileArgs("--directory", title, initialPath, {}),
             {"kdialog", "--title", title, "--getexistingdirectory", initialPath.empty() ? "." : initialPath});
}

bool DesktopDialogs::OpenDocument(const std::string& pathOrUrl) {
  if (pathOrUrl.empty() || !ProgramOnPath("xdg-open")) return false;
  return StartDetached({"xdg-open", pathOrUrl});
}

std::optional<std::string> ScriptedDialogs::Next(std::string what) {
  asked_.push_back(std::move(what));
  if (answers_.empty()) return std::nullopt;
  auto r = std::move(answers_.front());
  answers_.pop_front();
  return r;
}

}  // namespace orva::platform
