#include <gtest/gtest.h>

#include "platform/keys.h"
#include "platform/sdl_platform.h"

namespace orva::platform {
namespace {

TEST(SdlKeys, MapToWindowsVirtualKeys) {
  struct Case {
    const char* sdlName;
    bool numLock;
    uint8_t vk;
  };
  const std::vector<Case> cases = {
      {"A", false, 'A'},
      {"Z", false, 'Z'},
      {"0", false, '0'},
      {"9", false, '9'},
      {"F1", false, vk::kF1},
      {"F12", false, 0x7B},
      {"F13", false, 0x7C},
      {"F24", false, 0x87},
      {"Return", false, vk::kReturn},
      {"Keypad Enter", false, vk::kReturn},
      {"Escape", false, vk::kEscape},
      {"Space", false, vk::kSpace},
      {"Backspace", false, vk::kBack},
      {"Tab", false, vk::kTab},
      {"Left Shift", false, vk::kShift},
      {"Right Shift", false, vk::kShift},
      {"Left Ctrl", false, vk::kControl},
      {"Right Ctrl", false, vk::kControl},
      {"Left Alt", false, vk::kMenu},
      {"Right Alt", false, vk::kMenu},
      {"Left", false, vk::kLeft},
      {"Up", false, vk::kUp},
      {"Right", false, vk::kRight},
      {"Down", false, vk::kDown},
      {"PageUp", false, vk::kPrior},
      {"PageDown", false, vk::kNext},
      {"Home", false, vk::kHome},
      {"End", false, vk::kEnd},
      {"Insert", false, vk::kInsert},
      {"Delete", false, vk::kDelete},
      {"Keypad 0", true, vk::kNumpad0},
      {"Keypad 7", true, vk::kNumpad0 + 7},
      {"Keypad .", true, vk::kDecimal},
      {"Keypad 7", false, vk::kHome},  // Num Lock off: the navigation key
      {"Keypad 5", false, vk::kClear},
      {"Keypad .", false, vk::kDelete},
      {"Keypad *", false, vk::kMultiply},
      {"Keypad +", false, vk::kAdd},
      {"Keypad -", false, vk::kSubtract},
      {"Keypad /", false, vk::kDivide},
      {";", false, vk::kOem1},
      {"-", false, vk::kOemMinus},
      {"[", false, vk::kOem4},
      {"CapsLock", false, vk::kCapital},
      {"Pause", false, vk::kPause},
      {"PrintScreen", false, vk::kSnapshot},
      {"VolumeUp", false, 0},  // no code: not forwarded
      {"no such key", false, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(VirtualKeyFromSdlName(c.sdlName, c.numLock), c.vk) << c.sdlName;
}

}  // namespace
}  // namespace orva::platform
