#include "shell/content.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/paths.h"
#include "storage/bigstreams.h"
#include "storage/peresources.h"
#include "storage/vrfiles.h"

namespace orva {

namespace {

std::string Absolute(const std::string& path, const std::string& currentFolder) {
  std::string p = path.empty() || path[0] == '/' ? path : currentFolder + "/" + path;
  if (char* real = realpath(p.c_str(), nullptr)) {
    p = real;
    std::free(real);
  }
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string FolderOf(const std::string& file) {
  size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

std::optional<std::string> Child(const std::string& folder, const char* name) {
  auto found = paths::ResolveCaseInsensitive(folder, name);
  if (found && paths::IsRegularFile(*found)) return found;
  return std::nullopt;
}

bool HasExeExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == ".exe";
}

}  // namespace

bool HoldsContentArchive(const std::string& hostPath) {
  if (!paths::IsRegularFile(hostPath)) return false;
  try {
    TMxBigFileStream file(hostPath, FileOpenMode::Read);
    const int64_t size = file.GetSize();
    if (size < 2) return false;
    char tail[2] = {}, head[2] = {};
    file.SetPosition(size - 2);
    file.ReadExact(tail, 2);
    if (tail[0] == 'o' && tail[1] == 'v') return true;
    file.SetPosition(0);
    file.ReadExact(head, 2);
    if (head[0] == 'v' && head[1] == 'f') return true;
    return IsPeFile(file) && FindPeResource(file, "DUMMY", "BINTYPE").has_value();
  } catch (const OrvaError&) {
    return false;  // a damaged program file carries nothing we can mount
  }
}

TGameLocation FindGame(const std::vector<std::string>& games, const std::string& currentFolder) {
  TGameLocation g;
  if (games.empty()) {
    g.gameFolder = Absolute(currentFolder, currentFolder);
    if (auto dat = Child(g.gameFolder, "game.dat")) {
      g.archives.push_back(*dat);
    } else {
      // A game's Windows program file carrying its content, as shipped.
      std::vector<std::string> programs;
      std::error_code ec;
      for (const auto& e : std::filesystem::directory_iterator(g.gameFolder, ec))
        if (HasExeExtension(e.path().filename().string())) programs.push_back(e.path().string());
      std::sort(programs.begin(), programs.end());
      for (const auto& p : programs)
        if (HoldsContentArchive(p)) {
          g.archives.push_back(p);
          break;
        }
    }
  } else {
    for (size_t i = 0; i < games.size(); ++i) {
      const std::string path = Absolute(games[i], currentFolder);
      const bool folder = paths::IsDirectory(path);
      if (i == 0) {
        if (!folder && !paths::IsRegularFile(path)) {
          g.gameFolder = path;
          g.problem = "\"" + games[i] + "\" does not exist.";
          return g;
        }
        g.gameFolder = folder ? path : FolderOf(path);
      }
      if (folder) {
        if (auto dat = Child(path, "game.dat")) g.archives.push_back(*dat);
      } else if (HoldsContentArchive(path)) {
        g.archives.push_back(path);
      }
    }
  }
  g.found = !g.archives.empty() || Child(g.gameFolder, "orva.opb").has_value();
  if (!g.found) {
    g.problem = "no game found in " + g.gameFolder +
                ": looked for \"game.dat\", a Windows program file (.exe) carrying the content archive, "
                "and a loose project file \"orva.opb\".";
  }
  if (!g.problem.empty())
    g.problem += "\nTo play a game: orvaplayer GAME_FOLDER (or orvaplayer GAME.exe); orvaplayer --help lists the options.";
  return g;
}

void MountGame(const TGameLocation& game, TVrFileManager& files) {
  files.SetRootFolder(game.gameFolder);
  for (const auto& a : game.archives) files.MountArchive(a);
}

std::string SaveFolderFor(const std::string& gameFolder, const std::string& titleCp932, const std::string& saveDir,
                          const platform::KnownFolders& folders) {
  if (!saveDir.empty()) return saveDir;
  if (!gameFolder.empty() && access(gameFolder.c_str(), W_OK) == 0) return gameFolder;
  std::string title = cp932::ToUtf8(titleCp932);
  for (char& c : title)
    if (c == '/' || (static_cast<unsigned char>(c) < 0x20)) c = '_';
  while (!title.empty() && (title.front() == '.' || title.front() == ' ')) title.erase(0, 1);
  while (!title.empty() && title.back() == ' ') title.pop_back();
  if (title.empty()) title = "untitled";
  return folders.dataHome + "/orvaplayer/" + title;
}

}  // namespace orva
