// Surface operations at 800x600, 32 bits, next to the nearest pixman
// operation on the same pixels, and the decoding of an 800x600 layered
// picture next to libpng decoding the same picture as PNG.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <numbers>

#include "common/streams.h"
#include "imaging/dibx.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"

namespace {

using orva::TDIBX;
using orva::TRect;

constexpr int kW = 800, kH = 600;

void Fill(TDIBX& s, uint32_t seed) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      uint32_t v = (static_cast<uint32_t>(x) * 2654435761u) ^ (static_cast<uint32_t>(y) * 40503u) ^ seed;
      s.SetPixel(x, y, s.BitCount() == 8 ? (v >> 7) & 0xFF : v & 0xFFFFFF);
    }
}

struct Surfaces {
  TDIBX dst{kW, kH, 32}, src{kW, kH, 32}, mask{kW, kH, 8}, small{kW * 2 / 3, kH * 2 / 3, 32}, tile{64, 64, 32};
  Surfaces() {
    Fill(dst, 1);
    Fill(src, 2);
    Fill(mask, 3);
    Fill(small, 4);
    Fill(tile, 5);
  }
};
Surfaces& S() {
  static Surfaces s;
  return s;
}

pixman_image_t* Wrap(TDIBX& s, pixman_format_code_t format) {
  return pixman_image_create_bits(format, s.Width(), s.Height(), reinterpret_cast<uint32_t*>(s.Lock(0, 0)), s.Pitch());
}

struct Pixman {
  pixman_image_t* dst = Wrap(S().dst, PIXMAN_x8r8g8b8);
  pixman_image_t* src = Wrap(S().src, PIXMAN_x8r8g8b8);
  pixman_image_t* mask = Wrap(S().mask, PIXMAN_a8);
  pixman_image_t* small = Wrap(S().small, PIXMAN_x8r8g8b8);
  pixman_image_t* tile = Wrap(S().tile, PIXMAN_x8r8g8b8);
  pixman_image_t* solid = nullptr;
  Pixman() {
    pixman_color_t half{0, 0, 0, 0x8080};
    solid = pixman_image_create_solid_fill(&half);
  }
  ~Pixman() {
    for (auto* i : {dst, src, mask, small, tile, solid}) pixman_image_unref(i);
  }
};

// Runs one whole-frame operation per iteration.
template <class F>
void Frames(benchmark::State& st, F f) {
  for (auto _ : st) f();
  st.SetItemsProcessed(st.iterations() * kW * kH);
}
void Composite(pixman_op_t op, pixman_image_t* src, pixman_image_t* mask, pixman_image_t* dst, int sx = 0, int sy = 0) {
  pixman_image_composite32(op, src, mask, dst, sx, sy, 0, 0, 0, 0, kW, kH);
}

void BM_DrawAlpha128(benchmark::State& st) {
  Frames(st, [&] { S().dst.DrawAlpha(0, 0, S().src, S().src.BoundsRect(), 128); });
}
void BM_Pixman_OverConstMask(benchmark::State& st) {
  Pixman p;
  Frames(st, [&] { Composite(PIXMAN_OP_OVER, p.src, p.solid, p.dst); });
}

void BM_DrawAdd(benchmark::State& st) {
  Frames(st, [&] { S().dst.DrawAdd(0, 0, S().src, S().src.BoundsRect(), 128); });
}
void BM_Pixman_AddConstMask(benchmark::State& st) {
  Pixman p;
  Frames(st, [&] { Composite(PIXMAN_OP_ADD, p.src, p.solid, p.dst); });
}

void BM_DrawMask8(benchmark::State& st) {
  Frames(st, [&] { S().dst.DrawMask(0, 0, S().src, S().src.BoundsRect(), S().mask); });
}
void BM_Pixman_OverA8Mask(benchmark::State& st) {
  Pixman p;
  Frames(st, [&] { Composite(PIXMAN_OP_OVER, p.src, p.mask, p.dst); });
}

void BM_Stretch150(benchmark::State& st) {
  Frames(st, [&] { S().dst.StretchDraw({0, 0, kW, kH}, S().small, S().small.BoundsRect()); });
}
void BM_Pixman_Scale150(benchmark::State& st) {
  Pixman p;
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(2.0 / 3.0), pixman_double_to_fixed(2.0 / 3.0));
  pixman_image_set_transform(p.small, &t);
  pixman_image_set_filter(p.small, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Frames(st, [&] { Composite(PIXMAN_OP_SRC, p.small, nullptr, p.dst); });
}

