// Media items: every sound or video a component plays, driven through one
// interface whatever plays it. TWmpItem (Windows Media audio and MP3, the
// whole file in memory), TOggItem (Ogg and wave, streamed) and TDsVideoItem
// forward to the back end; TOggWaveItem decodes through a TOggStream and
// plays through a buffer of the mixer with its own volume scale; CD tracks
// are in cdda.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/streams.h"
#include "media/mediabackend.h"
#include "media/mediasettings.h"
#include "media/wavouts.h"

namespace orva {
class TVrFileManager;
}

namespace orva::media {

class TMediaManager;

// What items need from the media layer.
struct TMediaContext {
  IMediaBackend* backend = nullptr;
  TVrFileManager* files = nullptr;   // content files (none: only disk files open)
  TWavOut* mixer = nullptr;          // the one mixer (TOggWaveItem's buffers)
  std::function<int64_t()> now;      // the mixer's clock, in ms
  TMediaSettings settings;
  std::vector<std::string> cdFolders;  // host folders searched for CD track files, in order
};

// A disk name (a first character that is a path delimiter, or ":" as the
// second character) or a content name, opened as a stream; null when the
// file cannot be opened.
std::unique_ptr<TStream> OpenMediaStream(const TMediaContext& context, const std::string& name);
// The whole file; false when it cannot be read.
bool LoadMediaBytes(const TMediaContext& context, const std::string& name, std::vector<uint8_t>& bytes);

class TDMediaItem {
 public:
  explicit TDMediaItem(TMediaManager& manager) : manager_(manager) {}
  virtual ~TDMediaItem() = default;
  TDMediaItem(const TDMediaItem&) = delete;
  TDMediaItem& operator=(const TDMediaItem&) = delete;

  // The operations, in slot order. Positions and lengths in ms; volume in
  // hundredths of a decibel (-10000 silent, 0 full); pan -10000 ... 10000.
  virtual bool GetAutoRepeat() = 0;
  virtual void SetAutoRepeat(bool repeat) = 0;
  virtual int32_t GetRepeatPos() = 0;
  virtual void SetRepeatPos(int32_t ms) = 0;
  virtual int32_t GetPan() = 0;
  virtual int32_t GetVolume() = 0;
  virtual void SetPan(int32_t pan) = 0;
  virtual void SetVolume(int32_t volume) = 0;
  virtual int32_t GetPosition() = 0;
  // Negative positions count as 0.
  void SetPosition(int32_t ms);
  virtual int32_t GetLength() = 0;
  // The item has played to its end. An end is reported until SetEndFlag
  // acknowledges it, then not again until the item plays to an end anew.
  bool IsEnd();
  void SetEndFlag() { endAcknowledged_ = true; }
  virtual bool IsPlaying() = 0;
  virtual bool IsPaused() = 0;
  // Start or resume. On an item of a disabled manager it only sets the
  // suspend mark, so that sound on starts it.
  void Play();
  virtual void Pause() = 0;

  // MIDI items take volumes as a linear scale (the fader does not halve).
  virtual bool IsMidi() const { return false; }

  TMediaManager& Manager() { return manager_; }
  bool suspendMark = false;

 protected:
  // The kind's own end state, play and seek.
  virtual bool KindEnd() = 0;
  virtual void DoPlay() = 0;
  virtual void DoSetPosition(int32_t ms) = 0;

 private:
  TMediaManager& manager_;
  bool endAcknowledged_ = false;
};

// A video: the picture is copied into the component's surface.
class TVideoItem : public TDMediaItem {
 public:
  using TDMediaItem::TDMediaItem;
  virtual int SourceHeight() = 0;
  virtual int SourceWidth() = 0;
  virtual bool GetVisible() = 0;
  virtual void SetVisible(bool visible) = 0;
  // A new picture is ready.
  virtual bool NeedPaint() = 0;
  // The display size (stored; the picture is always copied at source size).
  void SetRect(int width, int height) {
    rectWidth_ = width;
    rectHeight_ = height;
  }
  int RectWidth() const { return rectWidth_; }
  int RectHeight() const { return rectHeight_; }
  // Copies the current picture (32-bit 0x00RRGGBB, `pitch` bytes a row) at
  // most width x height; false when there is none yet.
  virtual bool CopyFrame(uint8_t* pixels, int pitch, int width, int height) = 0;

 private:
  int rectWidth_ = 0, rectHeight_ = 0;
};

// The operations of an item that the back end plays, forwarded by handle.
template <class Base>
class TBackendItem : public Base {
 public:
  TBackendItem(TMediaManager& manager, IMediaBackend& backend, MediaHandle handle)
      : Base(manager), backend_(backend), handle_(handle) {}
  ~TBackendItem() override { backend_.Delete(handle_); }

