// The media back end: Ogg and wave streaming, Windows Media audio, decoded
// PCM streams and video. The media managers drive every item through this
// interface. TFfMediaBackend decodes with FFmpeg and plays through the one
// mixer; NullMediaBackend keeps item states only, for tests.
//
// What callers rely on:
// - a handle is non-zero and stays valid until its Delete call; calls with an
//   unknown or deleted handle do nothing and answer 0 / false;
// - IsEnd turns true when a non-repeating item has played to its end, and
//   stays true until SetPosition;
// - positions and lengths are milliseconds;
// - Play after Pause resumes where it paused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/streams.h"

namespace orva::media {

using MediaHandle = uint32_t;
constexpr MediaHandle kNoMedia = 0;

enum class MediaFamily {
  WindowsMediaAudio,  // whole file in memory
  OggStream,          // Ogg Vorbis or raw wave, streamed
  Video,
};

struct PcmFormat {
  int sampleRate = 0;
  int channels = 0;
  int bitsPerSample = 0;
};

class IMediaBackend {
 public:
  virtual ~IMediaBackend() = default;

  // Start-up and shutdown: Init once when the media layer starts, Final last.
  virtual void Init() = 0;
  virtual void Final() = 0;
  // Whether Ogg decoding runs on the back end's own threads; when it does
  // not, UpdateStreams must be called once per frame.
  virtual void SetStreamingThread(bool on) = 0;
  virtual void UpdateStreams() = 0;
  // The sound device was lost and is back: buffers are refilled.
  virtual void Restore() = 0;
  virtual void SuspendVideo() = 0;
  virtual void ResumeVideo() = 0;

  // Items. The back end keeps the stream for as long as the item exists;
  // it may read it from its own threads (see LockedStream).
  virtual MediaHandle AddWindowsMediaAudio(std::vector<uint8_t> bytes) = 0;
  virtual MediaHandle AddOgg(std::unique_ptr<TStream> stream, bool isOgg) = 0;
  virtual MediaHandle AddVideo(const std::string& hostPath, std::unique_ptr<TStream> stream, int flags) = 0;
  virtual void Delete(MediaHandle item) = 0;

  virtual void Play(MediaHandle item) = 0;
  virtual void Pause(MediaHandle item) = 0;
  virtual bool IsPlaying(MediaHandle item) = 0;
  virtual bool IsPaused(MediaHandle item) = 0;
  virtual bool IsEnd(MediaHandle item) = 0;
  virtual int32_t GetLen(MediaHandle item) = 0;
  virtual int32_t GetPosition(MediaHandle item) = 0;
  virtual void SetPosition(MediaHandle item, int32_t ms) = 0;
  virtual int32_t GetVol(MediaHandle item) = 0;
  virtual void SetVol(MediaHandle item, int32_t volume) = 0;
  virtual int32_t GetPan(MediaHandle item) = 0;
  virtual void SetPan(MediaHandle item, int32_t pan) = 0;
  // A linear gain numerator / denominator (0 ... 1) in place of the decibel
  // volume (CD tracks).
  virtual void SetLinearGain(MediaHandle item, int32_t numerator, int32_t denominator) = 0;
  virtual bool GetAutoRepeat(MediaHandle item) = 0;
  virtual void SetAutoRepeat(MediaHandle item, bool repeat) = 0;
  // Loop start (Ogg items only; others answer 0).
  virtual int32_t GetRepeatPos(MediaHandle item) = 0;
  virtual void SetRepeatPos(MediaHandle item, int32_t ms) = 0;

  // Video items.
  virtual bool GetVisible(MediaHandle item) = 0;
  virtual void SetVisible(MediaHandle item, bool visible) = 0;
  virtual void SetRect(MediaHandle item, int width, int height) = 0;
  virtual int GetSourceWidth(MediaHandle item) = 0;
  virtual int GetSourceHeight(MediaHandle item) = 0;
  virtual bool NeedPaint(MediaHandle item) = 0;
  // Copies the newest due frame (source size, 32-bit 0x00RRGGBB pixels,
  // `pitch` bytes from row to row) and marks it shown; false when the item
  // has no picture yet.
  virtual bool CopyFrame(MediaHandle item, uint8_t* pixels, int pitch, int width, int height) = 0;

  // Decoded PCM streams (sound data read by the program itself).
  virtual MediaHandle AddPcmStream(std::unique_ptr<TStream> stream, bool isOgg) = 0;
  virtual void DeletePcmStream(MediaHandle stream) = 0;
  // False when the data is not sound the back end can decode.
  virtual bool GetPcmFormat(MediaHandle stream, PcmFormat& format) = 0;
  virtual int64_t PcmRead(MediaHandle stream, void* buffer, int64_t count) = 0;
  virtual int64_t PcmGetPos(MediaHandle stream) = 0;
  virtual void PcmSetPos(MediaHandle stream, int64_t bytePosition) = 0;
  virtual int64_t PcmGetSize(MediaHandle stream) = 0;
  virtual int32_t PcmGetLen(MediaHandle stream) = 0;  // ms
};

// The back end's own log lines go to the program's trace sink, marked
// "[media]".
void MediaLog(std::string_view line);

}  // namespace orva::media
