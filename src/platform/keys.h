// Keys as the rest of the program sees them: Windows virtual-key codes below
// 256, whatever the backend. Shift, Ctrl and Alt arrive as the generic codes
// (kShift, kControl, kMenu), not as their left/right variants.
#pragma once

#include <cstdint>

namespace orva::vk {

constexpr uint8_t kBack = 0x08, kTab = 0x09, kClear = 0x0C, kReturn = 0x0D;
constexpr uint8_t kShift = 0x10, kControl = 0x11, kMenu = 0x12, kPause = 0x13, kCapital = 0x14;
constexpr uint8_t kEscape = 0x1B, kSpace = 0x20;
constexpr uint8_t kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr uint8_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr uint8_t kSnapshot = 0x2C, kInsert = 0x2D, kDelete = 0x2E;
constexpr uint8_t k0 = 0x30;  // '0'..'9' are 0x30..0x39
constexpr uint8_t kA = 0x41;  // 'A'..'Z' are 0x41..0x5A
constexpr uint8_t kLWin = 0x5B, kRWin = 0x5C, kApps = 0x5D;
constexpr uint8_t kNumpad0 = 0x60;  // 0x60..0x69
constexpr uint8_t kMultiply = 0x6A, kAdd = 0x6B, kSeparator = 0x6C, kSubtract = 0x6D, kDecimal = 0x6E,
                  kDivide = 0x6F;
constexpr uint8_t kF1 = 0x70;  // F1..F24 are 0x70..0x87
constexpr uint8_t kNumLock = 0x90, kScroll = 0x91;
constexpr uint8_t kOem1 = 0xBA /* ;: */, kOemPlus = 0xBB, kOemComma = 0xBC, kOemMinus = 0xBD, kOemPeriod = 0xBE,
                  kOem2 = 0xBF /* /? */, kOem3 = 0xC0 /* `~ */, kOem4 = 0xDB /* [ */, kOem5 = 0xDC /* \ */,
                  kOem6 = 0xDD /* ] */, kOem7 = 0xDE /* ' */, kOem102 = 0xE2 /* the extra \ key */;

}  // namespace orva::vk
