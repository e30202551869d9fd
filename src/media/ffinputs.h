// FFmpeg's demuxers reading our own streams. An item's content stream
// (a range stream into the archive, a memory stream, a file) may be shared by
// several demuxers (the sound and the pictures of a video); each TFfInput
// keeps its own position and reads through the program-wide stream lock,
// seeking and reading in one hold of it. Demuxers never open other files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/streams.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;

namespace orva::media {

class TFfInput {
 public:
  // Opens the container and reads its stream information. Null, with the
  // reason in *why, when FFmpeg does not recognise the data.
  static std::unique_ptr<TFfInput> Open(std::shared_ptr<TStream> stream, std::string* why);
  ~TFfInput();
  TFfInput(const TFfInput&) = delete;
  TFfInput& operator=(const TFfInput&) = delete;

  AVFormatContext* Format() const { return format_; }
  const std::shared_ptr<TStream>& Stream() const { return stream_; }

 private:
  explicit TFfInput(std::shared_ptr<TStream> stream) : stream_(std::move(stream)) {}
  static int ReadPacket(void* self, uint8_t* buffer, int size);
  static int64_t Seek(void* self, int64_t offset, int whence);

  std::shared_ptr<TStream> stream_;
  int64_t position_ = 0;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
};

// The next decoded frame of one stream of the input: packets of that stream
// are decoded, others skipped. Null at the end. A damaged packet ends the
// stream: the decoder is drained of what came before it. `flushing` is set
// once the decoder is being drained.
AVFrame* DecodeNextFrame(AVFormatContext* format, AVCodecContext* codec, int streamIndex, AVPacket* packet,
                         AVFrame* frame, bool& flushing);

// What a media file holds.
struct TMediaInfo {
  std::string container;             // FFmpeg's name of the container format
  std::string soundCodec, videoCodec;  // empty: none
  int rate = 0, channels = 0;        // the sound's
  int width = 0, height = 0;         // the pictures'
  int32_t lengthMs = 0;
};
// False, with the reason in *why, when FFmpeg does not recognise the data.
bool ProbeMedia(std::shared_ptr<TStream> stream, TMediaInfo& info, std::string* why);

// FFmpeg's error text.
std::string FfError(int code);
// Routes FFmpeg's own log (errors only) to the trace sink, once.
void RouteFfLog();

}  // namespace orva::media
