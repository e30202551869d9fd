// A media layer on game time for tests: a folder of loose files (and an
// archive when one is mounted), everything the device plays kept in memory,
// and media made with the ffmpeg program or our own wave writer.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "media/medialayer.h"
#include "media/wavdevices.h"
#include "storage/vrfiles.h"
#include "testsupport.h"

namespace orvatest {

// Runs ffmpeg quietly with the given arguments, writing `path`.
inline void MakeMedia(const std::string& path, const std::string& args) {
  std::string out;
  const int rc = RunCommand("ffmpeg -nostdin -v error -y " + args + " '" + path + "' 2>&1", &out);
  if (rc != 0) throw std::runtime_error("ffmpeg failed: " + out);
}

// A tone of `hz` for `seconds` (an ffmpeg input: amplitude 1/8 of full
// scale, mono; "-ac 2" spreads it at -3 dB on both channels).
inline std::string ToneSource(int hz, double seconds, int rate = 44100) {
  return "-f lavfi -i \"sine=frequency=" + std::to_string(hz) + ":sample_rate=" + std::to_string(rate) +
         ":duration=" + std::to_string(seconds) + "\"";
}
// The RMS level of that tone in stereo.
inline constexpr double kToneRms = 32767.0 / 8 / 2;

// Stereo 16-bit frames whose left sample is the frame number's low 15 bits
// and right sample its next 15 bits: every frame is told apart.
inline std::vector<int16_t> RampFrames(int64_t frames, int64_t from = 0) {
  std::vector<int16_t> s;
  s.reserve(static_cast<size_t>(frames) * 2);
  for (int64_t f = from; f < from + frames; ++f) {
    s.push_back(static_cast<int16_t>(f & 0x7FFF));
    s.push_back(static_cast<int16_t>((f >> 15) & 0x7FFF));
  }
  return s;
}

inline int64_t RampIndex(const int16_t* frame) { return frame[0] | (static_cast<int64_t>(frame[1]) << 15); }

inline std::vector<uint8_t> RampWave(int64_t frames) {
  auto s = RampFrames(frames);
  return orva::media::MakeWaveFile(orva::media::TWaveFormat::Output(), s.data(), s.size() * 2);
}

struct MediaRig {
  explicit MediaRig(orva::media::TMediaSettings settings = {}, std::vector<std::string> cdFolders = {})
      : layer(Config(settings, cdFolders)) {
    files.SetRootFolder(dir.path());
    layer.Device().SetTap([this](const int16_t* s, int frames) { heard.insert(heard.end(), s, s + frames * 2); });
    layer.Init(nullptr, [this] { return gameTime; });
  }
  orva::media::TMediaLayer::Config Config(orva::media::TMediaSettings settings, std::vector<std::string> cdFolders) {
    orva::media::TMediaLayer::Config c;
    c.settings = settings;
    c.files = &files;
    c.cdFolders = std::move(cdFolders);
    return c;
  }
  // Lets `ms` of game time pass in frame ticks of `step` ms.
  void Run(int ms, int step = 16) {
    for (int t = 0; t < ms; t += step) {
      gameTime += step;
      layer.UpdateStreams();
    }
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) { WriteFile(dir / name, bytes); }

  TempDir dir;
  orva::TVrFileManager files;
  int64_t gameTime = 0;
  std::vector<int16_t> heard;  // interleaved stereo, from game time 0
  orva::media::TMediaLayer layer;
};

// Frames of the left channel between two times (ms) of what was heard.
inline std::vector<int16_t> Left(const std::vector<int16_t>& heard, int64_t fromMs, int64_t toMs) {
  std::vector<int16_t> out;
  for (int64_t f = fromMs * 441 / 10; f < toMs * 441 / 10 && static_cast<size_t>(2 * f) < heard.size(); ++f)
    out.push_back(heard[static_cast<size_t>(2 * f)]);
  return out;
}

// Zero crossings per second, halved: the frequency of a plain tone.
inline double Frequency(const std::vector<int16_t>& s) {
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
  return s.empty() ? 0 : crossings / 2.0 * 44100.0 / static_cast<double>(s.size());
}

inline double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += static_cast<double>(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}

// Game time (ms) of the first frame louder than `level`, or -1.
inline int64_t OnsetMs(const std::vector<int16_t>& heard, int level = 200) {
  for (size_t f = 0; 2 * f < heard.size(); ++f)
    if (std::abs(heard[2 * f]) > level) return static_cast<int64_t>(f) * 10 / 441;
  return -1;
}

}  // namespace orvatest
