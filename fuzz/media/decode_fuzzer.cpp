// The FFmpeg decoders on hostile bytes, as the player meets them: the first
// byte chooses a sound streamed in the mixer's format, a sound kept in its
// own format for the wave output, or a video; the rest is the file, read
// from memory. Each opens, decodes up to 10 s, seeks to a place the input
// names, loops to the start and asks for the length.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "media/ffaudio.h"
#include "media/ffvideo.h"

namespace {

constexpr int64_t kMaxBytes = int64_t{44100} * 4 * 10;  // 10 s of output

void Sound(std::shared_ptr<orva::TStream> source, orva::media::PcmLayout layout, uint32_t seekTo) {
  std::string why;
  auto s = orva::media::TFfAudioStream::Open(std::move(source), layout, &why);
  if (!s) return;
  std::vector<uint8_t> buffer(16384);
  int64_t total = 0;
  while (total < kMaxBytes) {
    const int64_t got = s->Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got <= 0) break;
    total += got;
  }
  if (s->GetSize() > 0) s->SetPosition(static_cast<int64_t>(seekTo) % s->GetSize());
  s->Read(buffer.data(), static_cast<int64_t>(buffer.size()));
  s->SetPosition(0);
  s->Read(buffer.data(), static_cast<int64_t>(buffer.size()));
  (void)s->LengthMs();
}

void Video(std::shared_ptr<orva::TStream> source, uint32_t seekTo) {
  std::string why;
  auto v = orva::media::TFfVideo::Open(std::move(source), &why);
  if (!v) return;
  for (int64_t ms = 0; ms <= 10000; ms += 40) v->AdvanceTo(ms);
  v->SeekTo(seekTo % 10000);
  v->AdvanceTo(seekTo % 10000 + 100);
  v->SeekTo(0);
  v->AdvanceTo(100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  uint32_t seekTo;
  std::memcpy(&seekTo, data + 1, 4);
  auto source = std::make_shared<orva::TMxMemoryStream>(std::vector<uint8_t>(data + 5, data + size));
  switch (data[0] % 3) {
    case 0: Sound(source, orva::media::PcmLayout::Mixer, seekTo); break;
    case 1: Sound(source, orva::media::PcmLayout::KeepMixable, seekTo); break;
    default: Video(source, seekTo); break;
  }
  return 0;
}
