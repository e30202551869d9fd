#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/keys.h"
#include "platform/sdl_platform.h"

namespace orva::platform {
namespace {

TEST(SdlKeys, MapToWindowsVirtualKeys) {
  struct Case {
    SDL_Keycode sdl;
    uint16_t mod;
    uint8_t vk;
  };
  const std::vector<Case> cases = {
      {SDLK_a, 0, 'A'},
      {SDLK_z, KMOD_SHIFT, 'Z'},
      {SDLK_0, 0, '0'},
      {SDLK_9, 0, '9'},
      {SDLK_F1, 0, vk::kF1},
      {SDLK_F12, 0, 0x7B},
      {SDLK_F13, 0, 0x7C},
      {SDLK_F24, 0, 0x87},
      {SDLK_RETURN, 0, vk::kReturn},
      {SDLK_KP_ENTER, 0, vk::kReturn},
      {SDLK_ESCAPE, 0, vk::kEscape},
      {SDLK_SPACE, 0, vk::kSpace},
      {SDLK_BACKSPACE, 0, vk::kBack},
      {SDLK_TAB, 0, vk::kTab},
      {SDLK_LSHIFT, 0, vk::kShift},
      {SDLK_RSHIFT, 0, vk::kShift},
      {SDLK_LCTRL, 0, vk::kControl},
      {SDLK_RCTRL, 0, vk::kControl},
      {SDLK_LALT, 0, vk::kMenu},
      {SDLK_RALT, 0, vk::kMenu},
      {SDLK_LEFT, 0, vk::kLeft},
      {SDLK_UP, 0, vk::kUp},
      {SDLK_RIGHT, 0, vk::kRight},
      {SDLK_DOWN, 0, vk::kDown},
      {SDLK_PAGEUP, 0, vk::kPrior},
      {SDLK_PAGEDOWN, 0, vk::kNext},
      {SDLK_HOME, 0, vk::kHome},
      {SDLK_END, 0, vk::kEnd},
      {SDLK_INSERT, 0, vk::kInsert},
      {SDLK_DELETE, 0, vk::kDelete},
      {SDLK_KP_0, KMOD_NUM, vk::kNumpad0},
      {SDLK_KP_7, KMOD_NUM, vk::kNumpad0 + 7},
      {SDLK_KP_PERIOD, KMOD_NUM, vk::kDecimal},
      {SDLK_KP_7, 0, vk::kHome},  // Num Lock off: the navigation key
      {SDLK_KP_5, 0, vk::kClear},
      {SDLK_KP_PERIOD, 0, vk::kDelete},
      {SDLK_KP_MULTIPLY, 0, vk::kMultiply},
      {SDLK_KP_PLUS, 0, vk::kAdd},
      {SDLK_KP_MINUS, 0, vk::kSubtract},
      {SDLK_KP_DIVIDE, 0, vk::kDivide},
      {SDLK_SEMICOLON, 0, vk::kOem1},
      {SDLK_MINUS, 0, vk::kOemMinus},
      {SDLK_LEFTBRACKET, 0, vk::kOem4},
      {SDLK_CAPSLOCK, 0, vk::kCapital},
      {SDLK_PAUSE, 0, vk::kPause},
      {SDLK_PRINTSCREEN, 0, vk::kSnapshot},
      {SDLK_VOLUMEUP, 0, 0},  // no code: not forwarded
      {SDLK_UNKNOWN, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyFromSdl(c.sdl, c.mod), c.vk) << SDL_GetKeyName(c.sdl) << " mod " << c.mod;
}

}  // namespace
}  // namespace orva::platform
