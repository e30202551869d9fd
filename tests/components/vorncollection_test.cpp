// The picture cache: keys, sharing and reference counts, loading by
// extension through the file system, the stand-in for missing files,
// trimming, masks, reloads in place and the waiting-to-drop list.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/streams.h"
#include "components/vorncollection.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"
#include "storage/vrfiles.h"
#include "vornrecords.h"

namespace orva {
namespace {

using orvatest::PlaneRows;
using orvatest::RecFile;
using orvatest::RecFrame;
using orvatest::RecLayer;

// Users are identities only; these are never dereferenced.
int userA, userB, userC;
const TVornUser A = &userA, B = &userB, C = &userC;

// A 24-bit frame of w x h whose pixels are all `value` except those listed.
RecFrame Frame24(int w, int h, uint32_t value, int32_t delay,
                 std::vector<std::pair<std::pair<int, int>, uint32_t>> pixels = {}) {
  TDIBX plane(w, h, 24);
  plane.Clear(value);
  for (auto& [at, v] : pixels) plane.SetPixel(at.first, at.second, v);
  RecFrame f;
  f.width = w;
  f.height = h;
  f.bpp = 24;
  f.delay = delay;
  RecLayer l;
  l.color = PlaneRows(plane);
  f.layers.push_back(l);
  return f;
}

// A version-0 record-generation file (no magic) of the given frames.
std::vector<uint8_t> Version0(std::vector<RecFrame> frames) {
  RecFile f;
  f.version = 0;
  f.frames = std::move(frames);
  return orvatest::WriteRecordFile(f);
}

class Cache : public ::testing::Test {
 protected:
  Cache() : files(NoDiscs()), cache(files) {}
  static TVrFileManager::Options NoDiscs() {
    TVrFileManager::Options o;
    o.cdRoots = std::vector<std::string>{};
    return o;
  }
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    TMxMemoryStream& s = files.MemoryCollection().AddMemoryEntry(name);
    s.SetSize(0);
    s.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  std::string AcquireError(const std::string& name) {
    try {
      cache.Acquire(A, name, false, false);
    } catch (const OrvaError& e) {
      return e.what();
    }
    return "(loaded)";
  }

