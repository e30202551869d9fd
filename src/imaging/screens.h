// The screen manager: owns the 32-bit frame buffer that the screen bases draw
// into, keeps the list of full-screen modes and the preferred one, switches
// between window and full screen, and presents each finished frame's dirty
// rectangles through the platform display. It also writes screenshots of the
// frame buffer, one at a time or as a series.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/dibx.h"
#include "platform/display.h"

namespace orva {

struct TScreenModeClass {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitDepth = 0;
  int32_t RefreshRate = 0;
  std::array<uint8_t, 32> Description{};  // back-end record; zero here
  bool SameMode(const TScreenModeClass& o) const {
    return Width == o.Width && Height == o.Height && BitDepth == o.BitDepth && RefreshRate == o.RefreshRate;
  }
};

class TScreenManager {
 public:
  struct Options {
    platform::IDisplay* display = nullptr;  // null: nothing is presented
    int gameWidth = 640;
    int gameHeight = 480;
    int fullScreenMinWidth = 0;
    int fullScreenHeight = 0;
    // The display modes to offer; taken from the display when not given.
    std::optional<std::vector<platform::DisplayMode>> modes;
    // The desktop's mode; by default the largest listed mode (bit depth 24
    // and 60 Hz when unknown).
    std::optional<platform::DisplayMode> desktop;
  };

  explicit TScreenManager(Options options);

  int GameWidth() const { return gameWidth_; }
  int GameHeight() const { return gameHeight_; }

  // --- modes ------------------------------------------------------------------
  int ModeCount() const { return static_cast<int>(modes_.size()); }
  const TScreenModeClass& Mode(int index) const { return modes_.at(static_cast<size_t>(index)); }
  // refresh 0 matches any rate; -1 when not listed.
  int FindMode(int width, int height, int refresh, int bitDepth) const;
  int AddMode(int width, int height, int refresh, int bitDepth);
  // Index of the mode used for full-screen play, -1 when there is none.
  int PreferredMode() const;
  const platform::DisplayMode& DesktopMode() const { return desktop_; }

  // -1 = window, >= 0 = that full-screen mode (an unknown index gives the
  // window); nothing happens when the index is unchanged.
  void SetMode(int index);
  int ModeIndex() const { return modeIndex_; }
  bool FullScreenActive() const { return fullScreen_; }
  // Window <-> full screen in the preferred mode.
  void ToggleFullScreen();

  // --- frame --------------------------------------------------------------------
  TDIBX& FrameBuffer() { return frameBuffer_; }
  int FrameBitCount() const { return frameBuffer_.BitCount(); }
  // Shows the dirty rectangles (cut to the frame); returns whether anything
  // was presented. After a mode switch the whole frame is shown once.
  bool Present(std::span<const TRect> dirty);
  bool PresentAll();
  uint32_t FrameCount() const { return frameCount_; }

  // Frames per second over the last whole second of the given clock;
  // call once per tick.
  double UpdateFps(int64_t nowMs);
  double Fps() const { return fps_; }

  // --- screenshots ------------------------------------------------------------
  // The frame buffer as an RGB PNG (host path, UTF-8).
  void SaveScreenshotPng(const std::string& hostPath);
  // From now on every `every`-th presented frame is written to
  // dir/frame_NNNNNN.png (NNNNNN = the frame count); every <= 0 stops.
  void SetScreenshotSeries(int every, const std::string& hostDir);

  // Leaves every mode (ModeIndex -2); the frame buffer stays.
  void ReleaseAll();

 private:
  platform::IDisplay* display_;
  int gameWidth_, gameHeight_, fsMinWidth_, fsHeight_;
  std::vector<TScreenModeClass> modes_;
  std::optional<TScreenModeClass> preferred_;
  platform::DisplayMode desktop_;
  int modeIndex_ = -2;
  bool fullScreen_ = false;
  bool wholeFrameDue_ = true;
  TDIBX frameBuffer_;
  uint32_t frameCount_ = 0;
  int64_t fpsWindowStart_ = -1;
  uint32_t fpsWindowFrames_ = 0;
  double fps_ = 0;
  int seriesEvery_ = 0;
  std::string seriesDir_;
};

}  // namespace orva
