// The picture cache next to its peers in the same run:
//  - a hit (Acquire + ReleaseItem of an item someone else holds) against a
//    std::unordered_map lookup of the same key, already case-folded, plus a
//    vector push and pop (what a minimal shared cache must do);
//  - a miss of an 800 x 600 layered picture (loaded through the file
//    system, converted into the frame surface, freed again) against the
//    layered reader alone on the same bytes in memory.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "common/cp932.h"
#include "common/streams.h"
#include "components/vorncollection.h"
#include "imaging/vorns.h"
#include "storage/vrfiles.h"

namespace {

using orva::TVornCollection;

constexpr int kW = 800, kH = 600;
const char kName[] = "Pictures\\Chara\\Face01.vor";
const char kBackground[] = "Pictures\\BG\\Street.vor";

// An opaque picture with smooth areas, as a layered file.
std::vector<uint8_t> Picture(int w, int h) {
  orva::TVornFrameList list(0);
  auto frame = std::make_unique<orva::TVornFrame>();
  frame->Color.SetSize(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      frame->Color.SetPixel(x, y, static_cast<uint32_t>((x / 3) << 16 | (y / 3) << 8 | ((x + y) / 7 & 0xFF)));
  list.Frames.push_back(std::move(frame));
  orva::TMxMemoryStream m;
  list.SaveToStream(m, 0, 70);
  return m.Bytes();
}

struct Setup {
  orva::TVrFileManager files{[] {
    orva::TVrFileManager::Options o;
    o.cdRoots = std::vector<std::string>{};
    return o;
  }()};
  std::vector<uint8_t> face = Picture(64, 64), background = Picture(kW, kH);
  Setup() {
    for (const auto* entry : {&face, &background}) {
      orva::TMxMemoryStream& s = files.MemoryCollection().AddMemoryEntry(entry == &face ? kName : kBackground);
      s.WriteExact(entry->data(), static_cast<int64_t>(entry->size()));
    }
  }
};
Setup& S() {
  static Setup s;
  return s;
}

int holder, user;

void BM_CacheHit(benchmark::State& st) {
  TVornCollection cache(S().files);
  cache.Acquire(&holder, kName, false, false);
  // As many other items as the peer's map holds (missing files: stand-ins).
  for (int i = 0; i < 200; ++i) cache.Acquire(&holder, "pictures\\other" + std::to_string(i) + ".vor", false, false);
  for (auto _ : st) {
    orva::TVornItem& item = cache.Acquire(&user, kName, false, false);
    benchmark::DoNotOptimize(&item);
    cache.ReleaseItem(item, &user);
  }
}

struct PeerItem {
  std::vector<const void*> users;
};

void BM_Peer_MapLookupPushPop(benchmark::State& st) {
  std::unordered_map<std::string, PeerItem> map;
  const std::string key = orva::cp932::ToLower(kName);
  map[key].users.push_back(&holder);
  for (int i = 0; i < 200; ++i) map["pictures\\other" + std::to_string(i) + ".vor"];
  for (auto _ : st) {
    PeerItem& item = map.find(key)->second;
    item.users.push_back(&user);
    benchmark::DoNotOptimize(&item);
    item.users.pop_back();
  }
}

void BM_CacheMiss800x600(benchmark::State& st) {
  TVornCollection cache(S().files);
  for (auto _ : st) {
    orva::TVornItem& item = cache.Acquire(&user, kBackground, false, false);
    benchmark::DoNotOptimize(item.Frame(0)->picture->Lock(0, 0));
    cache.ReleaseItem(item, &user);
  }
}

void BM_Peer_LayeredReader800x600(benchmark::State& st) {
  const std::vector<uint8_t>& bytes = S().background;
  for (auto _ : st) {
    orva::TVornFrameList list(0);
    orva::TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    list.LoadFromStream(m, false, false, false);
    benchmark::DoNotOptimize(list.Frame(0).Color.Lock(0, 0));
  }
}

BENCHMARK(BM_CacheHit);
BENCHMARK(BM_Peer_MapLookupPushPop);
BENCHMARK(BM_CacheMiss800x600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peer_LayeredReader800x600)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
