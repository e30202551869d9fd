// orvatool image: look inside pictures, decode a frame to PNG, and make
// layered pictures from plain ones.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.h"
#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "common/streams.h"
#include "imaging/pictures.h"
#include "imaging/vorns.h"

using orva::OrvaError;

namespace orvatool {
namespace {

const char kImageUsage[] =
    "usage:\n"
    "  orvatool image info FILE [--ident-code N]\n"
    "      format, size, depth, frames and layers\n"
    "  orvatool image decode FILE OUT.png [--frame K] [--ident-code N]\n"
    "      frame K (default 0), composed, with its alpha as an RGBA PNG\n"
    "  orvatool image encode IN... OUT.vor [--delay MS[,MS...]] [--comp-type 0|1|2] [--comp-level N]\n"
    "                       [--ident-code N]\n"
    "      a layered picture (XML generation) whose frames are the frames of the inputs in order;\n"
    "      --delay gives every frame's delay in ms (one value for all, or one per frame)\n"
    "  Pictures are read by their extension: .vor (layered), .png, .bmp, .dib, .jpg, .jpeg, .gif.\n";

struct Options {
  std::vector<std::string> positional;
  std::vector<int32_t> delays;
  int frame = 0;
  int32_t identCode = 0;
  int compType = 0;
  int compLevel = 70;
};

int32_t Number(const std::string& text) {
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || v < INT32_MIN || v > UINT32_MAX) throw OrvaError::Utf8("not a number: " + text);
  return static_cast<int32_t>(v);
}

// "MS" or "MS,MS,...", each at least 0.
std::vector<int32_t> Delays(const std::string& text) {
  std::vector<int32_t> out;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const int32_t v = Number(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (v < 0) throw OrvaError::Utf8("--delay: a delay cannot be negative: " + text);
    out.push_back(v);
    if (comma == std::string::npos) return out;
    start = comma + 1;
  }
}

Options Parse(const Args& a) {
  Options o;
  for (size_t i = 0; i < a.size(); ++i) {
    auto value = [&]() -> const std::string& {
      if (i + 1 >= a.size()) throw OrvaError::Utf8(a[i] + " needs a value\n" + kImageUsage);
      return a[++i];
    };
    if (a[i] == "--frame") o.frame = Number(value());
    else if (a[i] == "--delay") o.delays = Delays(value());
    else if (a[i] == "--ident-code") o.identCode = Number(value());
    else if (a[i] == "--comp-type") o.compType = Number(value());
    else if (a[i] == "--comp-level") o.compLevel = Number(value());
    else if (a[i].starts_with("--")) throw OrvaError::Utf8("unknown option " + a[i] + "\n" + kImageUsage);
    else o.positional.push_back(a[i]);
  }
  return o;
}

const char* KindName(orva::PictureKind k) {
  switch (k) {
    case orva::PictureKind::Bmp: return "BMP";
    case orva::PictureKind::Png: return "PNG";
    case orva::PictureKind::Jpeg: return "JPEG";
    case orva::PictureKind::Gif: return "GIF";
    case orva::PictureKind::Vorn: return "layered";
    default: return "unknown";
  }
}

struct Loaded {
  orva::PictureKind kind = orva::PictureKind::Unknown;
  bool xml = false;  // layered pictures: the XML-headed generation
};

// Loads a picture as frames, chosen by its extension as the player does;
// layered files keep their layers when asked. Other extensions are refused.
Loaded LoadByExtension(const std::string& path, orva::TVornFrameList& list, bool keepLayers, bool convert) {
  const std::string ext = orva::cp932::ToLower(orva::paths::ExtractHostExt(path));
  if (!orva::TVornFrameList::LoadsByName(ext))
    throw OrvaError::Utf8(path + ": not a picture name (the extension must be .vor, .png, .bmp, .dib, .jpg, .jpeg or .gif)");
  orva::TMxMemoryStream m;
  m.LoadFromFile(path);
  Loaded loaded;
  const auto& bytes = m.Bytes();
  if (ext == ".vor") {
    loaded.kind = orva::PictureKind::Vorn;
    loaded.xml = bytes.size() >= 5 && std::memcmp(bytes.data(), "VornX", 5) == 0;
  } else {
    loaded.kind = orva::SniffPicture(bytes);
  }
  list.LoadByName(ext, m, false, keepLayers, convert);
  return loaded;
}

// A 0x00BBGGRR colour as scripts write it, or "none".
std::string ColourText(int32_t colour) {
  if (colour == -1) return "none";
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(colour));
  return text;
}

