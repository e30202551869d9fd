// Media managers: one per playing technology, each owning the items it made.
// They carry the program-wide behaviours: suspending everything while the
// window is inactive or the screen switches, sound on and off, and recovery
// after the sound device was lost.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/mediaitems.h"

namespace orva::media {

// The message of sound data that cannot be decoded.
inline constexpr const char* kBadSoundData = "サウンドデータが不正です";

// Which manager plays a file, by its name (extensions compared in lower
// case; "CD_" names are CD tracks).
enum class TMediaKind { None, Midi, WindowsMedia, Ogg, Cdda };
TMediaKind MediaKindOf(const std::string& name);

class TMediaManager {
 public:
  explicit TMediaManager(TMediaContext& context) : context_(context) {}
  virtual ~TMediaManager() = default;
  TMediaManager(const TMediaManager&) = delete;
  TMediaManager& operator=(const TMediaManager&) = delete;

  // A new item for the file, appended to the list; null when the file
  // cannot be opened (or, for some kinds, decoded).
  virtual TDMediaItem* Add(const std::string& name) = 0;
  // Frees the item when it is one of this manager's.
  void Remove(TDMediaItem* item);
  void RemoveAll() { items_.clear(); }
  void Suspend();
  void Resume();
  void SetEnabled(bool enabled);
  // The sound device was lost and is back.
  virtual void Restore() = 0;

  bool Suspended() const { return suspended_; }
  bool Enabled() const { return enabled_; }
  const std::vector<std::unique_ptr<TDMediaItem>>& Items() const { return items_; }
  TMediaContext& Context() { return context_; }

 protected:
  TDMediaItem* Append(std::unique_ptr<TDMediaItem> item);

  TMediaContext& context_;

 private:
  std::vector<std::unique_ptr<TDMediaItem>> items_;
  bool suspended_ = false;
  bool enabled_ = true;
};

// ".wma", ".asf", ".wmv", ".mp3": the whole file goes to the back end.
class TWmpManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;
  TDMediaItem* Add(const std::string& name) override;
  void Restore() override;
};

// ".ogg", ".wav": back-end items, or decoded PCM through the mixer when the
// run configuration turns the native path off. Undecodable data raises
// kBadSoundData.
class TOggManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;
  TDMediaItem* Add(const std::string& name) override;
  void Restore() override;
};

class TVideoManager : public TMediaManager {
 public:
  using TMediaManager::TMediaManager;
  TDMediaItem* Add(const std::string& name) override { return AddVideo(name, false); }
  // `flag` is the component's (true when the overlay property is off).
  TVideoItem* AddVideo(const std::string& name, bool flag);
  void Restore() override {}
  // Per-frame work after the screen was presented.
  void AfterPresent() {}
};

}  // namespace orva::media
