// The display side of the platform seam: one window (or none, for the null
// backend) showing a 32-bit frame. Everything above the seam composes into a
// software frame buffer and hands it over here.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orva::platform {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
};

// A 32-bit frame: each pixel is 0x00RRGGBB (blue in the lowest byte, as a
// Windows 32-bit device-independent bitmap), rows top to bottom.
struct FrameView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // pixels from one row to the next
};

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;
  int refreshRate = 0;  // Hz, 0 when unknown
  bool operator==(const DisplayMode&) const = default;
};

enum class ScaleMode { Nearest, Integer, Smooth };

class IDisplay {
 public:
  virtual ~IDisplay() = default;
  // Opens the window with a client area of width x height.
  virtual void Create(int width, int height, std::string_view titleUtf8) = 0;
  // Shows the frame; only the dirty rectangles changed (empty: all of it).
  virtual void Present(const FrameView& frame, std::span<const Rect> dirty) = 0;
  virtual void SetFullScreen(bool on) = 0;
  virtual bool IsFullScreen() const = 0;
  virtual void SetTitle(std::string_view titleUtf8) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  virtual void SetScaleMode(ScaleMode mode) = 0;
  // The modes scripts can read (full-screen modes of the main display).
  virtual std::vector<DisplayMode> DisplayModes() = 0;
};

}  // namespace orva::platform
