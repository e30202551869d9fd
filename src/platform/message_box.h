// Message boxes, as the rest of the program asks for them. Texts are UTF-8
// (this is an edge of the program); callers convert the system's CP932 texts.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace orva::platform {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };
enum class MessageIcon { None, Information, Warning, Error, Question };

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual MessageResult Show(std::string_view text, std::string_view caption, MessageButtons buttons,
                             MessageIcon icon = MessageIcon::None) = 0;
  // False when nobody answers (a headless run falling back to defaults):
  // code that would ask again and again in a loop gives up instead.
  virtual bool Interactive() const { return true; }
};

// The answer a box gives when nobody can answer it: OK, Yes.
MessageResult DefaultAnswer(MessageButtons buttons);

// Answers from a scripted list, then with the default button; keeps every
// question asked. Used by tests and by headless runs.
class ScriptedMessageBox : public IMessageBox {
 public:
  struct Asked {
    std::string text, caption;
    MessageButtons buttons;
  };

  void Script(std::vector<MessageResult> answers) { answers_.assign(answers.begin(), answers.end()); }
  MessageResult Show(std::string_view text, std::string_view caption, MessageButtons buttons,
                     MessageIcon icon = MessageIcon::None) override;
  const std::vector<Asked>& Log() const { return log_; }
  bool Interactive() const override { return !answers_.empty(); }
  // Also print each question to standard error (headless runs).
  void SetEcho(bool echo) { echo_ = echo; }

 private:
  std::deque<MessageResult> answers_;
  std::vector<Asked> log_;
  bool echo_ = false;
};

}  // namespace orva::platform
