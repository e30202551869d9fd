// orvatool archive: list, extract, create and verify content archives.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "storage/archives.h"
#include "storage/scrambles.h"
#include "storage/vrfiles.h"

namespace fs = std::filesystem;
using orva::OrvaError;

namespace orvatool {
namespace {

const char kArchiveUsage[] =
    "usage:\n"
    "  orvatool archive list ARCHIVE\n"
    "      one line per entry: name, stored size, storage kind, checksum\n"
    "  orvatool archive extract ARCHIVE DIR\n"
    "      every entry to DIR/its name; absolute names and \"..\" are refused\n"
    "  orvatool archive create OUT SRCDIR [--version N] [--scramble] [--ext] [--overlay-on FILE]\n"
    "      every file below SRCDIR, named by its relative path\n"
    "  orvatool archive verify ARCHIVE\n"
    "      every entry decodes and its checksum matches\n";

const char* KindName(uint8_t kind) {
  switch (kind) {
    case orva::kStoredCompressed: return "compressed";
    case orva::kStoredPlain: return "stored";
    case orva::kStoredScrambled: return "scrambled";
    case orva::kStoredCompressedScrambled: return "compressed+scrambled";
  }
  return "unknown";
}

std::unique_ptr<orva::TVrFileCollection> OpenArchive(const std::string& path) {
  if (!orva::paths::IsRegularFile(path)) throw OrvaError::Utf8(path + ": no such file");
  return orva::TVrFileCollection::Open(path);
}

int List(const Args& a) {
  if (a.size() != 1) throw OrvaError::Utf8(kArchiveUsage);
  auto c = OpenArchive(a[0]);
  auto& files = c->Files();
  for (int i = 0; i < files.Count(); ++i) {
    const auto& f = files.At(i);
    // Archives of version 100 and older keep no checksums.
    char crc[16] = "-";
    if (c->Version() > 100) std::snprintf(crc, sizeof crc, "%08x", f.crc);
    std::printf("%s\t%lld\t%s\t%s\n", orva::cp932::ToUtf8(f.Name()).c_str(), static_cast<long long>(f.size),
                KindName(f.storageKind), crc);
  }
  return 0;
}

int Extract(const Args& a) {
  if (a.size() != 2) throw OrvaError::Utf8(kArchiveUsage);
  auto c = OpenArchive(a[0]);
  const fs::path dir = a[1];
  int problems = 0;
  auto& files = c->Files();
  for (int i = 0; i < files.Count(); ++i) {
    const auto& f = files.At(i);
    const std::string shown = orva::cp932::ToUtf8(f.Name());
    if (f.Name().empty() || orva::paths::EscapesFolder(f.Name())) {
      std::fprintf(stderr, "refused: \"%s\" would be written outside %s\n", shown.c_str(), a[1].c_str());
      ++problems;
      continue;
    }
    try {
      std::string rel;
      for (const auto& part : orva::paths::SplitComponents(f.Name())) {
        if (!rel.empty()) rel += '/';
        rel += orva::cp932::ToUtf8(part);
      }
      fs::path target = dir / rel;
      fs::create_directories(target.parent_path());
      orva::TMxMemoryStream m;
      c->ReadEntry(f, m);
      m.SaveToFile(target.string());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "failed: \"%s\": %s\n", shown.c_str(), e.what());
      ++problems;
    }
  }
  return problems ? 1 : 0;
}

int Create(const Args& a) {
  std::vector<std::string> positional;
  orva::ArchiveWriteOptions options;
  orva::ArchiveLayout layout = orva::ArchiveLayout::Plain;
  std::string overlayOn;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == "--version" && i + 1 < a.size()) {
      options.version = std::stoi(a[++i]);
    } else if (a[i] == "--scramble") {
      options.scramble = true;
    } else if (a[i] == "--ext") {
      layout = orva::ArchiveLayout::ExtCompanion;
    } else if (a[i] == "--overlay-on" && i + 1 < a.size()) {
      layout = orva::ArchiveLayout::Overlay;
      overlayOn = a[++i];
    } else if (!a[i].empty() && a[i][0] == '-') {
      throw OrvaError::Utf8("unknown option " + a[i] + "\n" + kArchiveUsage);
    } else {
      positional.push_back(a[i]);
    }
  }
  if (positional.size() != 2) throw OrvaError::Utf8(kArchiveUsage);
  const fs::path src = positional[1];
  if (!fs::is_directory(src)) throw OrvaError::Utf8(positional[1] + ": not a folder");

  std::vector<orva::ArchiveSource> sources;
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(src))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  const fs::path out = fs::absolute(positional[0]);
  for (const auto& p : files) {
    if (fs::absolute(p) == out) continue;  // never pack the archive into itself
    std::string rel = fs::relative(p, src).generic_string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    orva::ArchiveSource s;
    s.name = orva::cp932::FromUtf8(rel);
    s.hostPath = p.string();
    sources.push_back(std::move(s));
  }
  options.onEntryError = [](const std::string& msg) {
    std::fprintf(stderr, "%s\n", orva::cp932::ToUtf8(msg).c_str());
  };
  orva::WriteArchiveFile(positional[0], sources, options, layout, overlayOn);
  return 0;
}

int Verify(const Args& a) {
  if (a.size() != 1) throw OrvaError::Utf8(kArchiveUsage);
  auto c = OpenArchive(a[0]);
  int bad = 0;
  auto& files = c->Files();
  const bool hasChecksums = c->Version() > 100;
  for (int i = 0; i < files.Count(); ++i) {
    const auto& f = files.At(i);
    const std::string shown = orva::cp932::ToUtf8(f.Name());
    try {
      orva::TMxMemoryStream decoded;
      c->ReadEntry(f, decoded);
      if (hasChecksums) {
        uint32_t crc;
        if (f.checksumOfSource) {
          crc = orva::Crc32(decoded.Memory(), decoded.Bytes().size());
        } else {
          auto stored = c->ReadStoredBytes(f);
          crc = orva::Crc32(stored.data(), stored.size());
        }
        if (crc != f.crc) {
          std::fprintf(stderr, "checksum mismatch: \"%s\" (stored %08x, computed %08x)\n", shown.c_str(), f.crc, crc);
          ++bad;
        }
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "cannot decode \"%s\": %s\n", shown.c_str(), e.what());
      ++bad;
    }
  }
  std::printf("%d entries, %d bad\n", files.Count(), bad);
  return bad ? 1 : 0;
}

}  // namespace

int RunArchive(const Args& args) {
  if (args.empty() || args[0] == "--help") {
    std::fputs(kArchiveUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  Args rest(args.begin() + 1, args.end());
  if (args[0] == "list") return List(rest);
  if (args[0] == "extract") return Extract(rest);
  if (args[0] == "create") return Create(rest);
  if (args[0] == "verify") return Verify(rest);
  std::fprintf(stderr, "orvatool archive: unknown action \"%s\"\n%s", args[0].c_str(), kArchiveUsage);
  return 2;
}

}  // namespace orvatool
