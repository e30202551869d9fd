// Cost of one frame of every transition at 800x600, 32 bits, next to a
// plain copy of the frame in the same run. Each iteration advances the time
// by 7 ms of a 2000 ms run (so mask transitions rebuild their mask on most
// frames); preparation is outside the timing.
#include <benchmark/benchmark.h>

#include "storage/rands.h"
#include "transitions/wipes.h"

namespace {

using orva::TDIBX;

constexpr int kW = 800, kH = 600, kDuration = 2000, kStep = 7;

void Fill(TDIBX& s, uint32_t seed) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      s.SetPixel(x, y, ((static_cast<uint32_t>(x) * 2654435761u) ^ (static_cast<uint32_t>(y) * 40503u) ^ seed) &
                           0xFFFFFF);
}

struct Pictures {
  TDIBX from{kW, kH, 32}, to{kW, kH, 32}, dest{kW, kH, 32};
  Pictures() {
    Fill(from, 1);
    Fill(to, 2);
  }
};
Pictures& P() {
  static Pictures p;
  return p;
}

void BM_PlainCopy(benchmark::State& state) {
  Pictures& p = P();
  for (auto _ : state) {
    p.dest.Assign(p.from);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainCopy);

void BM_Wipe(benchmark::State& state) {
  Pictures& p = P();
  const int type = static_cast<int>(state.range(0));
  orva::TGetRandom random(1);
  auto wipe = orva::CreateWipe(type, p.dest, p.from, p.to);
  wipe->Random = &random;
  wipe->Duration = kDuration;
  wipe->Prepare();
  int32_t t = 0;
  for (auto _ : state) {
    wipe->Position = t;
    benchmark::DoNotOptimize(wipe->Step());
    benchmark::ClobberMemory();
    t = (t + kStep) % kDuration;
  }
  state.SetLabel(orva::WipeClassName(type));
}
BENCHMARK(BM_Wipe)->DenseRange(1, orva::kWipeTypeCount);

}  // namespace

BENCHMARK_MAIN();
