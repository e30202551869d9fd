// What the shell needs from the screen manager: presenting the composed
// frame, the FPS figure and screenshots. Until the screen manager exists,
// TBlackScreen stands in: a black frame of the project's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display.h"

namespace orva {

class IShellScreen {
 public:
  virtual ~IShellScreen() = default;
  // Made during media start-up, with the project's size.
  virtual void Create(platform::IDisplay* display, int width, int height) = 0;
  // Presents what changed since the last call (nothing when nothing did);
  // true when something was presented.
  virtual bool Present() = 0;
  // The whole frame must be presented again (after a screen switch).
  virtual void Invalidate() = 0;
  virtual void SetFps(int fps) = 0;
  // Writes the last composed frame as a PNG file; throws OrvaError.
  virtual void SaveScreenshotPng(const std::string& path) = 0;
  virtual void Free() = 0;
};

class TBlackScreen : public IShellScreen {
 public:
  void Create(platform::IDisplay* display, int width, int height) override;
  bool Present() override;
  void Invalidate() override { dirty_ = true; }
  void SetFps(int fps) override { fps_ = fps; }
  void SaveScreenshotPng(const std::string& path) override;
  void Free() override;

  int Fps() const { return fps_; }
  int PresentCount() const { return presents_; }

 private:
  platform::IDisplay* display_ = nullptr;
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
  bool dirty_ = false;
  int fps_ = 0;
  int presents_ = 0;
};

// Writes a 32-bit frame (0x00RRGGBB) as an 8-bit RGB PNG file.
void WritePngFile(const std::string& path, const platform::FrameView& frame);

}  // namespace orva
