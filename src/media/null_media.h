// A media back end that plays nothing but keeps every item's state as a real
// one would: handles, play/pause, positions that advance when told, the end
// of non-repeating items and the loop of repeating ones. Items have the
// length given at construction (0: they end as soon as they play).
#pragma once

#include <map>

#include "media/mediabackend.h"

namespace orva::media {

class NullMediaBackend : public IMediaBackend {
 public:
  explicit NullMediaBackend(int32_t itemLengthMs = 0) : itemLength_(itemLengthMs > 0 ? itemLengthMs : 0) {}

  // Lets `ms` of playing time pass for every playing item.
  void Advance(int32_t ms);
  size_t ItemCount() const { return items_.size() + pcm_.size(); }
  bool Initialized() const { return initialized_; }

  void Init() override;
  void Final() override;
  void SetStreamingThread(bool on) override { threaded_ = on; }
  void UpdateStreams() override {}
  void Restore() override {}
  void SuspendVideo() override { videoSuspended_ = true; }
  void ResumeVideo() override { videoSuspended_ = false; }

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
  int GetSourceWidth(MediaHandle item) override { return 0; }
  int GetSourceHeight(MediaHandle item) override { return 0; }
  bool NeedPaint(MediaHandle item) override { return false; }
  bool CopyFrame(MediaHandle, uint8_t*, int, int, int) override { return false; }

  MediaHandle AddPcmStream(std::unique_ptr<TStream> stream, bool isOgg) override;
  void DeletePcmStream(MediaHandle stream) override;
  bool GetPcmFormat(MediaHandle stream, PcmFormat& format) override { return false; }
  int64_t PcmRead(MediaHandle stream, void* buffer, int64_t count) override { return 0; }
  int64_t PcmGetPos(MediaHandle stream) override { return 0; }
  void PcmSetPos(MediaHandle stream, int64_t bytePosition) override {}
  int64_t PcmGetSize(MediaHandle stream) override { return 0; }
  int32_t PcmGetLen(MediaHandle stream) override { return 0; }

 private:
  struct Item {
    MediaFamily family;
    std::unique_ptr<TStream> stream;
    bool playing = false, paused = false, ended = false, repeat = false, visible = true;
    int32_t position = 0, length = 0, volume = 0, pan = 0, repeatPos = 0;
  };
  Item* Find(MediaHandle h);
  MediaHandle Add(Item item);

  int32_t itemLength_;
  MediaHandle next_ = 1;
  std::map<MediaHandle, Item> items_;
  std::map<MediaHandle, std::unique_ptr<TStream>> pcm_;
  bool initialized_ = false, threaded_ = false, videoSuspended_ = false;
};

}  // namespace orva::media
