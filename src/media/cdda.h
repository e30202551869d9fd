// CD audio from ripped track files. "CD_n" is track n; its file is the first
// "trackNN" (two digits at least) with the extension ".ogg", ".flac", ".wav"
// or ".mp3", in that order, in the CD folders (the --cd-dir folder, "cd/" in
// the game folder, the game folder). One CD player plays one item at a time,
// in whole seconds, its state polled every 200 ms, its volume a linear gain
// in the mixer (the desktop's volume is never touched).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/mediamanagers.h"

namespace orva::media {

// The track number of a "CD_" name: the text after "CD_" as a decimal
// number of at least 1; nothing for anything else.
std::optional<int> CdTrackNumber(const std::string& name);
// The host path of track n's file, or "" when the disc has no such track.
std::string FindCdTrackFile(int track, const std::vector<std::string>& folders);

class TCddaItem;

// The one player of CD tracks.
class TCdPlayer {
 public:
  static constexpr int64_t kPollMs = 200;

  explicit TCdPlayer(TMediaContext& context) : context_(context) {}
  ~TCdPlayer() { Stop(); }

  // Makes `item` the current item with its track file loaded (the previous
  // item loses the player). False when the file does not play.
  bool Load(TCddaItem* item, const std::string& path, bool loop);
  void Forget(TCddaItem* item);
  void Stop();
  TCddaItem* Current() const { return current_; }
  MediaHandle Handle() const { return handle_; }

  enum class Mode { Stopped, Playing };
  // The device's mode, as seen at the last poll.
  Mode GetMode();
  // The next poll looks again at once (after a command).
  void Touch() { polled_ = false; }

 private:
  TMediaContext& context_;
  TCddaItem* current_ = nullptr;
  MediaHandle handle_ = kNoMedia;
  Mode mode_ = Mode::Stopped;
  bool polled_ = false;
  int64_t lastPoll_ = 0;
};

class TCddaManager : public TMediaManager {
 public:
  explicit TCddaManager(TMediaContext& context) : TMediaManager(context), player_(context) {}
  ~TCddaManager() override;
  TDMediaItem* Add(const std::string& name) override;
  void Restore() override {}
  TCdPlayer& Player() { return player_; }

 private:
  TCdPlayer player_;
};

class TCddaItem : public TDMediaItem {
 public:
  // `path` is the track's file ("" when the disc has no such track).
  TCddaItem(TCddaManager& manager, std::string path, int32_t lengthMs);
  ~TCddaItem() override;

  bool GetAutoRepeat() override { return loop_; }
  void SetAutoRepeat(bool repeat) override;
  int32_t GetRepeatPos() override { return 0; }
  void SetRepeatPos(int32_t) override {}
  int32_t GetPan() override { return pan_; }
  int32_t GetVolume() override { return volume_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  void SetVolume(int32_t volume) override;
  int32_t GetPosition() override;
  int32_t GetLength() override { return length_; }
  bool IsPlaying() override;
  bool IsPaused() override { return paused_; }
  void Pause() override;

 protected:
  bool KindEnd() override;
  void DoPlay() override;
  void DoSetPosition(int32_t ms) override;

 private:
  bool IsCurrent() const;
  void ApplyVolume();
  // Plays the track from a whole second.
  void PlayFrom(int32_t second);

  TCdPlayer& player_;
  std::string path_;
  int32_t length_ = 0;
  int32_t savedSecond_ = 0;
  int32_t volume_ = 0, pan_ = 0;
  bool loop_ = false, paused_ = false, started_ = false;
};

}  // namespace orva::media
