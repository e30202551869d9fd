#include "media/ffinputs.h"

#include <cstdarg>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include "media/lockedstreams.h"
#include "media/mediabackend.h"

namespace orva::media {

namespace {

constexpr int kIoBufferSize = 32768;

// Demuxers of playlists and file lists would open further files: refused.
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

void LogLine(void* avcl, int level, const char* fmt, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  std::vsnprintf(line, sizeof line, fmt, args);
  std::string text(line);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!text.empty()) MediaLog("ffmpeg: " + text);
}

}  // namespace

std::string FfError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

AVFrame* DecodeNextFrame(AVFormatContext* format, AVCodecContext* codec, int streamIndex, AVPacket* packet,
                         AVFrame* frame, bool& flushing) {
  for (;;) {
    int r = avcodec_receive_frame(codec, frame);
    if (r == 0) return frame;
    if (r != AVERROR(EAGAIN) || flushing) return nullptr;
    r = av_read_frame(format, packet);
    if (r < 0) {
      flushing = true;
      avcodec_send_packet(codec, nullptr);
      continue;
    }
    if (packet->stream_index != streamIndex) {
      av_packet_unref(packet);
      continue;
    }
    r = avcodec_send_packet(codec, packet);
    av_packet_unref(packet);
    if (r < 0 && r != AVERROR(EAGAIN)) {
      MediaLog("damaged data: " + FfError(r));
      flushing = true;
      avcodec_send_packet(codec, nullptr);
    }
  }
}

bool ProbeMedia(std::shared_ptr<TStream> stream, TMediaInfo& info, std::string* why) {
  auto in = TFfInput::Open(std::move(stream), why);
  if (!in) return false;
  AVFormatContext* f = in->Format();
  info = {};
  info.container = f->iformat && f->iformat->name ? f->iformat->name : "";
  if (f->duration != AV_NOPTS_VALUE && f->duration > 0)
    info.lengthMs = static_cast<int32_t>(std::min<int64_t>(av_rescale(f->duration, 1000, AV_TIME_BASE), INT32_MAX));
  const int a = av_find_best_stream(f, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (a >= 0) {
    const AVCodecParameters* p = f->streams[a]->codecpar;
    info.soundCodec = avcodec_get_name(p->codec_id);
    info.rate = p->sample_rate;
    info.channels = p->ch_layout.nb_channels;
  }
  const int v = av_find_best_stream(f, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (v >= 0) {
    const AVCodecParameters* p = f->streams[v]->codecpar;
    info.videoCodec = avcodec_get_name(p->codec_id);
    info.width = p->width;
    info.height = p->height;
  }
  return true;
}

void RouteFfLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&LogLine); });
}

int TFfInput::ReadPacket(void* self, uint8_t* buffer, int size) {
  auto* in = static_cast<TFfInput*>(self);
  const int64_t got = StreamReadAt(in->stream_.get(), in->position_, buffer, size);
  if (got <= 0) return AVERROR_EOF;
  in->position_ += got;
  return static_cast<int>(got);
}

int64_t TFfInput::Seek(void* self, int64_t offset, int whence) {
  auto* in = static_cast<TFfInput*>(self);
  const int64_t size = StreamSize(in->stream_.get());
  if (whence & AVSEEK_SIZE) return size;
  int64_t to;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: to = offset; break;
    case SEEK_CUR: to = in->position_ + offset; break;
    case SEEK_END: to = size + offset; break;
    default: return AVERROR(EINVAL);
  }
  if (to < 0) return AVERROR(EINVAL);
  in->position_ = to;
  return to;
}

std::unique_ptr<TFfInput> TFfInput::Open(std::shared_ptr<TStream> stream, std::string* why) {
  RouteFfLog();
  auto fail = [&](const std::string& reason) -> std::unique_ptr<TFfInput> {
    if (why) *why = reason;
    return nullptr;
  };
  if (!stream) return fail("no data");
  std::unique_ptr<TFfInput> in(new TFfInput(std::move(stream)));
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) return fail("out of memory");
  in->io_ = avio_alloc_context(buffer, kIoBufferSize, 0, in.get(), &ReadPacket, nullptr, &Seek);
  if (!in->io_) {
    av_free(buffer);
    return fail("out of memory");
  }
  AVFormatContext* format = avformat_alloc_context();
  if (!format) return fail("out of memory");
  format->pb = in->io_;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  format->io_open = &RefuseOpen;
  if (int err = avformat_open_input(&format, nullptr, nullptr, nullptr); err < 0) return fail(FfError(err));
  in->format_ = format;
  if (int err = avformat_find_stream_info(format, nullptr); err < 0) return fail(FfError(err));
  return in;
}

TFfInput::~TFfInput() {
  if (format_) avformat_close_input(&format_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
}

}  // namespace orva::media
