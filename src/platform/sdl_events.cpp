#include "platform/sdl_backend.h"
#include "platform/sdl_platform.h"

namespace orva::platform {

namespace {

uint32_t Modifiers(SDL_Keymod mod) {
  uint32_t m = 0;
  if (mod & KMOD_SHIFT) m |= kModShift;
  if (mod & KMOD_CTRL) m |= kModCtrl;
  if (mod & KMOD_ALT) m |= kModAlt;
  return m;
}

}  // namespace

bool SdlEventSource::Translate(const SDL_Event& e, Event& out) {
  out = Event{};
  switch (e.type) {
    case SDL_QUIT:
      out.type = EventType::Quit;
      return true;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out.type = EventType::FocusGained;
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          out.type = EventType::FocusLost;
          return true;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          if (display_) display_->Redraw();
          out.type = EventType::Exposed;
          return true;
        default:
          return false;
      }
    case SDL_MOUSEMOTION:
      out.type = EventType::MouseMove;
      out.x = e.motion.x;
      out.y = e.motion.y;
      out.modifiers = Modifiers(SDL_GetModState());
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      switch (e.button.button) {
        case SDL_BUTTON_LEFT: out.button = MouseButton::Left; break;
        case SDL_BUTTON_RIGHT: out.button = MouseButton::Right; break;
        case SDL_BUTTON_MIDDLE: out.button = MouseButton::Middle; break;
        default: return false;
      }
      out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
      out.x = e.button.x;
      out.y = e.button.y;
      out.modifiers = Modifiers(SDL_GetModState());
      return true;
    case SDL_MOUSEWHEEL: {
      int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      if (y == 0) return false;
      out.type = EventType::Wheel;
      out.wheel = y > 0 ? 1 : -1;
      SDL_GetMouseState(&out.x, &out.y);
      return true;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.key = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.mod);
      if (out.key == 0) return false;
      out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
      out.repeat = e.key.repeat != 0;
      out.modifiers = Modifiers(static_cast<SDL_Keymod>(e.key.keysym.mod));
      return true;
    case SDL_AUDIODEVICEREMOVED:
      if (e.adevice.iscapture) return false;
      out.type = EventType::AudioDeviceLost;
      return true;
    case SDL_TEXTINPUT:
      out.type = EventType::TextInput;
      out.text = e.text.text;
      return true;
    default:
      return false;
  }
}

bool SdlEventSource::Wait(Event& out, int timeoutMs) {
  const Uint64 deadline = timeoutMs >= 0 ? SDL_GetTicks64() + static_cast<Uint64>(timeoutMs) : 0;
  for (;;) {
    SDL_Event e;
    int got;
    if (timeoutMs < 0) {
      got = SDL_WaitEvent(&e);
    } else {
      Uint64 now = SDL_GetTicks64();
      int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
      got = left > 0 ? SDL_WaitEventTimeout(&e, left) : SDL_PollEvent(&e);
    }
    if (!got) return false;
    if (Translate(e, out)) return true;
  }
}

}  // namespace orva::platform
