// demoart OUTDIR: draws the demo game's pictures as PNG files, all of them
// made here from integer arithmetic so that every build gives the same
// bytes. The build encodes them into layered pictures for the demo.
//
//   still.png        a small landscape (opaque)
//   anim_0..7.png    a spinner of eight dots, one frame per step (alpha)
//   tile.png         a brick pattern that tiles seamlessly (opaque)
//   ball.png         a shaded ball (alpha)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/streams.h"
#include "imaging/dibx.h"
#include "imaging/pictures.h"

namespace {

using orva::TDIBX;

struct Rgb {
  int r, g, b;
};

uint32_t Pixel(const Rgb& c) {
  auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return clamp(c.r) << 16 | clamp(c.g) << 8 | clamp(c.b);
}

Rgb Mix(const Rgb& a, const Rgb& b, int t, int range) {
  return {a.r + (b.r - a.r) * t / range, a.g + (b.g - a.g) * t / range, a.b + (b.b - a.b) * t / range};
}

// How much of pixel (x, y) lies inside the circle of radius r around
// (cx, cy), all in pixels: 0..16 from a 4 x 4 grid of samples.
int Coverage(int x, int y, int cx, int cy, int r) {
  int n = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx) {
      // Sample centres at 1/8, 3/8, 5/8, 7/8 of the pixel, in eighths.
      const int dx = (x * 8 + sx * 2 + 1) - cx * 8, dy = (y * 8 + sy * 2 + 1) - cy * 8;
      if (dx * dx + dy * dy <= r * r * 64) ++n;
    }
  return n;
}

void Save(const std::filesystem::path& dir, const std::string& name, TDIBX& color, TDIBX* alpha) {
  const std::vector<uint8_t> png = orva::EncodePng(color, alpha);
  orva::TMxMemoryStream(std::string_view(reinterpret_cast<const char*>(png.data()), png.size()))
      .SaveToFile((dir / name).string());
}

void Still(const std::filesystem::path& dir) {
  const int w = 200, h = 150;
  TDIBX c(w, h, 24);
  const Rgb skyTop{48, 96, 192}, skyLow{168, 208, 240}, sun{255, 224, 96};
  const Rgb farHill{72, 140, 88}, nearHill{40, 112, 56}, wall{224, 200, 160}, roof{176, 64, 48}, door{96, 64, 40};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Rgb p = Mix(skyTop, skyLow, y, h);
      const int cover = Coverage(x, y, 150, 38, 16);
      if (cover) p = Mix(p, sun, cover, 16);
      // Two rows of hills: parabolic bumps repeating along x.
      const int u = (x + 30) % 100 - 50, farTop = 80 + u * u / 60;
      const int v = x % 140 - 70, nearTop = 105 + v * v / 120;
      if (y >= farTop) p = Mix(farHill, nearHill, y - farTop, h);
      if (y >= nearTop) p = Mix(nearHill, Rgb{24, 80, 40}, y - nearTop, h - 100);
      // A house on the near hill: roof, walls, a door and a window.
      if (x >= 40 && x < 72 && y >= 96 && y < 120) p = wall;
      if (y >= 80 && y < 96 && std::abs(x - 56) <= (y - 80) + 4) p = roof;
      if (x >= 52 && x < 60 && y >= 106 && y < 120) p = door;
      if (x >= 44 && x < 50 && y >= 100 && y < 106) p = Rgb{120, 180, 230};
      c.SetPixel(x, y, Pixel(p));
    }
  Save(dir, "still.png", c, nullptr);
}

// Eight dots on a circle; the head of the spinner is at step `frame`, the
// dots behind it fade.
void Spinner(const std::filesystem::path& dir, int frame) {
  const int size = 64, centre = 32;
  // Unit directions every 45 degrees, times 22 (the ring's radius).
  static const int kDx[8] = {0, 16, 22, 16, 0, -16, -22, -16};
  static const int kDy[8] = {-22, -16, 0, 16, 22, 16, 0, -16};
  TDIBX c(size, size, 24), a(size, size, 8);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      int bestCover = 0, bestAge = 0;
      for (int k = 0; k < 8; ++k) {
        const int cover = Coverage(x, y, centre + kDx[k], centre + kDy[k], 7);
        if (cover > bestCover) {
          bestCover = cover;
          bestAge = (frame - k + 8) % 8;
        }
      }
      const Rgb head{255, 240, 120}, tail{80, 120, 255};
      c.SetPixel(x, y, Pixel(Mix(head, tail, bestAge, 7)));
      // Older dots are also fainter.
      a.SetPixel(x, y, static_cast<uint32_t>(bestCover * (255 - bestAge * 24) / 16));
    }
  Save(dir, "anim_" + std::to_string(frame) + ".png", c, &a);
}

void Tile(const std::filesystem::path& dir) {
  const int size = 32;
  TDIBX c(size, size, 24);
  const Rgb brick{176, 84, 56}, dark{140, 60, 40}, mortar{216, 208, 192};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      // Rows of 16 x 8 bricks, every other row shifted by half a brick.
      const int row = y / 8, bx = (x + (row % 2) * 8) % 16, by = y % 8;
      Rgb p = (bx == 0 || by == 0) ? mortar : Mix(brick, dark, (bx + by * 2) % 7, 14);
      c.SetPixel(x, y, Pixel(p));
    }
  Save(dir, "tile.png", c, nullptr);
}

void Ball(const std::filesystem::path& dir) {
  const int size = 48, centre = 24, radius = 22;
  TDIBX c(size, size, 24), a(size, size, 8);
  const Rgb light{255, 250, 235}, body{220, 60, 90}, shade{90, 20, 50};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      // Brightest near a highlight up and to the left, darkest opposite.
      const int hx = x - (centre - 8), hy = y - (centre - 8);
      const int d2 = hx * hx + hy * hy, far2 = 4 * radius * radius;
      const int t = d2 * 256 / far2;
      Rgb p = t < 24 ? Mix(light, body, t, 24) : Mix(body, shade, t > 256 ? 232 : t - 24, 232);
      c.SetPixel(x, y, Pixel(p));
      a.SetPixel(x, y, static_cast<uint32_t>(Coverage(x, y, centre, centre, radius) * 255 / 16));
    }
  Save(dir, "ball.png", c, &a);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: demoart OUTDIR\n");
    return 2;
  }
  try {
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    Still(dir);
    for (int frame = 0; frame < 8; ++frame) Spinner(dir, frame);
    Tile(dir);
    Ball(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demoart: %s\n", e.what());
    return 1;
  }
  return 0;
}