int Info(const Options& o) {
  if (o.positional.size() != 1) throw OrvaError::Utf8(kImageUsage);
  const std::string& path = o.positional[0];
  orva::TVornFrameList list(o.identCode);
  const Loaded loaded = LoadByExtension(path, list, true, false);
  std::printf("format: %s", KindName(loaded.kind));
  if (loaded.kind == orva::PictureKind::Vorn)
    std::printf(" (%s generation, version %d)", loaded.xml ? "XML" : "record", list.Version);
  std::printf("\nframes: %d\n", list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    orva::TVornFrame& f = list.Frame(i);
    std::printf("frame %d: %dx%d, %d bits, %zu layers, alpha %s, transparent %s, delay %d, name \"%s\"\n", i,
                f.Width(), f.Height(), f.Bpp(), f.Layers.size(), f.AlphaPlane ? "yes" : "no",
                ColourText(f.TransRgb).c_str(), f.Delay, orva::cp932::ToUtf8(f.Name).c_str());
    for (size_t k = 0; k < f.Layers.size(); ++k) {
      const orva::TVornLayer& l = *f.Layers[k];
      std::printf("  layer %zu: \"%s\" visible %d, opacity %d, alpha plane %s%s, key pixel %d\n", k,
                  orva::cp932::ToUtf8(l.Name).c_str(), l.Visible ? 1 : 0, l.Alpha, l.AlphaPlane ? "yes" : "no",
                  l.AlphaPlane && l.AlphaOn ? " (on)" : "", l.TransColor);
    }
  }
  return 0;
}

int Decode(const Options& o) {
  if (o.positional.size() != 2) throw OrvaError::Utf8(kImageUsage);
  orva::TVornFrameList list(o.identCode);
  LoadByExtension(o.positional[0], list, false, true);
  orva::TVornFrame& f = list.Frame(o.frame);
  orva::TDIBX alpha;
  orva::CopyAlphaToSurface(f, alpha);
  const std::vector<uint8_t> png = orva::EncodePng(f.Color, &alpha);
  orva::TMxMemoryStream out(std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
  out.SaveToFile(o.positional[1]);
  return 0;
}

int Encode(const Options& o) {
  if (o.positional.size() < 2) throw OrvaError::Utf8(kImageUsage);
  orva::TVornFrameList list(o.identCode);
  for (size_t i = 0; i + 1 < o.positional.size(); ++i) {
    orva::TVornFrameList input(o.identCode);
    LoadByExtension(o.positional[i], input, true, false);
    if (i == 0) {
      list.BGColor = input.BGColor;
      list.NotFillBG = input.NotFillBG;
    }
    for (auto& frame : input.Frames) list.Frames.push_back(std::move(frame));
  }
  if (!o.delays.empty()) {
    if (o.delays.size() != 1 && o.delays.size() != list.Frames.size())
      throw OrvaError::Utf8("--delay gives " + std::to_string(o.delays.size()) + " delays for " +
                            std::to_string(list.Frames.size()) + " frames");
    for (size_t i = 0; i < list.Frames.size(); ++i) list.Frames[i]->Delay = o.delays[o.delays.size() == 1 ? 0 : i];
  }
  list.SaveToFile(o.positional.back(), o.compType, o.compLevel);
  return 0;
}

}  // namespace

int RunImage(const Args& args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(kImageUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const Options o = Parse(Args(args.begin() + 1, args.end()));
  if (args[0] == "info") return Info(o);
  if (args[0] == "decode") return Decode(o);
  if (args[0] == "encode") return Encode(o);
  std::fprintf(stderr, "orvatool image: unknown action \"%s\"\n%s", args[0].c_str(), kImageUsage);
  return 2;
}

}  // namespace orvatool
