#include "media/ffvideo.h"

#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

#include "media/ffinputs.h"
#include "media/mediabackend.h"

namespace orva::media {

std::unique_ptr<TFfVideo> TFfVideo::Open(std::shared_ptr<TStream> source, std::string* why) {
  std::unique_ptr<TFfVideo> v(new TFfVideo);
  auto fail = [&](const std::string& reason) -> std::unique_ptr<TFfVideo> {
    if (why) *why = reason;
    return nullptr;
  };
  v->input_ = TFfInput::Open(std::move(source), why);
  if (!v->input_) return nullptr;
  AVFormatContext* format = v->input_->Format();
  const AVCodec* decoder = nullptr;
  v->streamIndex_ = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (v->streamIndex_ < 0 || !decoder) return fail("no pictures in the data");
  const AVStream* st = format->streams[v->streamIndex_];
  v->width_ = st->codecpar->width;
  v->height_ = st->codecpar->height;
  if (v->width_ < 1 || v->height_ < 1 || v->width_ > kMaxSide || v->height_ > kMaxSide)
    return fail("unsupported picture size " + std::to_string(v->width_) + "x" + std::to_string(v->height_));
  v->codec_ = avcodec_alloc_context3(decoder);
  if (!v->codec_ || avcodec_parameters_to_context(v->codec_, st->codecpar) < 0) return fail("bad codec parameters");
  v->codec_->pkt_timebase = st->time_base;
  v->codec_->thread_count = 1;
  if (int err = avcodec_open2(v->codec_, decoder, nullptr); err < 0) return fail(FfError(err));
  v->frame_ = av_frame_alloc();
  v->pending_ = av_frame_alloc();
  v->due_ = av_frame_alloc();
  v->packet_ = av_packet_alloc();
  if (!v->frame_ || !v->pending_ || !v->due_ || !v->packet_) return fail("out of memory");
  v->startMs_ = st->start_time != AV_NOPTS_VALUE ? av_rescale_q(st->start_time, st->time_base, AVRational{1, 1000}) : 0;
  int64_t length = 0;
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
    length = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
  else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
    length = av_rescale(format->duration, 1000, AV_TIME_BASE);
  v->lengthMs_ = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
  v->pixels_.assign(static_cast<size_t>(v->width_) * static_cast<size_t>(v->height_), 0);
  // The first picture must decode: it is shown before playing starts.
  AVFrame* first = v->NextFrame();
  if (!first) return fail("no picture decodes");
  v->Convert(first);
  v->lastMs_ = 0;
  return v;
}

TFfVideo::~TFfVideo() {
  if (codec_) avcodec_free_context(&codec_);
  if (sws_) sws_freeContext(sws_);
  if (frame_) av_frame_free(&frame_);
  if (pending_) av_frame_free(&pending_);
  if (due_) av_frame_free(&due_);
  if (packet_) av_packet_free(&packet_);
}

int64_t TFfVideo::FrameMs(AVFrame* frame) const {
  if (frame->best_effort_timestamp == AV_NOPTS_VALUE) return lastMs_ + 1;
  const AVStream* st = input_->Format()->streams[streamIndex_];
  return av_rescale_q(frame->best_effort_timestamp, st->time_base, AVRational{1, 1000}) - startMs_;
}

AVFrame* TFfVideo::NextFrame() {
  if (ended_) return nullptr;
  AVFrame* f = DecodeNextFrame(input_->Format(), codec_, streamIndex_, packet_, frame_, flushing_);
  ended_ = f == nullptr;
  return f;
}

void TFfVideo::Convert(AVFrame* frame) {
  if (frame->width != width_ || frame->height != height_) return;  // a size change midway is not shown
  sws_ = sws_getCachedContext(sws_, width_, height_, static_cast<AVPixelFormat>(frame->format), width_, height_,
                              AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
  if (!sws_) return;
  uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(pixels_.data()), nullptr, nullptr, nullptr};
  int dstStride[4] = {width_ * 4, 0, 0, 0};
  sws_scale(sws_, frame->data, frame->linesize, 0, height_, dst, dstStride);
  hasPicture_ = true;
}

bool TFfVideo::AdvanceTo(int64_t ms) {
  // Only the last frame due is converted: frames passed over are dropped.
  bool due = false;
  for (;;) {
    if (!hasPending_) {
      AVFrame* f = NextFrame();
      if (!f) break;
      av_frame_unref(pending_);
      av_frame_move_ref(pending_, f);
      hasPending_ = true;
    }
    const int64_t at = FrameMs(pending_);
    if (at > ms) break;
    av_frame_unref(due_);
    av_frame_move_ref(due_, pending_);
    hasPending_ = false;
    lastMs_ = at;
    due = true;
  }
  if (due) Convert(due_);
  return due;
}

void TFfVideo::SeekTo(int64_t ms) {
  AVFormatContext* format = input_->Format();
  const AVStream* st = format->streams[streamIndex_];
  const int64_t ts = av_rescale_q(std::max<int64_t>(0, ms) + startMs_, AVRational{1, 1000}, st->time_base);
  av_frame_unref(pending_);
  hasPending_ = false;
  if (avformat_seek_file(format, streamIndex_, INT64_MIN, ts, ts, 0) < 0)
    avformat_seek_file(format, streamIndex_, INT64_MIN, 0, 0, 0);
  avcodec_flush_buffers(codec_);
  flushing_ = false;
  ended_ = false;
  lastMs_ = -1;
}

}  // namespace orva::media
