// A display without a window: the last frame presented is kept in memory, so
// headless runs and tests can look at it.
#pragma once

#include <string>
#include <vector>

#include "platform/display.h"

namespace orva::platform {

class NullDisplay : public IDisplay {
 public:
  void Create(int width, int height, std::string_view titleUtf8) override;
  void Present(const FrameView& frame, std::span<const Rect> dirty) override;
  void SetFullScreen(bool on) override { fullScreen_ = on; }
  bool IsFullScreen() const override { return fullScreen_; }
  void SetTitle(std::string_view titleUtf8) override { title_ = titleUtf8; }
  void SetCursorVisible(bool visible) override { cursorVisible_ = visible; }
  void SetScaleMode(ScaleMode mode) override { scaleMode_ = mode; }
  std::vector<DisplayMode> DisplayModes() override { return modes_; }

  bool Created() const { return created_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::string& Title() const { return title_; }
  bool CursorVisible() const { return cursorVisible_; }
  ScaleMode Scale() const { return scaleMode_; }
  int PresentCount() const { return presents_; }
  // The kept frame, width x height, 0x00RRGGBB, tightly packed.
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  void SetDisplayModes(std::vector<DisplayMode> modes) { modes_ = std::move(modes); }

 private:
  bool created_ = false;
  int width_ = 0, height_ = 0;
  std::string title_;
  bool fullScreen_ = false;
  bool cursorVisible_ = true;
  ScaleMode scaleMode_ = ScaleMode::Nearest;
  int presents_ = 0;
  std::vector<uint32_t> pixels_;
  std::vector<DisplayMode> modes_{{640, 480, 32, 60}, {800, 600, 32, 60}, {1024, 768, 32, 60}};
};

}  // namespace orva::platform