  TVrFileManager files;
  TVornCollection cache;
};

TEST(CacheKeys, NameThenMaskThenTrim) {
  struct Case {
    bool trim, mask;
    const char* key;
  };
  for (const Case& c : {Case{false, false, "a.vor"}, Case{true, false, "a.vor?t"}, Case{false, true, "a.vor?m"},
                        Case{true, true, "a.vor?m?t"}})
    EXPECT_EQ(TVornCollection::KeyOf("a.vor", c.trim, c.mask), c.key);
}

TEST_F(Cache, SharesOneItemPerKeyAndCountsEveryAcquisition) {
  Put("pic\\a.vor", Version0({Frame24(3, 2, 0x123456, 40)}));
  TVornItem& first = cache.Acquire(A, "pic\\a.vor", false, false);
  TVornItem& again = cache.Acquire(A, "PIC\\A.VOR", false, false);
  TVornItem& other = cache.Acquire(B, "pic\\a.vor", false, false);
  TVornItem& masked = cache.Acquire(B, "pic\\a.vor", false, true);
  EXPECT_EQ(&first, &again);
  EXPECT_EQ(&first, &other);
  EXPECT_NE(&first, &masked);
  EXPECT_EQ(cache.Count(), 2);
  EXPECT_EQ(first.UserCount(), 3);

  // One release per acquisition; a user holding nothing releases nothing.
  EXPECT_TRUE(cache.ReleaseItem(first, A));
  EXPECT_FALSE(cache.ReleaseItem(first, C));
  EXPECT_TRUE(cache.ReleaseItem(first, A));
  EXPECT_FALSE(cache.ReleaseItem(first, A));
  EXPECT_EQ(cache.Count(), 2);
  EXPECT_TRUE(cache.ReleaseItem(first, B));  // the last reference
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Find("pic\\a.vor"), nullptr);
  EXPECT_TRUE(cache.ReleaseItem(masked, B));
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(Cache, MissingFileGivesOneTransparentStandIn) {
  for (bool mask : {false, true}) {
    TVornItem& item = cache.Acquire(A, "nothing.vor", false, mask);
    ASSERT_EQ(item.FrameCount(), 1);
    const TVornItemFrame& f = *item.Frame(0);
    EXPECT_EQ(item.Width(), 8);
    EXPECT_EQ(item.Height(), 8);
    EXPECT_EQ(f.transparentColor, 0);
    EXPECT_EQ(f.picture->TransparentColor, 0);
    EXPECT_EQ(f.picture->GetPixel(7, 7), 0u);
    EXPECT_EQ(f.delay, 1);
    EXPECT_EQ(item.TotalDuration(), 1);
    ASSERT_EQ(f.mask != nullptr, mask);
    if (mask) {
      EXPECT_EQ(f.mask->GetPixel(3, 3), 0u);
    }
    cache.ReleaseItem(item, A);
  }
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(Cache, LoadsVersion0FramesWithDelaysAtLeastOne) {
  Put("anim.vor", Version0({Frame24(4, 3, 0x0000FF, 0), Frame24(4, 3, 0x00FF00, -5), Frame24(4, 3, 0xFF0000, 70)}));
  TVornItem& item = cache.Acquire(A, "anim.vor", false, false);
  ASSERT_EQ(item.FrameCount(), 3);
  EXPECT_EQ(item.Width(), 4);
  EXPECT_EQ(item.Height(), 3);
  const int32_t delays[] = {1, 1, 70};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(item.Frame(i)->delay, delays[i]);
    EXPECT_EQ(item.Frame(i)->picture->BitCount(), 32);
    EXPECT_EQ(item.Frame(i)->mask, nullptr);
    EXPECT_EQ(item.Frame(i)->transparentColor, -1);
  }
  EXPECT_EQ(item.Frame(1)->picture->GetPixel(2, 1), 0x00FF00u);
  EXPECT_EQ(item.TotalDuration(), 72);
  EXPECT_EQ(item.Frame(3), nullptr);
  EXPECT_EQ(item.Frame(-1), nullptr);
}

TEST_F(Cache, TrimmingCropsToContentAndKeepsTheOffset) {
  // A keyed 6 x 5 frame whose visible pixels span (2,1)-(4,3), with content
  // rectangles (record generation 104 carries them).
  RecFile f;
  f.version = 104;
  f.header.CompType = 1;  // raw rows
  f.frames.push_back(Frame24(6, 5, 0x00FF00, 10, {{{2, 1}, 0x111111}, {{4, 3}, 0x222222}}));
  f.frames[0].transColor = 0x00FF00;
  f.frames[0].rects = {{2, 1, 3, 2}, {4, 3, 5, 4}, {0, 0, 1, 1}};
  Put("trim.vor", orvatest::WriteRecordFile(f));

  TVornItem& whole = cache.Acquire(A, "trim.vor", false, false);
  ASSERT_EQ(whole.FrameCount(), 1);
  EXPECT_EQ(whole.Width(), 6);
  EXPECT_EQ(whole.Frame(0)->offsetX, 0);
  EXPECT_EQ(whole.Frame(0)->picture->ContentRects.size(), 3u);
  EXPECT_EQ(whole.Frame(0)->transparentColor, 0x00FF00);
  EXPECT_EQ(whole.Frame(0)->mask, nullptr);  // a key alone makes no mask

  TVornItem& trimmed = cache.Acquire(A, "trim.vor", true, false);
  const TVornItemFrame& t = *trimmed.Frame(0);
  EXPECT_EQ(trimmed.Width(), 3);
  EXPECT_EQ(trimmed.Height(), 3);
  EXPECT_EQ(t.offsetX, 2);
  EXPECT_EQ(t.offsetY, 1);
  EXPECT_EQ(t.picture->GetPixel(0, 0), 0x111111u);
  EXPECT_EQ(t.picture->GetPixel(2, 2), 0x222222u);
  const std::vector<TRect> moved = {{0, 0, 1, 1}, {2, 2, 3, 3}};
  EXPECT_EQ(t.picture->ContentRects, moved);

  // "?m" builds the mask from the key.
  TVornItem& masked = cache.Acquire(A, "trim.vor", true, true);
  ASSERT_NE(masked.Frame(0)->mask, nullptr);
  EXPECT_EQ(masked.Frame(0)->mask->GetPixel(0, 0), 255u);
  EXPECT_EQ(masked.Frame(0)->mask->GetPixel(1, 0), 0u);
  EXPECT_EQ(cache.Count(), 3);
}

TEST_F(Cache, PlainPicturesLoadByExtension) {
  TDIBX color(2, 2, 24), alpha(2, 2, 8);
  color.Clear(0x336699);
  alpha.Clear(255);
  alpha.SetPixel(1, 1, 40);
  Put("a.PNG", EncodePng(color, &alpha));
  Put("opaque.bmp", EncodeBmp24(color));
  Put("note.txt", EncodePng(color, &alpha));

  TVornItem& png = cache.Acquire(A, "a.PNG", false, false);
  ASSERT_EQ(png.FrameCount(), 1);
  ASSERT_NE(png.Frame(0)->mask, nullptr);  // alpha makes a mask without "?m"
  EXPECT_EQ(png.Frame(0)->mask->GetPixel(1, 1), 40u);
  EXPECT_EQ(png.Frame(0)->picture->GetPixel(0, 0), 0x336699u);

  TVornItem& bmp = cache.Acquire(A, "opaque.bmp", false, true);
  ASSERT_NE(bmp.Frame(0)->mask, nullptr);  // asked for: all opaque
  EXPECT_EQ(bmp.Frame(0)->mask->GetPixel(1, 1), 255u);

  // An extension no loader knows gives an item without pictures.
  TVornItem& text = cache.Acquire(A, "note.txt", false, false);
  EXPECT_EQ(text.FrameCount(), 0);
  EXPECT_EQ(text.Width(), 0);
  EXPECT_EQ(text.TotalDuration(), 0);
}

TEST_F(Cache, UndecodablePictureNamesTheFileAndStaysOut) {
  Put("bad.vor", {'V', 'o', 'r', 'n', '1', '0', '7', 1, 2});
  Put("bad.png", {0x89, 'P', 'N', 'G', 0, 0});
  EXPECT_EQ(AcquireError("bad.vor"), "bad.vor:ファイルが破壊されています");
  EXPECT_EQ(AcquireError("bad.png"), "bad.png:ファイルが破壊されています");
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(Cache, ShuffledPicturesNeedTheProjectCode) {
  TVornFrameList list(4242);
  auto frame = std::make_unique<TVornFrame>();
  frame->Color.SetSize(5, 7, 24);
  for (int y = 0; y < 7; ++y) frame->Color.SetPixel(1, y, static_cast<uint32_t>(0x010101 * (y + 1)));
  list.Frames.push_back(std::move(frame));
  TMxMemoryStream m;
  list.SaveToStream(m, 0, 70);
  Put("secret.vor", m.Bytes());

  TVornCollection coded(files, 4242);
  TVornItem& item = coded.Acquire(A, "secret.vor", false, false);
  for (int y = 0; y < 7; ++y) EXPECT_EQ(item.Frame(0)->picture->GetPixel(1, y), 0x010101u * (y + 1)) << y;
  coded.ReleaseItem(item, A);
}

TEST_F(Cache, ReloadsKeepTheFrameSurfaces) {
  Put("a.vor", Version0({Frame24(2, 2, 0x000010, 5), Frame24(2, 2, 0x000020, 5)}));
  TVornItem& item = cache.Acquire(A, "a.vor", false, false);
  TVornItemFrame* frame0 = item.Frame(0);
  TDIBX* picture0 = frame0->picture.get();

  // Released surfaces are empty until restored.
  cache.ReleaseSurfaces();
  EXPECT_TRUE(picture0->IsEmpty());
  cache.RestoreSurfaces();
  EXPECT_EQ(item.Frame(0), frame0);
  EXPECT_EQ(frame0->picture.get(), picture0);
  EXPECT_EQ(picture0->GetPixel(1, 1), 0x000010u);

  // A quality change reloads what the file now holds into the same
  // surfaces; frames the file lost stay valid, empty.
  Put("a.vor", Version0({Frame24(3, 1, 0x000030, 9)}));
  TVornItemFrame* frame1 = item.Frame(1);
  cache.SetQuality(true);
  EXPECT_TRUE(cache.Quality());
  EXPECT_EQ(item.Frame(0), frame0);
  EXPECT_EQ(frame0->picture.get(), picture0);
  EXPECT_EQ(picture0->GetPixel(2, 0), 0x000030u);
  EXPECT_EQ(item.FrameCount(), 1);
  EXPECT_EQ(item.Width(), 3);
  EXPECT_EQ(item.TotalDuration(), 9);
  EXPECT_TRUE(frame1->picture->IsEmpty());

  // Setting the same value again loads nothing.
  Put("a.vor", Version0({Frame24(3, 1, 0x000040, 9)}));
  cache.SetQuality(true);
  EXPECT_EQ(picture0->GetPixel(2, 0), 0x000030u);
}

TEST_F(Cache, AReloadThatFailsKeepsTheOldPicturesAndReportsOnce) {
  Put("good.vor", Version0({Frame24(1, 1, 0x000011, 5)}));
  Put("turns_bad.vor", Version0({Frame24(1, 1, 0x000022, 5)}));
  TVornItem& good = cache.Acquire(A, "good.vor", false, false);
  TVornItem& bad = cache.Acquire(A, "turns_bad.vor", false, false);
  Put("good.vor", Version0({Frame24(1, 1, 0x000033, 5)}));
  Put("turns_bad.vor", {'V', 'o', 'r', 'n', '1', '0', '7'});
  EXPECT_THROW(cache.SetQuality(true), OrvaError);
  EXPECT_EQ(good.Frame(0)->picture->GetPixel(0, 0), 0x000033u);
  EXPECT_EQ(bad.Frame(0)->picture->GetPixel(0, 0), 0x000022u);
  EXPECT_EQ(cache.Count(), 2);
}

TEST_F(Cache, WaitingItemsSurviveUntilDroppedOrUsedAgain) {
  Put("w.vor", Version0({Frame24(1, 1, 1, 1)}));
  // Parked items of all four option sets, one of them still in use.
  TVornItem* items[4];
  int n = 0;
  for (bool mask : {false, true})
    for (bool trim : {false, true}) items[n++] = &cache.Acquire(A, "w.vor", trim, mask);
  for (TVornItem* item : items) cache.Park(*item);
  for (int i = 1; i < 4; ++i) cache.ReleaseItem(*items[i], A);
  EXPECT_EQ(cache.Count(), 4);
  EXPECT_EQ(cache.WaitingCount(), 4);

  // Acquiring takes an item off the list again.
  TVornItem& back = cache.Acquire(B, "w.vor", true, false);
  EXPECT_EQ(&back, items[1]);
  EXPECT_FALSE(back.IsWaiting());
  EXPECT_EQ(cache.WaitingCount(), 3);

  // A file of another name is not touched.
  cache.DropByName("other.vor");
  EXPECT_EQ(cache.WaitingCount(), 3);

  cache.DropByName("W.VOR");
  EXPECT_EQ(cache.WaitingCount(), 0);
  EXPECT_EQ(cache.Count(), 2);  // the two in use stay
  EXPECT_NE(cache.Find("w.vor"), nullptr);
  EXPECT_NE(cache.Find("w.vor?t"), nullptr);
  cache.ReleaseItem(*items[0], A);  // no longer waiting: dies with its user
  cache.ReleaseItem(back, B);
  EXPECT_EQ(cache.Count(), 0);
}

TEST_F(Cache, HandlesReleaseExactlyOnce) {
  Put("h.vor", Version0({Frame24(2, 2, 7, 1)}));
  TVornHandle source(cache, A, "h.vor", false, false);
  TDIBX* picture = source->Frame(0)->picture.get();
  // An after-image holds its own reference: the picture outlives the source.
  TVornHandle afterImage = source.Share(B);
  source.Reset();
  ASSERT_TRUE(afterImage);
  EXPECT_EQ(afterImage->UserCount(), 1);
  EXPECT_EQ(afterImage->Frame(0)->picture.get(), picture);
  EXPECT_EQ(picture->GetPixel(1, 1), 7u);

  TVornHandle moved = std::move(afterImage);
  EXPECT_FALSE(afterImage);
  afterImage.Reset();  // nothing to release
  EXPECT_EQ(cache.Count(), 1);
  moved = TVornHandle();
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_FALSE(TVornHandle().Share(C));
}

TEST_F(Cache, QualityByteInStatusSaves) {
  TMxMemoryStream m;
  cache.SetQuality(true);
  cache.WriteToStream(m);
  EXPECT_EQ(m.Bytes(), std::vector<uint8_t>{1});

  TVornCollection other(files);
  m.SetPosition(0);
  other.ReadFromStream(m, 100);  // older saves carry no byte
  EXPECT_FALSE(other.Quality());
  EXPECT_EQ(m.GetPosition(), 0);
  other.ReadFromStream(m, 103);
  EXPECT_TRUE(other.Quality());
}

}  // namespace
}  // namespace orva
