// orvatool midi: what a MIDI file holds, its events as the sequencer sees
// them, the file played through the player's own sequencer, synthesizer and
// mixer into a wave file, and MIDI files made from a note list.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "common/errors.h"
#include "common/streams.h"
#include "media/mediasettings.h"
#include "media/midinotes.h"
#include "media/midiplayv.h"
#include "media/midisynth.h"
#include "media/wavdevices.h"

using orva::OrvaError;
namespace media = orva::media;

namespace orvatool {
namespace {

const char kMidiUsage[] =
    "usage:\n"
    "  orvatool midi info FILE.mid\n"
    "      format, tracks, division and length in ms, as JSON\n"
    "  orvatool midi dump FILE.mid\n"
    "      one line per event: tick, ms, track, kind, bytes\n"
    "  orvatool midi render FILE.mid OUT.wav [--seconds N] [--from MS] [--loop] [--soundfont F]\n"
    "      the song played as the player plays it, 44100 Hz 16-bit stereo (default\n"
    "      length: the song plus 2 s; SoundFont: F, else $ORVA_SOUNDFONT, else the\n"
    "      installed General MIDI bank)\n"
    "  orvatool midi make NOTES.txt OUT.mid\n"
    "      a MIDI file from a note list (docs/midi-notes.md)\n";

std::vector<uint8_t> ReadBytes(const std::string& path) {
  orva::TMxMemoryStream in;
  in.LoadFromFile(path);
  return in.TakeBytes();
}

double Number(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || v < 0 || v > 1e7) throw OrvaError::Utf8(option + ": not a number: " + text);
  return v;
}

// Loads a song; false (with the reason on stderr) when it is refused.
bool Load(media::TMidiV& song, const std::string& path) {
  song.LoadSong(ReadBytes(path));
  for (const std::string& p : song.Problems()) std::fprintf(stderr, "orvatool midi: %s: %s\n", path.c_str(), p.c_str());
  if (song.Refusal().empty()) return true;
  std::fprintf(stderr, "orvatool midi: %s: %s\n", path.c_str(), song.Refusal().c_str());
  return false;
}

int Info(const std::string& path) {
  media::TMidiV song;
  if (!Load(song, path)) return 1;
  std::printf("{\"format\": %d, \"tracks\": %d, \"division\": %d, \"length_ms\": %d}\n", song.Format(),
              song.TrackCount(), song.Division(), song.SongLength());
  return 0;
}

int Dump(const std::string& path) {
  media::TMidiV song;
  if (!Load(song, path)) return 1;
  static const char* const kKinds[] = {"channel", "sysex", "meta"};
  const media::TMidiMsgEvents& events = song.Events();
  for (size_t i = 0; i < events.Count(); ++i) {
    const media::TMidiMsgEvent& e = events[i];
    std::string track = e.track < 0 ? "-" : std::to_string(e.track);
    std::printf("%lld %d %s %s", static_cast<long long>(e.tick), e.time, track.c_str(),
                kKinds[static_cast<int>(e.kind)]);
    for (uint8_t b : events.Bytes(e)) std::printf(" %02X", b);
    std::printf("\n");
  }
  return 0;
}

struct RenderOptions {
  double seconds = -1, fromMs = 0;
  bool loop = false;
  std::string soundFont;
};

int Render(const std::string& path, const std::string& out, const RenderOptions& o) {
  std::string soundFont = o.soundFont;
  if (soundFont.empty()) {
    const char* env = std::getenv("ORVA_SOUNDFONT");
    soundFont = media::FindSoundFont(env ? env : "", "");
  }
  // The player's own pieces on a clock of rendered time: a wave device whose
  // frames go to the file, the mixer, the synthesizer port and a sequencer.
  media::TWaveDevice device;
  media::TGameTimeDriver driver(device);
  media::TWavOut mixer(media::TMediaSettings::kNativeDelayMs, device, [&driver] { return driver.Now(); },
                       media::TWavOut::Driver::Caller);
  driver.SetMixer(&mixer);
  mixer.OpenDevice();
  media::TWaveFileWriter writer(out, media::TWaveFormat::Output());
  device.SetTap([&writer](const int16_t* s, int frames) { writer.Write(s, static_cast<size_t>(frames) * 4); });
  auto system = media::MakeMidiSystem({&mixer, soundFont, false});
  {
    media::TMidiPlayV player(system.get());
    if (!Load(player, path)) return 1;
    player.SetLoop(o.loop);
    player.OpenPort(media::kMidiMapper);
    player.SendSystemOn();
    const auto from = static_cast<int32_t>(o.fromMs);
    player.PlayFrom(from);
    const int64_t ms = o.seconds >= 0 ? static_cast<int64_t>(o.seconds * 1000)
                                      : std::max<int64_t>(0, player.SongLength() - from) + 2000;
    driver.AdvanceTo(ms);
  }
  device.SetTap(nullptr);
  writer.Finish();
  return 0;
}

int Make(const std::string& notes, const std::string& out) {
  orva::TMxMemoryStream in;
  in.LoadFromFile(notes);
  orva::TMxMemoryStream file(media::MakeMidiFromNotes(in.AsString()));
  file.SaveToFile(out);
  return 0;
}

}  // namespace

int RunMidi(const Args& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kMidiUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  std::vector<std::string> positional;
  RenderOptions o;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--from" || a == "--seconds") && i + 1 < args.size()) {
      (a == "--from" ? o.fromMs : o.seconds) = Number(a, args[++i]);
    } else if (a == "--soundfont" && i + 1 < args.size()) {
      o.soundFont = args[++i];
    } else if (a == "--loop") {
      o.loop = true;
    } else if (a.rfind("--", 0) == 0) {
      throw OrvaError::Utf8("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  const std::string& op = args[0];
  if (op == "info" && positional.size() == 1) return Info(positional[0]);
  if (op == "dump" && positional.size() == 1) return Dump(positional[0]);
  if (op == "render" && positional.size() == 2) return Render(positional[0], positional[1], o);
  if (op == "make" && positional.size() == 2) return Make(positional[0], positional[1]);
  std::fputs(kMidiUsage, stderr);
  return 2;
}

}  // namespace orvatool
