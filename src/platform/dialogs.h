// File and folder dialogs and opening documents with the desktop's
// programs. The desktop implementation runs zenity or kdialog and xdg-open;
// when they are missing a dialog counts as cancelled.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace orva::platform {

struct FileFilter {
  std::string label;                  // UTF-8, e.g. "Pictures"
  std::vector<std::string> patterns;  // e.g. "*.png"
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Paths and texts are UTF-8; nothing means cancelled.
  virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& initialPath,
                                              const std::vector<FileFilter>& filters) = 0;
  virtual std::optional<std::string> SaveFile(const std::string& title, const std::string& initialPath,
                                              const std::vector<FileFilter>& filters) = 0;
  virtual std::optional<std::string> SelectFolder(const std::string& title, const std::string& initialPath) = 0;
  // Opens a file or a URL with the user's preferred program; false when that
  // could not be started.
  virtual bool OpenDocument(const std::string& pathOrUrl) = 0;
};

// zenity (or kdialog) for the dialogs, xdg-open for documents.
class DesktopDialogs : public IDialogs {
 public:
  std::optional<std::string> OpenFile(const std::string& title, const std::string& initialPath,
                                      const std::vector<FileFilter>& filters) override;
  std::optional<std::string> SaveFile(const std::string& title, const std::string& initialPath,
                                      const std::vector<FileFilter>& filters) override;
  std::optional<std::string> SelectFolder(const std::string& title, const std::string& initialPath) override;
  bool OpenDocument(const std::string& pathOrUrl) override;

 private:
  std::optional<std::string> Ask(const std::vector<std::string>& zenityArgs, const std::vector<std::string>& kdialogArgs);
};

// Answers from a scripted list (nothing = cancelled once the list is used
// up) and keeps what was asked. Tests and headless runs.
class ScriptedDialogs : public IDialogs {
 public:
  void Script(std::vector<std::optional<std::string>> answers) { answers_.assign(answers.begin(), answers.end()); }
  std::optional<std::string> OpenFile(const std::string& title, const std::string&,
                                      const std::vector<FileFilter>&) override { return Next("open: " + title); }
  std::optional<std::string> SaveFile(const std::string& title, const std::string&,
                                      const std::vector<FileFilter>&) override { return Next("save: " + title); }
  std::optional<std::string> SelectFolder(const std::string& title, const std::string&) override {
    return Next("folder: " + title);
  }
  bool OpenDocument(const std::string& pathOrUrl) override {
    asked_.push_back("document: " + pathOrUrl);
    return true;
  }
  const std::vector<std::string>& Asked() const { return asked_; }

 private:
  std::optional<std::string> Next(std::string what);
  std::deque<std::optional<std::string>> answers_;
  std::vector<std::string> asked_;
};

// Runs a program found on PATH with arguments, without a shell; returns its
// exit status (-1 when it could not be started) and what it printed on
// standard output. Used for the desktop helpers.
int RunHelper(const std::vector<std::string>& argv, std::string* output);

// Starts a program detached (not waited for). False when it could not start.
bool StartDetached(const std::vector<std::string>& argv);

// True when a program of that name is on PATH.
bool ProgramOnPath(const std::string& name);

}  // namespace orva::platform
