#include <algorithm>
#include <string>

#include "common/errors.h"
#include "platform/sdl_backend.h"

namespace orva::platform {

SdlDisplay::~SdlDisplay() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
}

void SdlDisplay::Create(int width, int height, std::string_view titleUtf8) {
  width = std::max(1, width);
  height = std::max(1, height);
  const std::string title(titleUtf8);
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                             SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window_) throw OrvaError::Utf8(std::string("cannot open the window: ") + SDL_GetError());
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer_) throw OrvaError::Utf8(std::string("cannot create a renderer: ") + SDL_GetError());
  MakeTexture(width, height);
  // Black until the first frame arrives.
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);
}

void SdlDisplay::MakeTexture(int width, int height) {
  if (texture_) SDL_DestroyTexture(texture_);
  // 0x00RRGGBB pixels in native byte order.
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!texture_) throw OrvaError::Utf8(std::string("cannot create the frame texture: ") + SDL_GetError());
  texWidth_ = width;
  texHeight_ = height;
  hasFrame_ = false;
  SDL_RenderSetLogicalSize(renderer_, width, height);
  ApplyScale();
}

void SdlDisplay::ApplyScale() {
  if (!renderer_) return;
  SDL_RenderSetIntegerScale(renderer_, scale_ == ScaleMode::Integer ? SDL_TRUE : SDL_FALSE);
  if (texture_) SDL_SetTextureScaleMode(texture_, scale_ == ScaleMode::Smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
}

void SdlDisplay::Present(const FrameView& frame, std::span<const Rect> dirty) {
  if (!renderer_ || !frame.pixels || frame.width <= 0 || frame.height <= 0) return;
  if (frame.width != texWidth_ || frame.height != texHeight_) MakeTexture(frame.width, frame.height);
  const int pitch = frame.stride * 4;
  auto upload = [&](Rect r) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, frame.width);
    r.bottom = std::min(r.bottom, frame.height);
    if (r.Empty()) return;
    SDL_Rect sr{r.left, r.top, r.Width(), r.Height()};
    SDL_UpdateTexture(texture_, &sr, frame.pixels + static_cast<size_t>(r.top) * frame.stride + r.left, pitch);
  };
  if (dirty.empty() || !hasFrame_) {
    upload(Rect{0, 0, frame.width, frame.height});
  } else {
    for (const Rect& r : dirty) upload(r);
  }
  hasFrame_ = true;
  Redraw();
}

void SdlDisplay::Redraw() {
  if (!renderer_) return;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (hasFrame_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void SdlDisplay::SetFullScreen(bool on) {
  if (!window_) return;
  SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  if (!on) SDL_SetWindowSize(window_, texWidth_, texHeight_);
  Redraw();
}

bool SdlDisplay::IsFullScreen() const {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void SdlDisplay::SetTitle(std::string_view titleUtf8) {
  if (window_) SDL_SetWindowTitle(window_, std::string(titleUtf8).c_str());
}

void SdlDisplay::SetCursorVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void SdlDisplay::SetScaleMode(ScaleMode mode) {
  scale_ = mode;
  ApplyScale();
  Redraw();
}

std::vector<DisplayMode> SdlDisplay::DisplayModes() {
  std::vector<DisplayMode> modes;
  int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
    DisplayMode d{m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format)), m.refresh_rate};
    if (d.bitsPerPixel == 24) d.bitsPerPixel = 32;  // 24-bit depth modes hold 32-bit pixels
    if (std::find(modes.begin(), modes.end(), d) == modes.end()) modes.push_back(d);
  }
  return modes;
}

}  // namespace orva::platform