void BM_Rotate30(benchmark::State& st) {
  Frames(st, [&] {
    S().dst.DrawRotate(kW / 2, kH / 2, S().src, 255, false, false, false, std::numbers::pi / 6, kW / 2, kH / 2, 1.0,
                       1.0);
  });
}
void BM_Pixman_Rotate30(benchmark::State& st) {
  Pixman p;
  pixman_transform_t t;
  // Destination -> source: translate to the centre, rotate back, translate out.
  pixman_transform_init_translate(&t, pixman_int_to_fixed(-kW / 2), pixman_int_to_fixed(-kH / 2));
  pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(-std::numbers::pi / 6)),
                          pixman_double_to_fixed(std::sin(-std::numbers::pi / 6)));
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(kW / 2), pixman_int_to_fixed(kH / 2));
  pixman_image_set_transform(p.src, &t);
  pixman_image_set_filter(p.src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Frames(st, [&] { Composite(PIXMAN_OP_OVER, p.src, nullptr, p.dst); });
}

void BM_TileDraw(benchmark::State& st) {
  Frames(st, [&] { S().dst.TileDraw({0, 0, kW, kH}, S().tile, S().tile.BoundsRect(), {0, 0, 13, 7}); });
}
void BM_Pixman_Tile(benchmark::State& st) {
  Pixman p;
  pixman_image_set_repeat(p.tile, PIXMAN_REPEAT_NORMAL);
  Frames(st, [&] { Composite(PIXMAN_OP_SRC, p.tile, nullptr, p.dst, 13, 7); });
}

// An 800x600 picture with smooth areas, as a layered file and as a PNG.
struct Encoded {
  std::vector<uint8_t> vor, png;
  Encoded() {
    orva::TVornFrameList list(0);
    auto frame = std::make_unique<orva::TVornFrame>();
    frame->Color.SetSize(kW, kH, 24);
    frame->AlphaPlane = std::make_unique<TDIBX>(kW, kH, 8);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        frame->Color.SetPixel(x, y, static_cast<uint32_t>((x / 3) << 16 | (y / 3) << 8 | ((x + y) / 7 & 0xFF)));
        frame->AlphaPlane->SetPixel(x, y, (x * y) % 640 < 320 ? 255 : static_cast<uint32_t>(x & 0xFF));
      }
    png = orva::EncodePng(frame->Color, frame->AlphaPlane.get());
    list.Frames.push_back(std::move(frame));
    orva::TMxMemoryStream m;
    list.SaveToStream(m, 0, 70);
    vor = m.Bytes();
  }
};
Encoded& E() {
  static Encoded e;
  return e;
}

void BM_DecodeVor(benchmark::State& st) {
  for (auto _ : st) {
    orva::TVornFrameList list(0);
    orva::TMxMemoryStream m(std::string_view(reinterpret_cast<const char*>(E().vor.data()), E().vor.size()));
    list.LoadFromStream(m, true, false, false);
    benchmark::DoNotOptimize(list.Frame(0).Color.Lock(0, 0));
  }
}
void BM_LibpngDecodePng(benchmark::State& st) {
  for (auto _ : st) {
    orva::TPicture pic = orva::DecodePng(E().png);
    benchmark::DoNotOptimize(pic.color->Lock(0, 0));
  }
}

BENCHMARK(BM_DrawAlpha128);
BENCHMARK(BM_Pixman_OverConstMask);
BENCHMARK(BM_DrawAdd);
BENCHMARK(BM_Pixman_AddConstMask);
BENCHMARK(BM_DrawMask8);
BENCHMARK(BM_Pixman_OverA8Mask);
BENCHMARK(BM_Stretch150);
BENCHMARK(BM_Pixman_Scale150);
BENCHMARK(BM_Rotate30);
BENCHMARK(BM_Pixman_Rotate30);
BENCHMARK(BM_TileDraw);
BENCHMARK(BM_Pixman_Tile);
BENCHMARK(BM_DecodeVor);
BENCHMARK(BM_LibpngDecodePng);

}  // namespace

BENCHMARK_MAIN();