  bool GetAutoRepeat() override { return backend_.GetAutoRepeat(handle_); }
  void SetAutoRepeat(bool repeat) override { backend_.SetAutoRepeat(handle_, repeat); }
  int32_t GetRepeatPos() override { return backend_.GetRepeatPos(handle_); }
  void SetRepeatPos(int32_t ms) override { backend_.SetRepeatPos(handle_, ms); }
  int32_t GetPan() override { return backend_.GetPan(handle_); }
  int32_t GetVolume() override { return backend_.GetVol(handle_); }
  void SetPan(int32_t pan) override { backend_.SetPan(handle_, pan); }
  void SetVolume(int32_t volume) override { backend_.SetVol(handle_, volume); }
  int32_t GetPosition() override { return backend_.GetPosition(handle_); }
  int32_t GetLength() override { return backend_.GetLen(handle_); }
  bool IsPlaying() override { return backend_.IsPlaying(handle_); }
  bool IsPaused() override { return backend_.IsPaused(handle_); }
  void Pause() override { backend_.Pause(handle_); }
  MediaHandle Handle() const { return handle_; }

 protected:
  bool KindEnd() override { return backend_.IsEnd(handle_); }
  void DoPlay() override { backend_.Play(handle_); }
  void DoSetPosition(int32_t ms) override { backend_.SetPosition(handle_, ms); }

  IMediaBackend& backend_;
  MediaHandle handle_;
};

class TWmpItem : public TBackendItem<TDMediaItem> {
 public:
  using TBackendItem::TBackendItem;
};

class TOggItem : public TBackendItem<TDMediaItem> {
 public:
  using TBackendItem::TBackendItem;
};

class TDsVideoItem : public TBackendItem<TVideoItem> {
 public:
  using TBackendItem::TBackendItem;
  int SourceHeight() override { return backend_.GetSourceHeight(handle_); }
  int SourceWidth() override { return backend_.GetSourceWidth(handle_); }
  bool GetVisible() override { return backend_.GetVisible(handle_); }
  void SetVisible(bool visible) override { backend_.SetVisible(handle_, visible); }
  bool NeedPaint() override { return backend_.NeedPaint(handle_); }
  bool CopyFrame(uint8_t* pixels, int pitch, int width, int height) override {
    return backend_.CopyFrame(handle_, pixels, pitch, width, height);
  }
};

// Decoded sound read by the program itself, as a read-only stream of PCM in
// one of the mixer's exactly converted formats (or its own format).
class TOggStream : public TStream {
 public:
  // Throws "サウンドデータが不正です" when the data is not sound.
  TOggStream(IMediaBackend& backend, std::unique_ptr<TStream> file, bool isOgg);
  ~TOggStream() override;
  const TWaveFormat& Format() const { return format_; }
  int32_t LengthMs() { return backend_.PcmGetLen(handle_); }

  int64_t GetSize() override { return backend_.PcmGetSize(handle_); }
  int64_t GetPosition() override { return backend_.PcmGetPos(handle_); }
  void SetPosition(int64_t pos) override;
  int64_t Read(void* buffer, int64_t count) override { return backend_.PcmRead(handle_, buffer, count); }
  int64_t Write(const void*, int64_t) override { return 0; }

 private:
  IMediaBackend& backend_;
  MediaHandle handle_ = kNoMedia;
  TWaveFormat format_;
};

// An Ogg or wave sound played through a buffer of the mixer: volume v
// becomes the buffer volume ((max(v, -5000) + 5000) x 256) / 5000.
class TOggWaveItem : public TDMediaItem {
 public:
  TOggWaveItem(TMediaManager& manager, TWavOut& mixer, std::unique_ptr<TOggStream> stream);
  ~TOggWaveItem() override;

  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool repeat) override;
  int32_t GetRepeatPos() override { return repeatPos_; }
  void SetRepeatPos(int32_t ms) override;
  int32_t GetPan() override { return pan_; }
  int32_t GetVolume() override { return volume_; }
  void SetPan(int32_t pan) override;
  void SetVolume(int32_t volume) override;
  int32_t GetPosition() override;
  int32_t GetLength() override;
  bool IsPlaying() override;
  bool IsPaused() override;
  void Pause() override;
  TWavBuffer& Buffer() { return *buffer_; }

 protected:
  bool KindEnd() override;
  void DoPlay() override;
  void DoSetPosition(int32_t ms) override;

 private:
  TWavOut& mixer_;
  std::unique_ptr<TOggStream> stream_;
  TWavBuffer* buffer_;
  int32_t volume_ = 0, pan_ = 0, repeatPos_ = 0;
};

}  // namespace orva::media
