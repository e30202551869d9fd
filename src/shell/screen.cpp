#include "shell/screen.h"

#include <png.h>

#include <cstdio>
#include <memory>

#include "common/errors.h"

namespace orva {

void TBlackScreen::Create(platform::IDisplay* display, int width, int height) {
  display_ = display;
  width_ = width > 0 ? width : 0;
  height_ = height > 0 ? height : 0;
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
  dirty_ = true;
}

bool TBlackScreen::Present() {
  if (!dirty_ || !display_ || pixels_.empty()) return false;
  display_->Present(platform::FrameView{pixels_.data(), width_, height_, width_}, {});
  dirty_ = false;
  ++presents_;
  return true;
}

void TBlackScreen::SaveScreenshotPng(const std::string& path) {
  if (pixels_.empty()) throw OrvaError::Utf8("no frame to save: the screen was not created");
  WritePngFile(path, platform::FrameView{pixels_.data(), width_, height_, width_});
}

void TBlackScreen::Free() {
  pixels_.clear();
  display_ = nullptr;
}

void WritePngFile(const std::string& path, const platform::FrameView& frame) {
  if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width)
    throw OrvaError::Utf8("cannot write " + path + ": empty frame");
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw OrvaError::Utf8("cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw OrvaError::Utf8("cannot write " + path + ": out of memory");
  }
  std::vector<png_byte> row(static_cast<size_t>(frame.width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw OrvaError::Utf8("cannot write " + path);
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < frame.height; ++y) {
    const uint32_t* src = frame.pixels + static_cast<size_t>(y) * frame.stride;
    for (int x = 0; x < frame.width; ++x) {
      row[x * 3 + 0] = static_cast<png_byte>(src[x] >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(src[x] >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(src[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) throw OrvaError::Utf8("cannot write " + path);
}

}  // namespace orva
