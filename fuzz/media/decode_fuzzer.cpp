// The FFmpeg back end on hostile bytes, as the player meets them: the first
// byte chooses an Ogg/wave item, a Windows Media item (the whole file), a
// video item or a decoded PCM stream; the next four a seek position; the
// rest is the file, read from memory. Each item opens, plays through the
// mixer for up to 10 s, seeks, loops to its start and tells its length.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "media/ffbackend.h"
#include "media/wavdevices.h"

namespace {

using namespace orva::media;

struct Rig {
  TWaveDevice device;
  TWavOut mixer{20, device, [] { return int64_t{0}; }, TWavOut::Driver::Caller};
  TFfMediaBackend backend{mixer};
  std::vector<int16_t> block = std::vector<int16_t>(static_cast<size_t>(mixer.BlockBytes() / 2));
  std::vector<uint8_t> pixels;
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

// Mixes `blocks` blocks of 20 ms, looking at the picture every other one.
void Play(Rig& rig, MediaHandle h, int blocks) {
  for (int i = 0; i < blocks; ++i) {
    if (!rig.mixer.MixAll(rig.block.data()) && rig.backend.IsEnd(h)) break;
    if (i % 2 == 0 && rig.backend.NeedPaint(h)) {
      const int w = rig.backend.GetSourceWidth(h), ht = rig.backend.GetSourceHeight(h);
      rig.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(ht) * 4);
      rig.backend.CopyFrame(h, rig.pixels.data(), w * 4, w, ht);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  Rig& rig = TheRig();
  uint32_t seekTo;
  std::memcpy(&seekTo, data + 1, 4);
  std::vector<uint8_t> file(data + 5, data + size);
  const int kind = data[0] % 4;
  if (kind == 3) {
    const MediaHandle p = rig.backend.AddPcmStream(std::make_unique<orva::TMxMemoryStream>(file), true);
    if (p == kNoMedia) return 0;
    std::vector<uint8_t> buffer(16384);
    for (int64_t total = 0; total < int64_t{44100} * 4 * 10;) {
      const int64_t got = rig.backend.PcmRead(p, buffer.data(), static_cast<int64_t>(buffer.size()));
      if (got <= 0) break;
      total += got;
    }
    const int64_t bytes = rig.backend.PcmGetSize(p);
    if (bytes > 0) rig.backend.PcmSetPos(p, seekTo % bytes);
    rig.backend.PcmRead(p, buffer.data(), static_cast<int64_t>(buffer.size()));
    (void)rig.backend.PcmGetLen(p);
    rig.backend.DeletePcmStream(p);
    return 0;
  }
  const MediaHandle h = kind == 0   ? rig.backend.AddOgg(std::make_unique<orva::TMxMemoryStream>(file), true)
                        : kind == 1 ? rig.backend.AddWindowsMediaAudio(file)
                                    : rig.backend.AddVideo("", std::make_unique<orva::TMxMemoryStream>(file), 0);
  if (h == kNoMedia) return 0;
  const int32_t length = rig.backend.GetLen(h);
  rig.backend.SetVol(h, -(static_cast<int32_t>(seekTo) % 10000));
  rig.backend.SetPan(h, static_cast<int32_t>(seekTo % 20001) - 10000);
  rig.backend.Play(h);
  Play(rig, h, 500);  // 10 s
  rig.backend.SetPosition(h, length > 0 ? static_cast<int32_t>(seekTo % static_cast<uint32_t>(length)) : 0);
  Play(rig, h, 10);
  rig.backend.SetAutoRepeat(h, true);
  rig.backend.SetPosition(h, length > 40 ? length - 40 : 0);
  rig.backend.Play(h);
  Play(rig, h, 10);
  (void)rig.backend.GetPosition(h);
  rig.backend.Delete(h);
  return 0;
}
