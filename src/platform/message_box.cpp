#include "platform/message_box.h"

#include <cstdio>

namespace orva::platform {

MessageResult DefaultAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
      return MessageResult::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
      return MessageResult::Yes;
  }
  return MessageResult::Ok;
}

MessageResult ScriptedMessageBox::Show(std::string_view text, std::string_view caption, MessageButtons buttons,
                                       MessageIcon) {
  log_.push_back({std::string(text), std::string(caption), buttons});
  if (echo_)
    std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  if (answers_.empty()) return DefaultAnswer(buttons);
  MessageResult r = answers_.front();
  answers_.pop_front();
  return r;
}

}  // namespace orva::platform
