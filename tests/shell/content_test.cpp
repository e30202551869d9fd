#include "shell/content.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "storage/archives.h"
#include "storage/peresources.h"
#include "storage/vrfiles.h"
#include "testsupport.h"

namespace orva {
namespace {

using orvatest::TempDir;
using orvatest::WriteFile;

std::vector<ArchiveSource> OneEntry(const std::string& name) {
  ArchiveSource s;
  s.name = name;
  s.data = orvatest::Bytes("hello from " + name);
  s.timeStamp = 0x21;
  return {s};
}

// A game folder in each of the shapes the player accepts.
class GameFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir((dir / "dat").c_str(), 0755);
    WriteArchiveFile(dir / "dat/GAME.DAT", OneEntry("from_dat.txt"), {});

    mkdir((dir / "exe").c_str(), 0755);
    WriteFile(dir / "exe/stub.bin", std::string("MZ not really a program"));
    WriteArchiveFile(dir / "exe/Game.exe", OneEntry("from_overlay.txt"), {}, ArchiveLayout::Overlay,
                     dir / "exe/stub.bin");

    mkdir((dir / "res").c_str(), 0755);
    WriteArchiveFile(dir / "res/archive.bin", OneEntry("from_resource.txt"), {});
    const auto archive = orvatest::Bytes(orvatest::ReadFile(dir / "res/archive.bin"));
    WriteFile(dir / "res/play.exe", BuildPeWithResource("DUMMY", "BINTYPE", archive));
    std::remove((dir / "res/archive.bin").c_str());

    mkdir((dir / "loose").c_str(), 0755);
    WriteFile(dir / "loose/orva.opb", std::string("project"));

    mkdir((dir / "empty").c_str(), 0755);
    WriteFile(dir / "empty/plain.exe", std::string("MZ a program without content"));
  }

  TempDir dir;
};

TEST_F(GameFolders, FindsTheContentOfEachShape) {
  struct Case {
    std::vector<std::string> args;
    std::string cwd;
    std::string folder;
    std::string archive;  // "" when loose files only
  };
  const std::vector<Case> cases = {
      {{dir / "dat"}, "/", dir / "dat", dir / "dat/GAME.DAT"},       // folder argument, name in any case
      {{"dat"}, dir.path(), dir / "dat", dir / "dat/GAME.DAT"},      // relative to the current folder
      {{dir / "exe/Game.exe"}, "/", dir / "exe", dir / "exe/Game.exe"},  // overlay trailer
      {{dir / "res/play.exe"}, "/", dir / "res", dir / "res/play.exe"},  // archive resource
      {{}, dir / "res", dir / "res", dir / "res/play.exe"},          // no argument: the folder's program file
      {{}, dir / "dat", dir / "dat", dir / "dat/GAME.DAT"},
      {{}, dir / "loose", dir / "loose", ""},                        // loose files
  };
  for (const auto& c : cases) {
    auto g = FindGame(c.args, c.cwd);
    SCOPED_TRACE(c.args.empty() ? "(cwd) " + c.cwd : c.args[0]);
    EXPECT_TRUE(g.found) << g.problem;
    EXPECT_EQ(g.gameFolder, c.folder);
    if (c.archive.empty()) {
      EXPECT_TRUE(g.archives.empty());
    } else {
      EXPECT_EQ(g.archives, std::vector<std::string>{c.archive});
    }
  }
}

TEST_F(GameFolders, MountsWhatItFound) {
  struct Case {
    std::string folder, entry;
  };
  for (const Case& c : {Case{"dat", "from_dat.txt"}, Case{"exe", "from_overlay.txt"}, Case{"res", "from_resource.txt"},
                        Case{"loose", "orva.opb"}}) {
    TVrFileManager files(TVrFileManager::Options{std::vector<std::string>{}, dir.path(), nullptr});
    MountGame(FindGame({}, dir / c.folder), files);
    EXPECT_TRUE(files.FileExistsVfs(c.entry)) << c.folder;
  }
}

TEST_F(GameFolders, ExplainsWhatItLookedForWhenThereIsNoGame) {
  auto none = FindGame({}, dir / "empty");
  EXPECT_FALSE(none.found);
  EXPECT_NE(none.problem.find("no game found in " + dir / "empty"), std::string::npos);
  EXPECT_NE(none.problem.find("game.dat"), std::string::npos);
  EXPECT_NE(none.problem.find("orvaplayer GAME_FOLDER"), std::string::npos);

  auto missing = FindGame({dir / "nowhere"}, "/");
  EXPECT_FALSE(missing.found);
  EXPECT_NE(missing.problem.find("does not exist"), std::string::npos);

  EXPECT_FALSE(FindGame({dir / "empty/plain.exe"}, "/").found);
}

TEST_F(GameFolders, LaterArgumentsAddContent) {
  auto g = FindGame({dir / "loose", dir / "dat", dir / "exe/Game.exe"}, "/");
  EXPECT_TRUE(g.found);
  EXPECT_EQ(g.gameFolder, dir / "loose");
  EXPECT_EQ(g.archives, (std::vector<std::string>{dir / "dat/GAME.DAT", dir / "exe/Game.exe"}));
}

TEST(SaveFolder, GoesWhereItCanBeWritten) {
  TempDir dir;
  platform::KnownFolders known;
  known.dataHome = "/data";
  EXPECT_EQ(SaveFolderFor(dir.path(), "t", "/explicit", known), "/explicit");
  EXPECT_EQ(SaveFolderFor(dir.path(), "t", "", known), dir.path());
  if (geteuid() != 0) {  // root writes anywhere
    mkdir((dir / "ro").c_str(), 0555);
    EXPECT_EQ(SaveFolderFor(dir / "ro", "My/Game", "", known), "/data/orvaplayer/My_Game");
  }
  EXPECT_EQ(SaveFolderFor("/nonexistent/x", "..", "", known), "/data/orvaplayer/untitled");
  EXPECT_EQ(SaveFolderFor("/nonexistent/x", "\x83\x51\x81\x5B\x83\x80", "", known), "/data/orvaplayer/ゲーム");
}

}  // namespace
}  // namespace orva
