// orvatool media: what a sound or video file holds, and its sound decoded
// to a wave file through the player's own decoder.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "common/errors.h"
#include "common/streams.h"
#include "media/ffaudio.h"
#include "media/ffinputs.h"
#include "media/wavdevices.h"
#include "storage/bigstreams.h"

using orva::OrvaError;

namespace orvatool {
namespace {

const char kMediaUsage[] =
    "usage:\n"
    "  orvatool media info FILE\n"
    "      kind, container, codecs, sound format, picture size and length, as JSON\n"
    "  orvatool media decode FILE OUT.wav [--from MS] [--seconds N]\n"
    "      the sound from MS (default 0) for N seconds (default: to its end),\n"
    "      as the player mixes it: 44100 Hz 16-bit stereo\n";

std::shared_ptr<orva::TStream> OpenFile(const std::string& path) {
  return std::make_shared<orva::TFileRangeStream>(path, 0, orva::TRangeStream::kToEnd);
}

double Number(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || v < 0 || v > 1e7) throw OrvaError::Utf8(option + ": not a number: " + text);
  return v;
}

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

int Info(const std::string& path) {
  orva::media::TMediaInfo info;
  std::string why;
  if (!orva::media::ProbeMedia(OpenFile(path), info, &why)) {
    std::fprintf(stderr, "orvatool media: %s: %s\n", path.c_str(), why.c_str());
    return 1;
  }
  // The length the player uses: that of its decoded sound when it has one.
  if (!info.soundCodec.empty()) {
    if (auto s = orva::media::TFfAudioStream::Open(OpenFile(path), orva::media::PcmLayout::Mixer, &why))
      info.lengthMs = s->LengthMs();
  }
  const char* kind = !info.videoCodec.empty() ? "video" : !info.soundCodec.empty() ? "sound" : "none";
  std::printf("{\"kind\": \"%s\", \"container\": %s, \"sound\": %s, \"rate\": %d, \"channels\": %d, "
              "\"video\": %s, \"width\": %d, \"height\": %d, \"length_ms\": %d}\n",
              kind, Quoted(info.container).c_str(), Quoted(info.soundCodec).c_str(), info.rate, info.channels,
              Quoted(info.videoCodec).c_str(), info.width, info.height, info.lengthMs);
  return 0;
}

int Decode(const std::string& path, const std::string& out, double fromMs, double seconds) {
  std::string why;
  auto s = orva::media::TFfAudioStream::Open(OpenFile(path), orva::media::PcmLayout::Mixer, &why);
  if (!s) {
    std::fprintf(stderr, "orvatool media: %s: %s\n", path.c_str(), why.c_str());
    return 1;
  }
  s->SetPosition(orva::media::MsToBytes(static_cast<int64_t>(fromMs), s->Format()));
  int64_t left = seconds < 0 ? s->GetSize() : static_cast<int64_t>(seconds * 44100) * 4;
  orva::media::TWaveFileWriter writer(out, s->Format());
  std::vector<uint8_t> buffer(65536);
  while (left > 0) {
    const int64_t got = s->Read(buffer.data(), std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
    if (got <= 0) break;
    writer.Write(buffer.data(), static_cast<size_t>(got));
    left -= got;
  }
  writer.Finish();
  return 0;
}

}  // namespace

int RunMedia(const Args& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kMediaUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  std::vector<std::string> positional;
  double fromMs = 0, seconds = -1;
  for (size_t i = 1; i < args.size(); ++i) {
    if ((args[i] == "--from" || args[i] == "--seconds") && i + 1 < args.size()) {
      (args[i] == "--from" ? fromMs : seconds) = Number(args[i], args[i + 1]);
      ++i;
    } else if (args[i].rfind("--", 0) == 0) {
      throw OrvaError::Utf8("unknown option " + args[i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (args[0] == "info" && positional.size() == 1) return Info(positional[0]);
  if (args[0] == "decode" && positional.size() == 2) return Decode(positional[0], positional[1], fromMs, seconds);
  std::fputs(kMediaUsage, stderr);
  return 2;
}

}  // namespace orvatool
