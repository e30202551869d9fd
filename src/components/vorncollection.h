// Components: the concrete on-screen components and what they share. This
// header holds the picture cache ("VornMan"): every picture a component
// shows comes from here, loaded once per file and option set and shared by
// reference count. The subsystem may include common, storage and imaging.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/hash.h"
#include "imaging/dibx.h"

namespace orva {

class TStream;
class TVrFileManager;

// The identity of one user of a cached picture (a component, an
// after-image, a picture list). Only compared, never dereferenced.
using TVornUser = const void*;

// One frame of a cached picture.
struct TVornItemFrame {
  // The colour pixels at the cache's depth; its TransparentColor is the
  // colour key and its ContentRects the frame's visible parts.
  std::unique_ptr<TDIBX> picture;
  // 8-bit opacity (255 = opaque), only for frames with alpha or when a mask
  // was asked for.
  std::unique_ptr<TDIBX> mask;
  int32_t transparentColor = -1;  // native colour key, -1 = none
  int32_t delay = 1;              // ms, at least 1
  int32_t offsetX = 0, offsetY = 0;  // where the content starts in the file's frame (trimmed items)
};

// A cached picture: the frames of one file loaded with one set of options.
class TVornItem : public THashCollectionItem {
 public:
  TVornItem(std::string key, std::string fileName, bool trim, bool mask);

  const std::string& FileName() const { return fileName_; }
  bool Trimmed() const { return trim_; }
  bool Masked() const { return mask_; }

  int FrameCount() const { return static_cast<int>(frames_.size()); }
  // The frame at index, or null outside 0..FrameCount-1.
  TVornItemFrame* Frame(int index) const;
  // Size of frame 0; 0 x 0 without frames.
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Sum of the frame delays in ms.
  int64_t TotalDuration() const { return totalDuration_; }

  // One entry per acquisition that has not been released yet.
  const std::vector<TVornUser>& Users() const { return users_; }
  int UserCount() const { return static_cast<int>(users_.size()); }
  bool IsWaiting() const { return waiting_; }

 private:
  friend class TVornCollection;
  std::string fileName_;
  bool trim_, mask_;
  std::vector<std::unique_ptr<TVornItemFrame>> frames_;
  // Frames a reload no longer needed; kept emptied so that pointers handed
  // out before stay valid until the item goes.
  std::vector<std::unique_ptr<TVornItemFrame>> retired_;
  int width_ = 0, height_ = 0;
  int64_t totalDuration_ = 0;
  std::vector<TVornUser> users_;
  bool waiting_ = false;
};

// The picture cache. Items are keyed by file name, then "?m" when a mask is
// wanted, then "?t" when frames are trimmed to their content; lookups ignore
// case. An item lives while it has users (or waits to be dropped).
class TVornCollection {
 public:
  // identCode: the project's image option, which unlocks shuffled layered
  // pictures. bitCount: the depth of the frame surfaces (the screen's).
  explicit TVornCollection(TVrFileManager& files, int32_t identCode = 0, int bitCount = 32);
  ~TVornCollection();
  TVornCollection(const TVornCollection&) = delete;
  TVornCollection& operator=(const TVornCollection&) = delete;

  static std::string KeyOf(std::string_view fileName, bool trim, bool mask);

  // Finds or loads the item and adds user to it (once per call). A picture
  // that exists but cannot be decoded throws an error naming the file and
  // leaves nothing in the cache.
  TVornItem& Acquire(TVornUser user, std::string_view fileName, bool trim, bool mask);
  // Adds one more reference for user to an item already held.
  void AddUser(TVornItem& item, TVornUser user);
  // Removes one reference of user; false when user holds none. The item is
  // destroyed with its last reference unless it waits to be dropped.
  bool ReleaseItem(TVornItem& item, TVornUser user);

  TVornItem* Find(std::string_view key) const { return items_.Find(key); }
  int Count() const { return items_.Count(); }
  TVornItem& At(int index) const { return items_.At(index); }

  // The picture quality setting of the game. Frames are always made at the
  // cache's depth (the frame buffer's), so the flag changes no pixel here;
  // it is kept for the saves, and a change reloads every item in place (its
  // frame surfaces are kept) as a change of screen depth would need.
  bool Quality() const { return quality_; }
  void SetQuality(bool quality);
  // Drops every frame's pixels (the surfaces stay, empty).
  void ReleaseSurfaces();
  // Reloads every item into its surfaces.
  void RestoreSurfaces();

  // Keeps an item alive without users until it is dropped or acquired again.
  void Park(TVornItem& item);
  int WaitingCount() const { return static_cast<int>(waiting_.size()); }
  // Destroys the waiting items of the file (with and without "?m" and
  // "?t"); one still in use only leaves the waiting list.
  void DropByName(std::string_view fileName);

  // The quality flag as saved with the status: one byte, read back only
  // from saves of version 101 and later.
  void WriteToStream(TStream& out) const;
  void ReadFromStream(TStream& in, int32_t version);

  int BitCount() const { return bitCount_; }
  int32_t IdentCode() const { return identCode_; }

 private:
  // Loads the item's file into its frames, reusing the frame surfaces it
  // already has. Throws on a decode error (the item keeps what it had).
  void Load(TVornItem& item);
  // Loads every item again; an item that fails keeps what it had, and the
  // first error is thrown once all items were tried.
  void ReloadAll();
  void Destroy(TVornItem& item);
  void Unpark(TVornItem& item);

  TVrFileManager& files_;
  int32_t identCode_;
  int bitCount_;
  bool quality_ = false;
  THashCollection<TVornItem> items_;
  std::vector<TVornItem*> waiting_;
  std::string keyBuffer_;
};

// One reference to a cached picture, released when the handle goes or is
// reset. Move-only, so a reference is released exactly once. The
// collection must outlive its handles.
class TVornHandle {
 public:
  TVornHandle() = default;
  TVornHandle(TVornCollection& cache, TVornUser user, std::string_view fileName, bool trim, bool mask);
  ~TVornHandle() { Reset(); }
  TVornHandle(TVornHandle&& other) noexcept { *this = std::move(other); }
  TVornHandle& operator=(TVornHandle&& other) noexcept;
  TVornHandle(const TVornHandle&) = delete;
  TVornHandle& operator=(const TVornHandle&) = delete;

  // A second reference to the same item for another user (an after-image
  // keeps the picture of its source this way).
  TVornHandle Share(TVornUser user) const;
  void Reset();

  TVornItem* Item() const { return item_; }
  TVornItem* operator->() const { return item_; }
  explicit operator bool() const { return item_ != nullptr; }

 private:
  TVornCollection* cache_ = nullptr;
  TVornItem* item_ = nullptr;
  TVornUser user_ = nullptr;
};

}  // namespace orva
