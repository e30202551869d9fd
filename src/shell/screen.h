// What the shell needs from the screen: presenting the composed frame, the
// FPS figure and screenshots. TFrameScreen is the screen manager's frame
// buffer behind that; until the registry composes into it, it stays black.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/display.h"

namespace orva {

class TScreenManager;

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
  // Writes every `every`-th presented frame into dir (every <= 0: none).
  virtual void SetScreenshotSeries(int every, const std::string& dir) = 0;
  virtual void Free() = 0;
};

class TFrameScreen : public IShellScreen {
 public:
  TFrameScreen();
  ~TFrameScreen() override;
  void Create(platform::IDisplay* display, int width, int height) override;
  bool Present() override;
  void Invalidate() override { dirty_ = true; }
  void SetFps(int fps) override { fps_ = fps; }
  void SaveScreenshotPng(const std::string& path) override;
  void SetScreenshotSeries(int every, const std::string& dir) override;
  void Free() override;

  // The screen manager (null before Create): its frame buffer is what the
  // registry composes into.
  TScreenManager* Manager() { return manager_.get(); }
  int Fps() const { return fps_; }
  int PresentCount() const { return presents_; }

 private:
  std::unique_ptr<TScreenManager> manager_;
  bool dirty_ = false;
  int fps_ = 0;
  int presents_ = 0;
  int seriesEvery_ = 0;
  std::string seriesDir_;
};

}  // namespace orva
