#include "media/ffaudio.h"

#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include "common/log.h"
#include "media/ffinputs.h"
#include "media/mediabackend.h"

namespace orva::media {

namespace {

constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr int kMaxChannels = 8;
// A decoder that stops at most this many frames short of the stated length
// (a resampler's tail, a container's rounding) is padded with silence;
// more is a truncated file, which ends where its data ends.
constexpr int64_t kPadFrames = 2048;
// Forward seeks shorter than this are decoded through rather than sought.
constexpr int64_t kSkipThroughMs = 1000;
// The longest sound: positions are 32-bit milliseconds.
constexpr int64_t kMaxLengthMs = INT32_MAX;

bool Mixable(int rate, int channels) { return (rate == 44100 || rate == 22050) && (channels == 1 || channels == 2); }

}  // namespace

std::unique_ptr<TFfAudioStream> TFfAudioStream::Open(std::shared_ptr<TStream> source, PcmLayout layout,
                                                     std::string* why) {
  std::unique_ptr<TFfAudioStream> s(new TFfAudioStream);
  s->source_ = std::move(source);
  s->layout_ = layout;
  if (!s->OpenDecoder(why)) return nullptr;

  AVFrame* first = s->NextFrame();
  if (!first) {
    if (why) *why = "no sound decodes";
    return nullptr;
  }
  s->timestamps_ = first->best_effort_timestamp != AV_NOPTS_VALUE;
  s->origin_ = s->timestamps_ ? s->FrameSample(first) : 0;

  const AVFormatContext* format = s->input_->Format();
  const AVStream* st = format->streams[s->streamIndex_];
  int64_t srcSamples = -1;
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
    srcSamples = av_rescale_q(st->duration, st->time_base, AVRational{1, s->srcRate_});
  else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
    srcSamples = av_rescale(format->duration, s->srcRate_, AV_TIME_BASE);

  const int64_t align = s->format_.blockAlign;
  const int64_t outRate = s->format_.samplesPerSec;
  const int64_t maxFrames = kMaxLengthMs * outRate / 1000;
  s->nextSample_ = first->nb_samples;
  s->Append(first, 0);
  if (srcSamples >= 0) {
    s->size_ = std::min(av_rescale(srcSamples, outRate, s->srcRate_), maxFrames) * align;
  } else {
    // No length in the container: decode it once to count; the end found
    // is the length.
    s->size_ = maxFrames * align;
    s->cutWarned_ = true;
    for (;;) {
      s->position_ += static_cast<int64_t>(s->pcm_.size() - s->pcmOffset_);
      s->pcm_.clear();
      s->pcmOffset_ = 0;
      if (!s->DecodeMore()) break;
    }
    s->cutWarned_ = false;
    s->Seek(0);
  }
  if (s->size_ <= 0) {
    if (why) *why = "the sound is empty";
    return nullptr;
  }
  return s;
}

TFfAudioStream::~TFfAudioStream() { CloseDecoder(); }

bool TFfAudioStream::OpenDecoder(std::string* why) {
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    CloseDecoder();
    return false;
  };
  input_ = TFfInput::Open(source_, why);
  if (!input_) return false;
  AVFormatContext* format = input_->Format();
  const AVCodec* decoder = nullptr;
  streamIndex_ = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (streamIndex_ < 0 || !decoder) return fail("no sound in the data");
  const AVStream* st = format->streams[streamIndex_];
  const int rate = st->codecpar->sample_rate;
  const int channels = st->codecpar->ch_layout.nb_channels;
  if (rate < kMinRate || rate > kMaxRate) return fail("unsupported sample rate " + std::to_string(rate));
  if (channels < 1 || channels > kMaxChannels) return fail("unsupported channel count " + std::to_string(channels));
  codec_ = avcodec_alloc_context3(decoder);
  if (!codec_) return fail("out of memory");
  if (avcodec_parameters_to_context(codec_, st->codecpar) < 0) return fail("bad codec parameters");
  codec_->pkt_timebase = st->time_base;
  if (int err = avcodec_open2(codec_, decoder, nullptr); err < 0) return fail(FfError(err));
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!frame_ || !packet_) return fail("out of memory");
  flushing_ = false;
  atEnd_ = false;
  if (srcRate_ == 0) {
    srcRate_ = rate;
    srcChannels_ = channels;
    const bool eight = codec_->sample_fmt == AV_SAMPLE_FMT_U8 || codec_->sample_fmt == AV_SAMPLE_FMT_U8P;
    if (layout_ == PcmLayout::KeepMixable && Mixable(rate, channels)) {
      format_ = TWaveFormat::Pcm(rate, channels, eight ? 8 : 16);
    } else {
      format_ = TWaveFormat::Output();
    }
    outSampleFormat_ = format_.bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
  }
  return true;
}

