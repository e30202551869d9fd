// Decoded sound as a seekable, read-only stream of PCM bytes. FFmpeg reads
// the container and decodes; the samples come out either in the mixer's own
// format (44100 Hz 16-bit stereo) or, for the formats the mixer converts
// exactly itself (44100 or 22050 Hz, one or two channels), at the source's
// rate and channels. Positions are bytes of whole frames; a seek lands on the
// exact sample (seek earlier, decode and discard).
//
// Not thread-safe: the mixer calls it under its lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/streams.h"
#include "media/wavouts.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace orva::media {

class TFfInput;

enum class PcmLayout {
  Mixer,         // always 44100 Hz 16-bit stereo
  KeepMixable,   // the mixer's exact formats as they are, others as Mixer
};

class TFfAudioStream : public TStream {
 public:
  // Null, with the reason in *why, when the data is not sound FFmpeg can
  // decode (no audio stream, no decoder, a hostile format, a first frame
  // that does not decode).
  static std::unique_ptr<TFfAudioStream> Open(std::shared_ptr<TStream> source, PcmLayout layout, std::string* why);
  ~TFfAudioStream() override;

  const TWaveFormat& Format() const { return format_; }
  int32_t LengthMs() const;

  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t pos) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }

 private:
  TFfAudioStream() = default;
  bool OpenDecoder(std::string* why);
  void CloseDecoder();
  // The next decoded frame (owned by the stream), or null at the end.
  AVFrame* NextFrame();
  // Converts the frame from source sample `skip` on and appends the result.
  void Append(AVFrame* frame, int64_t skip);
  bool DecodeMore();
  void Seek(int64_t frame);
  void Restart();
  void DiscardSource(int64_t samples);
  int64_t FrameSample(AVFrame* frame) const;
  void Ended();

  std::shared_ptr<TStream> source_;
  std::unique_ptr<TFfInput> input_;
  AVCodecContext* codec_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int streamIndex_ = -1;
  bool flushing_ = false;   // the demuxer is exhausted; the decoder is draining
  bool atEnd_ = false;      // nothing more comes
  bool cutWarned_ = false;

  PcmLayout layout_ = PcmLayout::Mixer;
  TWaveFormat format_;
  int srcRate_ = 0, srcChannels_ = 0;
  int outSampleFormat_ = 0;
  int64_t origin_ = 0;       // source sample number of the first decoded frame
  bool timestamps_ = true;   // frames carry usable timestamps (seeks may use them)
  int64_t nextSample_ = 0;   // source sample number of the next decoded sample
  int64_t size_ = 0;         // bytes
  int64_t position_ = 0;     // bytes
  std::vector<uint8_t> pcm_; // decoded bytes from position_ - pcmOffset_ on
  size_t pcmOffset_ = 0;
};

}  // namespace orva::media
