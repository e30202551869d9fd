#include <SDL.h>

#include "platform/keys.h"
#include "platform/sdl_platform.h"

namespace orva::platform {

namespace {

struct KeyPair {
  SDL_Keycode sdl;
  uint8_t vk;
};

constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, vk::kBack},    {SDLK_TAB, vk::kTab},
    {SDLK_CLEAR, vk::kClear},       {SDLK_RETURN, vk::kReturn},
    {SDLK_RETURN2, vk::kReturn},    {SDLK_LSHIFT, vk::kShift},
    {SDLK_RSHIFT, vk::kShift},      {SDLK_LCTRL, vk::kControl},
    {SDLK_RCTRL, vk::kControl},     {SDLK_LALT, vk::kMenu},
    {SDLK_RALT, vk::kMenu},         {SDLK_PAUSE, vk::kPause},
    {SDLK_CAPSLOCK, vk::kCapital},  {SDLK_ESCAPE, vk::kEscape},
    {SDLK_SPACE, vk::kSpace},       {SDLK_PAGEUP, vk::kPrior},
    {SDLK_PAGEDOWN, vk::kNext},     {SDLK_END, vk::kEnd},
    {SDLK_HOME, vk::kHome},         {SDLK_LEFT, vk::kLeft},
    {SDLK_UP, vk::kUp},             {SDLK_RIGHT, vk::kRight},
    {SDLK_DOWN, vk::kDown},         {SDLK_PRINTSCREEN, vk::kSnapshot},
    {SDLK_INSERT, vk::kInsert},     {SDLK_DELETE, vk::kDelete},
    {SDLK_LGUI, vk::kLWin},         {SDLK_RGUI, vk::kRWin},
    {SDLK_APPLICATION, vk::kApps},  {SDLK_MENU, vk::kApps},
    {SDLK_KP_MULTIPLY, vk::kMultiply}, {SDLK_KP_PLUS, vk::kAdd},
    {SDLK_KP_MINUS, vk::kSubtract}, {SDLK_KP_DIVIDE, vk::kDivide},
    {SDLK_KP_ENTER, vk::kReturn},   {SDLK_KP_COMMA, vk::kSeparator},
    {SDLK_NUMLOCKCLEAR, vk::kNumLock}, {SDLK_SCROLLLOCK, vk::kScroll},
    {SDLK_SEMICOLON, vk::kOem1},    {SDLK_EQUALS, vk::kOemPlus},
    {SDLK_PLUS, vk::kOemPlus},      {SDLK_COMMA, vk::kOemComma},
    {SDLK_MINUS, vk::kOemMinus},    {SDLK_PERIOD, vk::kOemPeriod},
    {SDLK_SLASH, vk::kOem2},        {SDLK_BACKQUOTE, vk::kOem3},
    {SDLK_LEFTBRACKET, vk::kOem4},  {SDLK_BACKSLASH, vk::kOem5},
    {SDLK_RIGHTBRACKET, vk::kOem6}, {SDLK_QUOTE, vk::kOem7},
    {SDLK_COLON, vk::kOem1},        {SDLK_AT, vk::kOem3},
    {SDLK_CARET, vk::kOem7},        {SDLK_UNDERSCORE, vk::kOem102},
};

// Keypad keys: the code with Num Lock on, then with it off.
struct PadKey {
  SDL_Keycode sdl;
  uint8_t withNum, withoutNum;
};

constexpr PadKey kPad[] = {
    {SDLK_KP_0, vk::kNumpad0 + 0, vk::kInsert}, {SDLK_KP_1, vk::kNumpad0 + 1, vk::kEnd},
    {SDLK_KP_2, vk::kNumpad0 + 2, vk::kDown},   {SDLK_KP_3, vk::kNumpad0 + 3, vk::kNext},
    {SDLK_KP_4, vk::kNumpad0 + 4, vk::kLeft},   {SDLK_KP_5, vk::kNumpad0 + 5, vk::kClear},
    {SDLK_KP_6, vk::kNumpad0 + 6, vk::kRight},  {SDLK_KP_7, vk::kNumpad0 + 7, vk::kHome},
    {SDLK_KP_8, vk::kNumpad0 + 8, vk::kUp},     {SDLK_KP_9, vk::kNumpad0 + 9, vk::kPrior},
    {SDLK_KP_PERIOD, vk::kDecimal, vk::kDelete},
};

}  // namespace

uint8_t VirtualKeyFromSdl(int32_t sdlKeycode, uint16_t sdlMod) {
  if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) return static_cast<uint8_t>(vk::kA + (sdlKeycode - SDLK_a));
  if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9) return static_cast<uint8_t>(vk::k0 + (sdlKeycode - SDLK_0));
  if (sdlKeycode >= SDLK_F1 && sdlKeycode <= SDLK_F12) return static_cast<uint8_t>(vk::kF1 + (sdlKeycode - SDLK_F1));
  if (sdlKeycode >= SDLK_F13 && sdlKeycode <= SDLK_F24)
    return static_cast<uint8_t>(vk::kF1 + 12 + (sdlKeycode - SDLK_F13));
  for (const auto& p : kPad)
    if (p.sdl == sdlKeycode) return (sdlMod & KMOD_NUM) ? p.withNum : p.withoutNum;
  for (const auto& k : kKeys)
    if (k.sdl == sdlKeycode) return k.vk;
  return 0;
}

uint8_t VirtualKeyFromSdlName(const char* sdlKeyName, bool numLock) {
  return VirtualKeyFromSdl(SDL_GetKeyFromName(sdlKeyName), numLock ? KMOD_NUM : KMOD_NONE);
}

}  // namespace orva::platform
