// orvatool page, project and build: the page and project source formats, and
// turning a source folder into a playable game folder.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "commands.h"
#include "common/cp932.h"
#include "common/errors.h"
#include "common/streams.h"
#include "script/pagesource.h"
#include "script/projectsource.h"
#include "storage/archives.h"
#include "storage/installsets.h"

namespace fs = std::filesystem;
using orva::OrvaError;

namespace orvatool {
namespace {

std::string ReadText(const std::string& path) {
  orva::TMxMemoryStream m;
  m.LoadFromFile(path);
  return m.AsString();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  orva::TMxMemoryStream m(bytes);
  m.SaveToFile(path);
}

// The content name of a host path below a folder ("a/b.ops" -> "a\b.osb").
std::string ContentName(const fs::path& rel, const std::string& newExt = {}) {
  std::string s = rel.generic_string();
  if (!newExt.empty()) s = s.substr(0, s.size() - rel.extension().string().size()) + newExt;
  std::replace(s.begin(), s.end(), '/', '\\');
  return orva::cp932::FromUtf8(s);
}

std::string PageName(const std::string& path) { return ContentName(fs::path(path).filename(), ".osb"); }

const char kPageUsage[] =
    "usage:\n"
    "  orvatool page asm SOURCE OUT.osb [--name NAME]   assemble page source\n"
    "  orvatool page dasm PAGE.osb [OUT]                page source of a compiled page\n";

const char kProjectUsage[] =
    "usage:\n"
    "  orvatool project asm SOURCE OUT.opb   assemble project source\n"
    "  orvatool project dasm orva.opb [OUT]  project source of a project file\n";

const char kBuildUsage[] =
    "usage: orvatool build SRC OUT\n"
    "  SRC/project.txt is the project source, every *.ops file a page source\n"
    "  (compiled to the same path with .osb), every other file an asset.\n"
    "  OUT receives orva.opb, the .osb pages, install.dat and game.dat.\n";

void Emit(const std::string& text, const std::vector<std::string>& a, size_t at) {
  if (a.size() > at) WriteBytes(a[at], text);
  else std::fputs(text.c_str(), stdout);
}

}  // namespace

int RunPage(const Args& a) {
  if (a.empty() || a[0] == "--help") {
    std::fputs(kPageUsage, a.empty() ? stderr : stdout);
    return a.empty() ? 2 : 0;
  }
  if (a[0] == "asm" && (a.size() == 3 || (a.size() == 5 && a[3] == "--name"))) {
    std::string name = a.size() == 5 ? orva::cp932::FromUtf8(a[4]) : PageName(a[2]);
    auto page = orva::AssemblePage(ReadText(a[1]), name);
    orva::TMxMemoryStream out;
    page->SaveToStream(out);
    out.SaveToFile(a[2]);
    return 0;
  }
  if (a[0] == "dasm" && (a.size() == 2 || a.size() == 3)) {
    orva::TMxMemoryStream in;
    in.LoadFromFile(a[1]);
    orva::TPage page(PageName(a[1]));
    page.LoadFromStream(in);
    Emit(orva::DisassemblePage(page), a, 2);
    return 0;
  }
  std::fputs(kPageUsage, stderr);
  return 2;
}

int RunProject(const Args& a) {
  if (a.empty() || a[0] == "--help") {
    std::fputs(kProjectUsage, a.empty() ? stderr : stdout);
    return a.empty() ? 2 : 0;
  }
  if (a[0] == "asm" && a.size() == 3) {
    orva::TProjectFile p = orva::AssembleProject(ReadText(a[1]));
    orva::TMxMemoryStream out;
    p.Write(out);
    out.SaveToFile(a[2]);
    return 0;
  }
  if (a[0] == "dasm" && (a.size() == 2 || a.size() == 3)) {
    orva::TMxMemoryStream in;
    in.LoadFromFile(a[1]);
    orva::TProjectFile p;
    p.Read(in);
    Emit(orva::DisassembleProject(p), a, 2);
    return 0;
  }
  std::fputs(kProjectUsage, stderr);
  return 2;
}

int RunBuild(const Args& a) {
  if (a.size() == 1 && a[0] == "--help") {
    std::fputs(kBuildUsage, stdout);
    return 0;
  }
  if (a.size() != 2) {
    std::fputs(kBuildUsage, stderr);
    return 2;
  }
  const fs::path src = a[0], out = a[1];
  if (!fs::is_regular_file(src / "project.txt")) throw OrvaError::Utf8((src / "project.txt").string() + ": no project source");
  orva::TProjectFile project = orva::AssembleProject(ReadText((src / "project.txt").string()));

  std::map<std::string, std::string> pageSources;  // content name -> source
  std::vector<std::pair<fs::path, std::string>> assets;  // host path, content name
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(src))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    fs::path rel = fs::relative(f, src);
    if (rel == "project.txt") continue;
    if (f.extension() == ".ops")
      pageSources[ContentName(rel, ".osb")] = ReadText(f.string());
    else
      assets.emplace_back(f, ContentName(rel));
  }

  std::map<std::string, std::map<std::string, int32_t>> labels;
  for (const auto& [name, text] : pageSources) labels[name] = orva::ScanPageLabels(text);
  orva::PageAsmOptions options;
  options.resolveLabel = [&](const std::string& page, const std::string& label) -> std::optional<int32_t> {
    for (const auto& [name, map] : labels) {
      if (!orva::cp932::SameTextCI(name, page)) continue;
      auto it = map.find(label);
      if (it != map.end()) return it->second;
    }
    return std::nullopt;
  };

  fs::create_directories(out);
  std::vector<orva::ArchiveSource> entries;
  auto add = [&](const std::string& name, const std::string& bytes, bool loose) {
    orva::ArchiveSource s;
    s.name = name;
    s.data.assign(bytes.begin(), bytes.end());
    entries.push_back(std::move(s));
    if (!loose) return;
    std::string rel = orva::cp932::ToUtf8(name);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    fs::path target = out / rel;
    fs::create_directories(target.parent_path());
    WriteBytes(target.string(), bytes);
  };
  {
    orva::TMxMemoryStream m;
    project.Write(m);
    add("orva.opb", m.AsString(), true);
  }
  for (const auto& [name, text] : pageSources) {
    auto page = orva::AssemblePage(text, name, options);
    orva::TMxMemoryStream m;
    page->SaveToStream(m);
    add(name, m.AsString(), true);
  }
  for (const auto& [host, name] : assets) {
    orva::ArchiveSource s;
    s.name = name;
    s.hostPath = host.string();
    entries.push_back(std::move(s));
  }
  orva::WriteArchiveFile((out / "game.dat").string(), entries, orva::ArchiveWriteOptions{});

  orva::TOrvaInstallSet set;
  set.setName = project.title;
  set.diskNumber = 1;
  set.contentComplete = true;
  orva::TMxMemoryStream inst;
  set.Write(inst);
  inst.SaveToFile((out / "install.dat").string());
  std::printf("built %s: %zu pages, %zu assets\n", out.string().c_str(), pageSources.size(), assets.size());
  return 0;
}

}  // namespace orvatool
