// The picture cache: loading items from the virtual file system, sharing
// them by reference count, and reloading them in place.
#include "components/vorncollection.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "common/errors.h"
#include "common/streams.h"
#include "imaging/vorns.h"
#include "storage/vrfiles.h"

namespace orva {

// --- TVornItem ---------------------------------------------------------------

TVornItem::TVornItem(std::string key, std::string fileName, bool trim, bool mask)
    : THashCollectionItem(std::move(key)), fileName_(std::move(fileName)), trim_(trim), mask_(mask) {}

TVornItemFrame* TVornItem::Frame(int index) const {
  if (index < 0 || index >= FrameCount()) return nullptr;
  return frames_[static_cast<size_t>(index)].get();
}

// --- loading -------------------------------------------------------------------

namespace {

// The frame that stands for a file the content does not have: 8 x 8 of 0
// with 0 as its colour key, so it shows nothing.
std::unique_ptr<TVornItemFrame> MissingFileFrame(int bitCount, bool mask) {
  auto f = std::make_unique<TVornItemFrame>();
  f->picture = std::make_unique<TDIBX>(8, 8, bitCount);
  f->picture->Clear(0);
  f->picture->TransparentColor = 0;
  f->transparentColor = 0;
  if (mask) f->mask = std::make_unique<TDIBX>(8, 8, 8);  // all 0: transparent
  return f;
}

std::unique_ptr<TVornItemFrame> ItemFrame(TVornFrame& source, int bitCount, bool mask, const TRect& content) {
  auto f = std::make_unique<TVornItemFrame>();
  f->picture = std::make_unique<TDIBX>(1, 1, bitCount);
  CopyFrameToSurface(source, *f->picture);
  f->transparentColor =
      source.TransRgb == -1 ? -1 : static_cast<int32_t>(f->picture->ColorToPixel(source.TransRgb));
  f->picture->TransparentColor = f->transparentColor;
  if (source.AlphaPlane || mask) {
    f->mask = std::make_unique<TDIBX>();
    CopyAlphaToSurface(source, *f->mask);
  }
  f->delay = std::max(source.Delay, 1);
  f->offsetX = content.Left;
  f->offsetY = content.Top;
  return f;
}

// Copies the pixels and rectangles of from into the surface to (which keeps
// its identity).
void CopyInto(TDIBX& to, TDIBX& from) {
  CopyConvert(to, from);
  to.TransparentColor = from.TransparentColor;
  to.ContentRects = from.ContentRects;
  to.SecondRects = from.SecondRects;
}

}  // namespace

void TVornCollection::Load(TVornItem& item) {
  std::vector<std::unique_ptr<TVornItemFrame>> fresh;
  if (!files_.FileExistsVfs(item.fileName_)) {
    fresh.push_back(MissingFileFrame(bitCount_, item.mask_));
  } else {
    TMxMemoryStream data;
    files_.LoadEntry(data, item.fileName_);
    TVornFrameList list(identCode_);
    try {
      list.LoadByName(item.fileName_, data, false, false, false);
      if (item.mask_) list.MakeMasks();
      for (auto& frame : list.Frames) {
        const TRect content = item.trim_ ? frame->CropToVisible() : frame->Color.BoundsRect();
        fresh.push_back(ItemFrame(*frame, bitCount_, item.mask_, content));
      }
    } catch (const OrvaError& e) {
      throw OrvaError(item.fileName_ + ":" + e.message());
    }
  }

  // Frames already handed out keep their objects and picture surfaces.
  auto& frames = item.frames_;
  for (size_t i = 0; i < fresh.size() && i < frames.size(); ++i) {
    TVornItemFrame& old = *frames[i];
    TVornItemFrame& now = *fresh[i];
    CopyInto(*old.picture, *now.picture);
    if (now.mask && old.mask) CopyInto(*old.mask, *now.mask);
    else old.mask = std::move(now.mask);
    old.transparentColor = now.transparentColor;
    old.delay = now.delay;
    old.offsetX = now.offsetX;
    old.offsetY = now.offsetY;
  }
  for (size_t i = frames.size(); i < fresh.size(); ++i) frames.push_back(std::move(fresh[i]));
  while (frames.size() > fresh.size()) {
    frames.back()->picture->Release();
    if (frames.back()->mask) frames.back()->mask->Release();
    item.retired_.push_back(std::move(frames.back()));
    frames.pop_back();
  }

  item.width_ = frames.empty() ? 0 : frames.front()->picture->Width();
  item.height_ = frames.empty() ? 0 : frames.front()->picture->Height();
  item.totalDuration_ = 0;
  for (const auto& f : frames) item.totalDuration_ += f->delay;
}

void TVornCollection::ReloadAll() {
  std::exception_ptr first;
  for (int i = 0; i < items_.Count(); ++i) {
    try {
      Load(items_.At(i));
    } catch (const OrvaError&) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

// --- the collection ----------------------------------------------------------------

TVornCollection::TVornCollection(TVrFileManager& files, int32_t identCode, int bitCount)
    : files_(files), identCode_(identCode), bitCount_(bitCount) {}

TVornCollection::~TVornCollection() = default;

namespace {
void BuildKey(std::string& key, std::string_view fileName, bool trim, bool mask) {
  key.assign(fileName);
  if (mask) key += "?m";
  if (trim) key += "?t";
}
}  // namespace

std::string TVornCollection::KeyOf(std::string_view fileName, bool trim, bool mask) {
  std::string key;
  BuildKey(key, fileName, trim, mask);
  return key;
}

TVornItem& TVornCollection::Acquire(TVornUser user, std::string_view fileName, bool trim, bool mask) {
  // The key is built in a buffer kept between calls: a hit allocates nothing.
  BuildKey(keyBuffer_, fileName, trim, mask);
  TVornItem* item = items_.Find(keyBuffer_);
  if (!item) {
    auto fresh = std::make_unique<TVornItem>(keyBuffer_, std::string(fileName), trim, mask);
    Load(*fresh);
    item = &items_.Add(std::move(fresh));
  }
  AddUser(*item, user);
  return *item;
}

void TVornCollection::AddUser(TVornItem& item, TVornUser user) {
  item.users_.push_back(user);
  if (item.waiting_) Unpark(item);
}

bool TVornCollection::ReleaseItem(TVornItem& item, TVornUser user) {
  auto& users = item.users_;
  // The latest acquisition goes first: a user that holds and drops a
  // picture in turn finds it at the end.
  if (!users.empty() && users.back() == user) {
    users.pop_back();
  } else {
    const auto it = std::find(users.rbegin(), users.rend(), user);
    if (it == users.rend()) return false;
    users.erase(std::next(it).base());
  }
  if (users.empty() && !item.waiting_) Destroy(item);
  return true;
}

void TVornCollection::Destroy(TVornItem& item) {
  if (item.waiting_) Unpark(item);
  items_.Delete(item.Index());
}

void TVornCollection::SetQuality(bool quality) {
  if (quality == quality_) return;
  quality_ = quality;
  ReloadAll();
}

void TVornCollection::ReleaseSurfaces() {
  for (int i = 0; i < items_.Count(); ++i)
    for (auto& f : items_.At(i).frames_) {
      f->picture->Release();
      if (f->mask) f->mask->Release();
    }
}

void TVornCollection::RestoreSurfaces() { ReloadAll(); }

void TVornCollection::Park(TVornItem& item) {
  if (item.waiting_) return;
  item.waiting_ = true;
  waiting_.push_back(&item);
}

void TVornCollection::Unpark(TVornItem& item) {
  item.waiting_ = false;
  waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), &item), waiting_.end());
}

