#include <cstdio>
#include <string>
#include <vector>

#include "platform/sdl_backend.h"

namespace orva::platform {

namespace {

struct ButtonDef {
  MessageResult result;
  const char* label;
};

std::vector<ButtonDef> ButtonsFor(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return {{MessageResult::Ok, "OK"}};
    case MessageButtons::OkCancel: return {{MessageResult::Ok, "OK"}, {MessageResult::Cancel, "キャンセル"}};
    case MessageButtons::YesNo: return {{MessageResult::Yes, "はい"}, {MessageResult::No, "いいえ"}};
    case MessageButtons::YesNoCancel:
      return {{MessageResult::Yes, "はい"}, {MessageResult::No, "いいえ"}, {MessageResult::Cancel, "キャンセル"}};
  }
  return {{MessageResult::Ok, "OK"}};
}

}  // namespace

MessageResult SdlMessageBox::Show(std::string_view text, std::string_view caption, MessageButtons buttons,
                                  MessageIcon icon) {
  const auto defs = ButtonsFor(buttons);
  const MessageResult fallback = DefaultAnswer(buttons);
  std::vector<SDL_MessageBoxButtonData> sdlButtons;
  for (size_t i = 0; i < defs.size(); ++i) {
    Uint32 flags = 0;
    if (defs[i].result == fallback) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (defs[i].result == MessageResult::Cancel || (buttons == MessageButtons::YesNo && defs[i].result == MessageResult::No))
      flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    sdlButtons.push_back({flags, static_cast<int>(i), defs[i].label});
  }
  Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  switch (icon) {
    case MessageIcon::Error: flags |= SDL_MESSAGEBOX_ERROR; break;
    case MessageIcon::Warning: flags |= SDL_MESSAGEBOX_WARNING; break;
    case MessageIcon::Information:
    case MessageIcon::Question: flags |= SDL_MESSAGEBOX_INFORMATION; break;
    case MessageIcon::None: break;
  }
  const std::string textZ(text), captionZ(caption);
  SDL_MessageBoxData data{};
  data.flags = flags;
  data.window = display_ ? display_->Window() : nullptr;
  data.title = captionZ.c_str();
  data.message = textZ.c_str();
  data.numbuttons = static_cast<int>(sdlButtons.size());
  data.buttons = sdlButtons.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    std::fprintf(stderr, "[%s] %s (no message box: %s)\n", captionZ.c_str(), textZ.c_str(), SDL_GetError());
    return fallback;
  }
  if (pressed < 0 || pressed >= static_cast<int>(defs.size())) {
    // Closed without a button: Cancel where there is one, else No, else OK.
    for (auto want : {MessageResult::Cancel, MessageResult::No})
      for (const auto& d : defs)
        if (d.result == want) return want;
    return defs.front().result;
  }
  return defs[static_cast<size_t>(pressed)].result;
}

}  // namespace orva::platform
