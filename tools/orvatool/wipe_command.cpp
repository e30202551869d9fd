// orvatool wipe: renders one frame of a screen transition between two
// pictures, or the whole run as a series of frames.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "commands.h"
#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"
#include "storage/rands.h"
#include "storage/vrfiles.h"
#include "transitions/wipes.h"

using orva::OrvaError;

namespace orvatool {
namespace {

const char kWipeUsage[] =
    "usage:\n"
    "  orvatool wipe TYPE OLD NEW OUT.png --time MS --duration MS [options]\n"
    "      one frame of transition TYPE (1..38) at the given time\n"
    "  orvatool wipe TYPE OLD NEW --series DIR --step MS --duration MS [options]\n"
    "      every frame from 0 to the duration, DIR/frame_NNNNNN.png\n"
    "options:\n"
    "  --param0 N --param1 N   the transition's two parameters (default: the type's own)\n"
    "  --text NAME             rule image, looked up under --root (default: the current folder)\n"
    "  --root DIR              folder of loose content files for --text\n"
    "  --reverse               the other direction\n"
    "  --diff-only             only pixels that differ between the pictures move\n"
    "  --seed N                seed of the random orders (default 0)\n"
    "  --bits 15|16|32         frame format (default 32)\n"
    "  --ident-code N          identification code for layered rule images\n"
    "  --list                  the type numbers and class names\n"
    "At or after the duration a frame shows the new picture alone.\n";

struct Options {
  std::vector<std::string> positional;
  std::optional<int32_t> time, duration, step, param0, param1;
  std::string text, root = ".", series;
  bool reverse = false, diffOnly = false, list = false;
  int32_t seed = 0, bits = 32, identCode = 0;
};

int32_t Number(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX)
    throw OrvaError::Utf8("not a number: " + text);
  return static_cast<int32_t>(v);
}

Options Parse(const Args& a) {
  Options o;
  for (size_t i = 0; i < a.size(); ++i) {
    auto value = [&]() -> const std::string& {
      if (i + 1 >= a.size()) throw OrvaError::Utf8(a[i] + " needs a value\n" + kWipeUsage);
      return a[++i];
    };
    const std::string& arg = a[i];
    if (arg == "--time") o.time = Number(value());
    else if (arg == "--duration") o.duration = Number(value());
    else if (arg == "--step") o.step = Number(value());
    else if (arg == "--param0") o.param0 = Number(value());
    else if (arg == "--param1") o.param1 = Number(value());
    else if (arg == "--text") o.text = value();
    else if (arg == "--root") o.root = value();
    else if (arg == "--series") o.series = value();
    else if (arg == "--seed") o.seed = Number(value());
    else if (arg == "--bits") o.bits = Number(value());
    else if (arg == "--ident-code") o.identCode = Number(value());
    else if (arg == "--reverse") o.reverse = true;
    else if (arg == "--diff-only") o.diffOnly = true;
    else if (arg == "--list") o.list = true;
    else if (arg.starts_with("--")) throw OrvaError::Utf8("unknown option " + arg + "\n" + kWipeUsage);
    else o.positional.push_back(arg);
  }
  return o;
}

// Any picture file (the first frame of a layered one) at the frame depth.
void LoadPicture(const std::string& path, int bits, orva::TDIBX& out) {
  orva::TMxMemoryStream m;
  m.LoadFromFile(path);
  orva::TVornFrameList list;
  if (orva::SniffPicture(m.Bytes()) == orva::PictureKind::Vorn) list.LoadFromStream(m, true, false, false);
  else list.LoadPicture(m.Bytes(), false);
  if (list.Count() == 0) throw OrvaError::Utf8("no picture in " + path);
  out.SetSize(1, 1, bits);
  orva::CopyConvert(out, list.Frame(0).Color);
  if (out.IsEmpty()) throw OrvaError::Utf8("empty picture: " + path);
}

void WritePng(orva::TCustomDIBX& surface, const std::string& path) {
  const std::vector<uint8_t> png = orva::EncodePng(surface, nullptr);
  orva::TMxMemoryStream out(std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
  out.SaveToFile(path);
}

int List() {
  for (int type = 1; type <= orva::kWipeTypeCount; ++type) std::printf("%2d %s\n", type, orva::WipeClassName(type));
  return 0;
}

}  // namespace

int RunWipe(const Args& args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(kWipeUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const Options o = Parse(args);
  if (o.list) return List();
  const bool series = !o.series.empty();
  if (o.positional.size() != (series ? 3u : 4u) || !o.duration || (series ? !o.step : !o.time))
    throw OrvaError::Utf8(kWipeUsage);
  if (series && *o.step <= 0) throw OrvaError::Utf8("--step must be at least 1");
  if (o.bits != 15 && o.bits != 16 && o.bits != 32) throw OrvaError::Utf8("--bits must be 15, 16 or 32");
  const int type = Number(o.positional[0]);

  orva::TDIBX from, to;
  LoadPicture(o.positional[1], o.bits, from);
  LoadPicture(o.positional[2], o.bits, to);
  orva::TDIBX dest(from.Width(), from.Height(), o.bits);
  std::unique_ptr<orva::TCustomWipe> wipe = orva::CreateWipe(type, dest, from, to);
  if (!wipe) throw OrvaError::Utf8("unknown transition type " + o.positional[0] + " (1.." +
                                   std::to_string(orva::kWipeTypeCount) + ")");
  orva::TVrFileManager files;
  files.SetRootFolder(o.root);
  orva::TGetRandom random(o.seed);
  wipe->Files = &files;
  wipe->IdentCode = o.identCode;
  wipe->Random = &random;
  wipe->Duration = *o.duration;
  wipe->SetReverse(o.reverse ? 1 : 0);
  if (o.param0) wipe->SetParam(0, *o.param0);
  if (o.param1) wipe->SetParam(1, *o.param1);
  wipe->SetRuleName(orva::cp932::FromUtf8(o.text));
  wipe->DiffOnly = o.diffOnly ? 1 : 0;
  wipe->Prepare();

  if (!series) {
    orva::RenderWipeFrame(*wipe, *o.time);
    WritePng(dest, o.positional[3]);
    return 0;
  }
  if (::mkdir(o.series.c_str(), 0777) != 0 && errno != EEXIST)
    throw OrvaError::Utf8("cannot make the folder " + o.series);
  int frame = 0;
  for (int64_t t = 0;; t += *o.step, ++frame) {
    const int32_t now = static_cast<int32_t>(std::min<int64_t>(t, INT32_MAX));
    const bool done = orva::RenderWipeFrame(*wipe, now);
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06d.png", frame);
    WritePng(dest, o.series + name);
    if (done) break;
  }
  std::printf("%d frames\n", frame + 1);
  return 0;
}

}  // namespace orvatool