void TFfAudioStream::CloseDecoder() {
  if (codec_) avcodec_free_context(&codec_);
  if (swr_) swr_free(&swr_);
  if (frame_) av_frame_free(&frame_);
  if (packet_) av_packet_free(&packet_);
  input_.reset();
}

int64_t TFfAudioStream::FrameSample(AVFrame* frame) const {
  const AVStream* st = input_->Format()->streams[streamIndex_];
  return av_rescale_q(frame->best_effort_timestamp, st->time_base, AVRational{1, srcRate_});
}

AVFrame* TFfAudioStream::NextFrame() {
  if (!codec_ || atEnd_) return nullptr;
  return DecodeNextFrame(input_->Format(), codec_, streamIndex_, packet_, frame_, flushing_);
}

void TFfAudioStream::Append(AVFrame* frame, int64_t skip) {
  if (frame->sample_rate != srcRate_ || frame->ch_layout.nb_channels != srcChannels_) {
    MediaLog("the sound changes its format midway: it ends there");
    atEnd_ = true;
    return;
  }
  if (!swr_) {
    AVChannelLayout in{}, out{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
      av_channel_layout_default(&in, srcChannels_);
    else
      av_channel_layout_copy(&in, &frame->ch_layout);
    av_channel_layout_default(&out, format_.channels);
    const int err = swr_alloc_set_opts2(&swr_, &out, static_cast<AVSampleFormat>(outSampleFormat_),
                                        static_cast<int>(format_.samplesPerSec), &in,
                                        static_cast<AVSampleFormat>(frame->format), srcRate_, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (err < 0 || swr_init(swr_) < 0) {
      MediaLog("no sample conversion for this sound");
      if (swr_) swr_free(&swr_);
      atEnd_ = true;
      return;
    }
  }
  const int64_t count = frame->nb_samples - skip;
  if (count <= 0) return;
  const auto fmt = static_cast<AVSampleFormat>(frame->format);
  const int bps = av_get_bytes_per_sample(fmt);
  const bool planar = av_sample_fmt_is_planar(fmt) != 0;
  const uint8_t* in[kMaxChannels] = {};
  const int planes = planar ? srcChannels_ : 1;
  for (int p = 0; p < planes; ++p)
    in[p] = frame->extended_data[p] + skip * bps * (planar ? 1 : srcChannels_);
  if (pcmOffset_ > 0 && pcmOffset_ >= pcm_.size()) {
    pcm_.clear();
    pcmOffset_ = 0;
  }
  const int room = swr_get_out_samples(swr_, static_cast<int>(count));
  if (room <= 0) return;
  const size_t old = pcm_.size();
  pcm_.resize(old + static_cast<size_t>(room) * format_.blockAlign);
  uint8_t* out[1] = {pcm_.data() + old};
  const int n = swr_convert(swr_, out, room, in, static_cast<int>(count));
  pcm_.resize(old + static_cast<size_t>(std::max(n, 0)) * format_.blockAlign);
}

bool TFfAudioStream::DecodeMore() {
  if (atEnd_) return false;
  if (AVFrame* f = NextFrame()) {
    nextSample_ += f->nb_samples;
    Append(f, 0);
    return true;
  }
  Ended();
  return false;
}

void TFfAudioStream::Ended() {
  if (swr_ && !atEnd_) {
    // The resampler's tail.
    const int room = swr_get_out_samples(swr_, 0);
    if (room > 0) {
      const size_t old = pcm_.size();
      pcm_.resize(old + static_cast<size_t>(room) * format_.blockAlign);
      uint8_t* out[1] = {pcm_.data() + old};
      const int n = swr_convert(swr_, out, room, nullptr, 0);
      pcm_.resize(old + static_cast<size_t>(std::max(n, 0)) * format_.blockAlign);
    }
  }
  atEnd_ = true;
  const int64_t end = position_ - static_cast<int64_t>(pcmOffset_) + static_cast<int64_t>(pcm_.size());
  if (end >= size_) return;
  if (size_ - end <= kPadFrames * format_.blockAlign) {
    pcm_.resize(pcm_.size() + static_cast<size_t>(size_ - end), format_.bitsPerSample == 8 ? 0x80 : 0);
    return;
  }
  if (!cutWarned_) {
    log::Warning("a sound's data ends at " + std::to_string(BytesToMs(end, format_)) + " ms of " +
                 std::to_string(BytesToMs(size_, format_)) + " ms");
    cutWarned_ = true;
  }
  size_ = end;
}

int64_t TFfAudioStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t copied = 0;
  while (copied < count && position_ < size_) {
    if (pcmOffset_ < pcm_.size()) {
      const int64_t n = std::min({count - copied, size_ - position_, static_cast<int64_t>(pcm_.size() - pcmOffset_)});
      std::memcpy(out + copied, pcm_.data() + pcmOffset_, static_cast<size_t>(n));
      pcmOffset_ += static_cast<size_t>(n);
      position_ += n;
      copied += n;
      continue;
    }
    pcm_.clear();
    pcmOffset_ = 0;
    if (!DecodeMore() && pcm_.empty()) break;
  }
  return copied;
}

void TFfAudioStream::SetPosition(int64_t pos) {
  const int64_t align = format_.blockAlign;
  const int64_t target = std::clamp<int64_t>(pos, 0, size_) / align * align;
  if (target == position_) return;
  const int64_t base = position_ - static_cast<int64_t>(pcmOffset_);
  if (target >= base && target < base + static_cast<int64_t>(pcm_.size())) {
    pcmOffset_ = static_cast<size_t>(target - base);
    position_ = target;
    return;
  }
  if (target > position_ && target - position_ <= MsToBytes(kSkipThroughMs, format_)) {
    std::vector<uint8_t> scratch(16384);
    while (position_ < target) {
      if (Read(scratch.data(), std::min<int64_t>(target - position_, 16384)) <= 0) break;
    }
    if (position_ == target) return;
  }
  Seek(target / align);
}

void TFfAudioStream::Seek(int64_t outFrame) {
  const bool resampling = static_cast<int>(format_.samplesPerSec) != srcRate_;
  const int64_t srcTarget = resampling ? av_rescale(outFrame, srcRate_, format_.samplesPerSec) : outFrame;
  pcm_.clear();
  pcmOffset_ = 0;
  position_ = outFrame * format_.blockAlign;
  bool done = false;
  if (codec_ && timestamps_ && srcTarget > 0) {
    AVFormatContext* format = input_->Format();
    const AVStream* st = format->streams[streamIndex_];
    const int64_t ts = av_rescale_q(srcTarget + origin_, AVRational{1, srcRate_}, st->time_base);
    if (avformat_seek_file(format, streamIndex_, INT64_MIN, ts, ts, 0) >= 0) {
      avcodec_flush_buffers(codec_);
      if (swr_) swr_free(&swr_);
      flushing_ = false;
      atEnd_ = false;
      AVFrame* f = NextFrame();
      if (f && f->best_effort_timestamp != AV_NOPTS_VALUE) {
        int64_t at = FrameSample(f) - origin_;
        if (at <= srcTarget) {
          while (f && at + f->nb_samples <= srcTarget) {
            at += f->nb_samples;
            f = NextFrame();
          }
          if (f) {
            Append(f, srcTarget - at);
            nextSample_ = at + f->nb_samples;
          }
          done = true;
        }
      }
    }
  }
  if (!done) {
    Restart();
    DiscardSource(srcTarget);
  }
}

void TFfAudioStream::Restart() {
  CloseDecoder();
  if (!OpenDecoder(nullptr)) {
    atEnd_ = true;
    return;
  }
  nextSample_ = 0;
}

void TFfAudioStream::DiscardSource(int64_t samples) {
  int64_t at = 0;
  while (AVFrame* f = NextFrame()) {
    if (at + f->nb_samples > samples) {
      Append(f, samples - at);
      nextSample_ = at + f->nb_samples;
      return;
    }
    at += f->nb_samples;
  }
}

int32_t TFfAudioStream::LengthMs() const { return static_cast<int32_t>(BytesToMs(size_, format_)); }

}  // namespace orva::media
