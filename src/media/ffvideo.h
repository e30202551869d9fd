// The pictures of a video: FFmpeg decodes the video stream and converts each
// frame to 32-bit 0x00RRGGBB pixels at the source size. The caller gives the
// time (the video's own sound, or its play clock) and the decoder moves to
// the last frame due at that time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/streams.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace orva::media {

class TFfInput;

class TFfVideo {
 public:
  static constexpr int kMaxSide = 4096;

  // Null, with the reason in *why, when there is no video stream FFmpeg can
  // decode or its pictures are larger than kMaxSide on a side.
  static std::unique_ptr<TFfVideo> Open(std::shared_ptr<TStream> source, std::string* why);
  ~TFfVideo();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int32_t LengthMs() const { return lengthMs_; }
  // Decodes up to the last frame whose time is at or before ms. True when
  // the picture changed.
  bool AdvanceTo(int64_t ms);
  // The next AdvanceTo starts from the frame at ms.
  void SeekTo(int64_t ms);
  bool HasPicture() const { return hasPicture_; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

 private:
  TFfVideo() = default;
  AVFrame* NextFrame();
  void Convert(AVFrame* frame);
  int64_t FrameMs(AVFrame* frame) const;

  std::unique_ptr<TFfInput> input_;
  AVCodecContext* codec_ = nullptr;
  SwsContext* sws_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* pending_ = nullptr;  // decoded, not yet due
  AVFrame* due_ = nullptr;      // the last frame due, to be shown
  AVPacket* packet_ = nullptr;
  int streamIndex_ = -1;
  bool flushing_ = false, ended_ = false, hasPending_ = false, hasPicture_ = false;
  int width_ = 0, height_ = 0;
  int32_t lengthMs_ = 0;
  int64_t startMs_ = 0;
  int64_t lastMs_ = -1;
  std::vector<uint32_t> pixels_;
};

}  // namespace orva::media
