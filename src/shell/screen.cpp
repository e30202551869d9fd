#include "shell/screen.h"

#include "common/errors.h"
#include "imaging/screens.h"

namespace orva {

TFrameScreen::TFrameScreen() = default;
TFrameScreen::~TFrameScreen() = default;

void TFrameScreen::Create(platform::IDisplay* display, int width, int height) {
  TScreenManager::Options o;
  o.display = display;
  o.gameWidth = width > 0 ? width : 1;
  o.gameHeight = height > 0 ? height : 1;
  manager_ = std::make_unique<TScreenManager>(std::move(o));
  if (seriesEvery_ > 0) manager_->SetScreenshotSeries(seriesEvery_, seriesDir_);
  dirty_ = true;
}

bool TFrameScreen::Present() {
  if (!dirty_ || !manager_) return false;
  dirty_ = false;
  if (!manager_->PresentAll()) return false;
  ++presents_;
  return true;
}

void TFrameScreen::SaveScreenshotPng(const std::string& path) {
  if (!manager_) throw OrvaError::Utf8("no frame to save: the screen was not created");
  manager_->SaveScreenshotPng(path);
}

void TFrameScreen::SetScreenshotSeries(int every, const std::string& dir) {
  seriesEvery_ = every;
  seriesDir_ = dir;
  if (manager_) manager_->SetScreenshotSeries(every, dir);
}

void TFrameScreen::Free() { manager_.reset(); }

}  // namespace orva