void TVornCollection::DropByName(std::string_view fileName) {
  for (bool mask : {false, true})
    for (bool trim : {false, true}) {
      TVornItem* item = items_.Find(KeyOf(fileName, trim, mask));
      if (!item || !item->waiting_) continue;
      Unpark(*item);
      if (item->users_.empty()) Destroy(*item);
    }
}

void TVornCollection::WriteToStream(TStream& out) const { out.WriteBool(quality_); }

void TVornCollection::ReadFromStream(TStream& in, int32_t version) {
  if (version > 100) SetQuality(in.ReadBool());
}

// --- TVornHandle -------------------------------------------------------------------

TVornHandle::TVornHandle(TVornCollection& cache, TVornUser user, std::string_view fileName, bool trim, bool mask)
    : cache_(&cache), item_(&cache.Acquire(user, fileName, trim, mask)), user_(user) {}

TVornHandle& TVornHandle::operator=(TVornHandle&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  cache_ = std::exchange(other.cache_, nullptr);
  item_ = std::exchange(other.item_, nullptr);
  user_ = std::exchange(other.user_, nullptr);
  return *this;
}

TVornHandle TVornHandle::Share(TVornUser user) const {
  TVornHandle h;
  if (!item_) return h;
  cache_->AddUser(*item_, user);
  h.cache_ = cache_;
  h.item_ = item_;
  h.user_ = user;
  return h;
}

void TVornHandle::Reset() {
  if (!item_) return;
  TVornItem* item = std::exchange(item_, nullptr);
  cache_->ReleaseItem(*item, user_);
  cache_ = nullptr;
  user_ = nullptr;
}

}  // namespace orva
