// The mixer against SDL's own mixing of the same blocks, and our decoding
// of an archive entry against FFmpeg's plain decoding loop on the same file.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "media/ffaudio.h"
#include "media/wavdevices.h"
#include "media/wavouts.h"
#include "storage/archives.h"
#include "storage/vrfiles.h"

namespace {

using namespace orva;
using namespace orva::media;

constexpr int kBuffers = 16;
constexpr int kSeconds = 10;
constexpr int kDelayMs = 20;

// 16 sources of 10 s of noise, with their volumes (0 ... 256) and pans.
struct Sources {
  Sources() {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    for (int b = 0; b < kBuffers; ++b) {
      std::vector<uint8_t> bytes(static_cast<size_t>(kSeconds) * 44100 * 4);
      auto* s = reinterpret_cast<int16_t*>(bytes.data());
      for (size_t i = 0; i < bytes.size() / 2; ++i) s[i] = static_cast<int16_t>(sample(random));
      data.push_back(std::move(bytes));
      volumes.push_back(64 + b * 12);  // 64 ... 244
      pans.push_back((b % 5 - 2) * 1500);
    }
  }
  std::vector<std::vector<uint8_t>> data;
  std::vector<int> volumes, pans;
};

const Sources& TheSources() {
  static const Sources s;
  return s;
}

void BM_MixAll(benchmark::State& state) {
  const Sources& src = TheSources();
  TWaveDevice device;
  TWavOut mixer(kDelayMs, device, [] { return int64_t{0}; }, TWavOut::Driver::Caller);
  std::vector<std::unique_ptr<TMxMemoryStream>> streams;
  std::vector<TWavBuffer*> buffers;
  for (int b = 0; b < kBuffers; ++b) {
    streams.push_back(std::make_unique<TMxMemoryStream>(src.data[static_cast<size_t>(b)]));
    TWavBuffer* buf = mixer.AddBuffer(TWaveFormat::Output(), streams.back().get());
    buf->SetBufferVolume(src.volumes[static_cast<size_t>(b)]);
    buf->SetChannelGains(GainsFromDecibels(0, src.pans[static_cast<size_t>(b)]));
    buf->StartBuffer();
    buffers.push_back(buf);
  }
  std::vector<int16_t> block(static_cast<size_t>(mixer.BlockBytes() / 2));
  const int blocks = kSeconds * 1000 / kDelayMs;
  for (auto _ : state) {
    for (TWavBuffer* b : buffers) b->SetReadPosition(0);
    for (int i = 0; i < blocks; ++i) benchmark::DoNotOptimize(mixer.MixAll(block.data()));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MixAll)->Unit(benchmark::kMillisecond);

// The peer: the same blocks copied out of the same sources and added with
// SDL_MixAudioFormat at the same volumes (SDL's scale is 0 ... 128).
void BM_SdlMixAudioFormat(benchmark::State& state) {
  const Sources& src = TheSources();
  const int blockBytes = BlockBytesForDelay(kDelayMs);
  std::vector<uint8_t> block(static_cast<size_t>(blockBytes)), work(static_cast<size_t>(blockBytes));
  const int blocks = kSeconds * 1000 / kDelayMs;
  for (auto _ : state) {
    for (int i = 0; i < blocks; ++i) {
      std::memset(block.data(), 0, block.size());
      for (int b = 0; b < kBuffers; ++b) {
        std::memcpy(work.data(), src.data[static_cast<size_t>(b)].data() + static_cast<size_t>(i) * blockBytes,
                    work.size());
        SDL_MixAudioFormat(block.data(), work.data(), AUDIO_S16SYS, static_cast<Uint32>(blockBytes),
                           src.volumes[static_cast<size_t>(b)] / 2);
      }
      benchmark::DoNotOptimize(block.data());
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SdlMixAudioFormat)->Unit(benchmark::kMillisecond);

// A 60 s Ogg Vorbis file made once by ffmpeg, and an archive holding it.
struct OggFile {
  OggFile() {
    folder = (std::filesystem::temp_directory_path() / "orva-media-bench").string();
    std::filesystem::create_directories(folder);
    plain = folder + "/music.ogg";
    if (!std::filesystem::exists(plain)) {
      const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i \"anoisesrc=d=60:c=pink:a=0.2\" -ac 2 "
                              "-ar 44100 -c:a libvorbis -q:a 5 '" + plain + "'";
      if (std::system(cmd.c_str()) != 0) std::abort();
    }
    ArchiveSource entry;
    entry.name = "bgm\\music.ogg";
    entry.hostPath = plain;
    ArchiveWriteOptions options;
    options.scramble = true;
    archive = folder + "/game.dat";
    WriteArchiveFile(archive, {entry}, options);
  }
  std::string folder, plain, archive;
};

const OggFile& TheOgg() {
  static const OggFile f;
  return f;
}

void BM_DecodeArchiveEntry(benchmark::State& state) {
  const OggFile& ogg = TheOgg();
  TVrFileManager files;
  files.MountArchive(ogg.archive);
  std::vector<uint8_t> buffer(65536);
  for (auto _ : state) {
    std::string why;
    auto s = TFfAudioStream::Open(std::shared_ptr<TStream>(files.OpenRangeStream("bgm\\music.ogg")),
                                  PcmLayout::Mixer, &why);
    int64_t total = 0;
    while (const int64_t got = s->Read(buffer.data(), static_cast<int64_t>(buffer.size()))) total += got;
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_DecodeArchiveEntry)->Unit(benchmark::kMillisecond);

// The peer: FFmpeg's own reading of the plain file, decoding and the same
// conversion to 44100 Hz 16-bit stereo.
void BM_DecodeFfmpegLoop(benchmark::State& state) {
  const OggFile& ogg = TheOgg();
  for (auto _ : state) {
    AVFormatContext* fmt = nullptr;
    avformat_open_input(&fmt, ogg.plain.c_str(), nullptr, nullptr);
    avformat_find_stream_info(fmt, nullptr);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar);
    avcodec_open2(ctx, codec, nullptr);
    SwrContext* swr = nullptr;
    AVChannelLayout stereo{};
    av_channel_layout_default(&stereo, 2);
    swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, 44100, &ctx->ch_layout, ctx->sample_fmt, ctx->sample_rate,
                        0, nullptr);
    swr_init(swr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> out;
    int64_t total = 0;
    auto drain = [&] {
      while (avcodec_receive_frame(ctx, frame) == 0) {
        const int room = swr_get_out_samples(swr, frame->nb_samples);
        out.resize(static_cast<size_t>(room) * 4);
        uint8_t* dst[1] = {out.data()};
        total += swr_convert(swr, dst, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      }
    };
    while (av_read_frame(fmt, packet) >= 0) {
      if (packet->stream_index == index) avcodec_send_packet(ctx, packet);
      av_packet_unref(packet);
      drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    benchmark::DoNotOptimize(total);
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&swr);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
  }
}
BENCHMARK(BM_DecodeFfmpegLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
