#include "platform/null_display.h"

#include <algorithm>

namespace orva::platform {

void NullDisplay::Create(int width, int height, std::string_view titleUtf8) {
  created_ = true;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  title_ = titleUtf8;
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
}

void NullDisplay::Present(const FrameView& frame, std::span<const Rect> dirty) {
  ++presents_;
  if (!frame.pixels) return;
  if (frame.width != width_ || frame.height != height_) {
    width_ = std::max(0, frame.width);
    height_ = std::max(0, frame.height);
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
    dirty = {};
  }
  const Rect whole{0, 0, width_, height_};
  auto copy = [&](Rect r) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, width_);
    r.bottom = std::min(r.bottom, height_);
    if (r.Empty()) return;
    for (int y = r.top; y < r.bottom; ++y)
      std::copy_n(frame.pixels + static_cast<size_t>(y) * frame.stride + r.left, r.Width(),
                  pixels_.data() + static_cast<size_t>(y) * width_ + r.left);
  };
  if (dirty.empty()) {
    copy(whole);
  } else {
    for (const Rect& r : dirty) copy(r);
  }
}

}  // namespace orva::platform
