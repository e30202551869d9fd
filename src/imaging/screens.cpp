#include "imaging/screens.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/errors.h"
#include "common/streams.h"
#include "imaging/pictures.h"

namespace orva {

TScreenManager::TScreenManager(Options o)
    : display_(o.display),
      gameWidth_(std::max(o.gameWidth, 1)),
      gameHeight_(std::max(o.gameHeight, 1)),
      fsMinWidth_(o.fullScreenMinWidth),
      fsHeight_(o.fullScreenHeight) {
  frameBuffer_.SetSize(gameWidth_, gameHeight_, 32);
  std::vector<platform::DisplayMode> listed;
  if (o.modes) listed = *o.modes;
  else if (display_) listed = display_->DisplayModes();
  if (o.desktop) {
    desktop_ = *o.desktop;
  } else {
    desktop_ = {gameWidth_, gameHeight_, 24, 60};
    for (const auto& m : listed)
      if (int64_t{m.width} * m.height > int64_t{desktop_.width} * desktop_.height) desktop_ = m;
  }
  if (desktop_.bitsPerPixel <= 0) desktop_.bitsPerPixel = 24;
  if (desktop_.refreshRate <= 0) desktop_.refreshRate = 60;
  for (const auto& m : listed)
    if (m.width >= gameWidth_ && m.height >= gameHeight_ && m.bitsPerPixel > 15 &&
        FindMode(m.width, m.height, m.refreshRate, m.bitsPerPixel) < 0)
      AddMode(m.width, m.height, m.refreshRate, m.bitsPerPixel);
  SetMode(-1);
}

int TScreenManager::FindMode(int w, int h, int refresh, int bits) const {
  for (size_t i = 0; i < modes_.size(); ++i) {
    const auto& m = modes_[i];
    if (m.Width == w && m.Height == h && m.BitDepth == bits && (refresh == 0 || m.RefreshRate == refresh))
      return static_cast<int>(i);
  }
  return -1;
}

int TScreenManager::AddMode(int w, int h, int refresh, int bits) {
  TScreenModeClass mode;
  mode.Width = w;
  mode.Height = h;
  mode.RefreshRate = refresh;
  mode.BitDepth = bits;
  modes_.push_back(mode);
  std::stable_sort(modes_.begin(), modes_.end(), [](const TScreenModeClass& a, const TScreenModeClass& b) {
    if (a.BitDepth != b.BitDepth) return a.BitDepth > b.BitDepth;
    if (a.Width != b.Width) return a.Width < b.Width;
    if (a.Height != b.Height) return a.Height < b.Height;
    return a.RefreshRate < b.RefreshRate;
  });
  if (!preferred_) {
    preferred_ = mode;
  } else if (w >= fsMinWidth_ && h == fsHeight_ && h > 0) {
    const double desk = desktop_.height > 0 ? static_cast<double>(desktop_.width) / desktop_.height : 0.0;
    const TScreenModeClass& p = *preferred_;
    const double dn = std::fabs(static_cast<double>(w) / h - desk);
    const double dp = p.Height > 0 ? std::fabs(static_cast<double>(p.Width) / p.Height - desk) : 1e300;
    const bool better =
        dn < dp || (dn == dp && bits == desktop_.bitsPerPixel &&
                    (p.BitDepth != desktop_.bitsPerPixel ||
                     std::abs(refresh - desktop_.refreshRate) < std::abs(p.RefreshRate - desktop_.refreshRate)));
    if (better) preferred_ = mode;
  }
  for (size_t i = modes_.size(); i-- > 0;)
    if (modes_[i].SameMode(mode)) return static_cast<int>(i);
  return -1;
}

int TScreenManager::PreferredMode() const {
  if (!preferred_) return -1;
  for (size_t i = 0; i < modes_.size(); ++i)
    if (modes_[i].SameMode(*preferred_)) return static_cast<int>(i);
  return -1;
}

void TScreenManager::SetMode(int index) {
  if (index == modeIndex_) return;
  if (index < -1 || index >= ModeCount()) index = -1;
  if (index == modeIndex_) return;
  const bool full = index >= 0;
  modeIndex_ = index;
  if (display_ && (full != fullScreen_ || full)) display_->SetFullScreen(full);
  fullScreen_ = full;
  wholeFrameDue_ = true;
}

void TScreenManager::ToggleFullScreen() { SetMode(fullScreen_ ? -1 : PreferredMode()); }

bool TScreenManager::Present(std::span<const TRect> dirty) {
  std::vector<platform::Rect> rects;
  const TRect bounds = frameBuffer_.BoundsRect();
  if (wholeFrameDue_) {
    rects.push_back({0, 0, bounds.Right, bounds.Bottom});
  } else {
    for (const TRect& d : dirty) {
      const TRect r = Intersect(d, bounds);
      if (!r.Empty()) rects.push_back({r.Left, r.Top, r.Right, r.Bottom});
    }
  }
  if (rects.empty()) return false;
  wholeFrameDue_ = false;
  if (display_) {
    platform::FrameView view;
    view.pixels = reinterpret_cast<const uint32_t*>(frameBuffer_.Row(0));
    view.width = frameBuffer_.Width();
    view.height = frameBuffer_.Height();
    view.stride = frameBuffer_.Pitch() / 4;
    display_->Present(view, rects);
  }
  ++frameCount_;
  if (seriesEvery_ > 0 && frameCount_ % static_cast<uint32_t>(seriesEvery_) == 0) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u.png", frameCount_);
    SaveScreenshotPng((std::filesystem::path(seriesDir_) / name).string());
  }
  return true;
}

bool TScreenManager::PresentAll() {
  const TRect all = frameBuffer_.BoundsRect();
  return Present(std::span<const TRect>(&all, 1));
}

double TScreenManager::UpdateFps(int64_t nowMs) {
  if (fpsWindowStart_ < 0 || nowMs < fpsWindowStart_) {
    fpsWindowStart_ = nowMs;
    fpsWindowFrames_ = frameCount_;
    return fps_;
  }
  const int64_t elapsed = nowMs - fpsWindowStart_;
  if (elapsed >= 1000) {
    fps_ = static_cast<double>(frameCount_ - fpsWindowFrames_) * 1000.0 / static_cast<double>(elapsed);
    fpsWindowStart_ = nowMs;
    fpsWindowFrames_ = frameCount_;
  }
  return fps_;
}

void TScreenManager::SaveScreenshotPng(const std::string& hostPath) {
  const std::vector<uint8_t> png = EncodePng(frameBuffer_, nullptr);
  TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
  m.SaveToFile(hostPath);
}

void TScreenManager::SetScreenshotSeries(int every, const std::string& hostDir) {
  seriesEvery_ = every;
  seriesDir_ = hostDir;
  if (every > 0) {
    std::error_code ec;
    std::filesystem::create_directories(hostDir, ec);
    if (ec) throw OrvaError::Utf8("cannot create the screenshot folder " + hostDir);
  }
}

void TScreenManager::ReleaseAll() {
  if (display_ && fullScreen_) display_->SetFullScreen(false);
  fullScreen_ = false;
  modeIndex_ = -2;
  wholeFrameDue_ = true;
}

}  // namespace orva
