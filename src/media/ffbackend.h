// The media back end: FFmpeg decodes, the one mixer plays. Every sound item
// is a decoded stream in the mixer's format feeding one mixer buffer with a
// decibel volume and a pan; a video item adds its pictures, timed by its own
// sound (or by a play clock on the mixer's time when it has none). Decoded
// PCM streams give the mixer's exactly converted formats as they are.
//
// Every call takes the mixer's lock: the mixer reads the decoders from its
// own thread.
#pragma once

#include <map>
#include <memory>

#include "media/mediabackend.h"
#include "media/wavouts.h"

namespace orva::media {

class TFfAudioStream;
class TFfVideo;

class TFfMediaBackend : public IMediaBackend {
 public:
  explicit TFfMediaBackend(TWavOut& mixer);
  ~TFfMediaBackend() override;

  void Init() override;
  void Final() override;
  void SetStreamingThread(bool) override {}
  void UpdateStreams() override {}
  void Restore() override {}
  void SuspendVideo() override {}
  void ResumeVideo() override {}

  MediaHandle AddWindowsMediaAudio(std::vector<uint8_t> bytes) override;
  MediaHandle AddOgg(std::unique_ptr<TStream> stream, bool isOgg) override;
  MediaHandle AddVideo(const std::string& hostPath, std::unique_ptr<TStream> stream, int flags) override;
  void Delete(MediaHandle item) override;

  void Play(MediaHandle item) override;
  void Pause(MediaHandle item) override;
  bool IsPlaying(MediaHandle item) override;
  bool IsPaused(MediaHandle item) override;
  bool IsEnd(MediaHandle item) override;
  int32_t GetLen(MediaHandle item) override;
  int32_t GetPosition(MediaHandle item) override;
  void SetPosition(MediaHandle item, int32_t ms) override;
  int32_t GetVol(MediaHandle item) override;
  void SetVol(MediaHandle item, int32_t volume) override;
  int32_t GetPan(MediaHandle item) override;
  void SetPan(MediaHandle item, int32_t pan) override;
  void SetLinearGain(MediaHandle item, int32_t numerator, int32_t denominator) override;
  bool GetAutoRepeat(MediaHandle item) override;
  void SetAutoRepeat(MediaHandle item, bool repeat) override;
  int32_t GetRepeatPos(MediaHandle item) override;
  void SetRepeatPos(MediaHandle item, int32_t ms) override;

  bool GetVisible(MediaHandle item) override;
  void SetVisible(MediaHandle item, bool visible) override;
  void SetRect(MediaHandle item, int width, int height) override;
  int GetSourceWidth(MediaHandle item) override;
  int GetSourceHeight(MediaHandle item) override;
  bool NeedPaint(MediaHandle item) override;
  bool CopyFrame(MediaHandle item, uint8_t* pixels, int pitch, int width, int height) override;

  MediaHandle AddPcmStream(std::unique_ptr<TStream> stream, bool isOgg) override;
  void DeletePcmStream(MediaHandle stream) override;
  bool GetPcmFormat(MediaHandle stream, PcmFormat& format) override;
  int64_t PcmRead(MediaHandle stream, void* buffer, int64_t count) override;
  int64_t PcmGetPos(MediaHandle stream) override;
  void PcmSetPos(MediaHandle stream, int64_t bytePosition) override;
  int64_t PcmGetSize(MediaHandle stream) override;
  int32_t PcmGetLen(MediaHandle stream) override;

  TWavOut& Mixer() { return mixer_; }
  size_t ItemCount() const;

 private:
  struct Item;
  Item* Find(MediaHandle h);
  TFfAudioStream* FindPcm(MediaHandle h);
  MediaHandle NextHandle();
  MediaHandle AddSound(MediaFamily family, std::shared_ptr<TStream> source);
  // Brings the item's end and loop up to date with the mixer.
  void Update(Item& it);
  int64_t ClockMs(Item& it);

  TWavOut& mixer_;
  MediaHandle next_ = 1;
  std::map<MediaHandle, std::unique_ptr<Item>> items_;
  std::map<MediaHandle, std::unique_ptr<TFfAudioStream>> pcm_;
};

}  // namespace orva::media
