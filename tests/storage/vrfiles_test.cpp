#include "storage/vrfiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/errors.h"
#include "platform/message_box.h"
#include "storage/installsets.h"
#include "storage/peresources.h"
#include "testsupport.h"

namespace orva {
namespace {

using orvatest::ReadAll;

namespace fs = std::filesystem;
using platform::MessageResult;

ArchiveSource Src(const std::string& name, const std::string& text) {
  ArchiveSource s;
  s.name = name;
  s.data = orvatest::Bytes(text);
  return s;
}

std::string Load(TVrFileManager& m, const std::string& name) {
  TMxMemoryStream s("stale bytes");
  m.LoadEntry(s, name);
  EXPECT_EQ(s.GetPosition(), 0);
  return s.AsString();
}

std::string InstallSetBytes(const std::string& setName, int disk, bool complete) {
  TOrvaInstallSet set;
  set.setName = setName;
  set.diskNumber = disk;
  set.contentComplete = complete;
  TMxMemoryStream m;
  set.Write(m);
  return m.AsString();
}

class FileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveWriteOptions scrambled;
    scrambled.scramble = true;
    WriteArchiveFile(dir / "first.dat",
                     {Src("page.osb", "from first"), Src("Both.txt", "first copy"),
                      Src("media\\song.ogg", std::string(5000, 's'))},
                     scrambled);
    WriteArchiveFile(dir / "second.dat", {Src("both.TXT", "second copy"), Src("only2.txt", "two"),
                                          Src("media\\voice.wav", "v")}, ArchiveWriteOptions{});
    fs::create_directories(dir / "root");
  }
  TVrFileManager::Options Opts() {
    TVrFileManager::Options o;
    o.cdRoots = std::vector<std::string>{};
    o.tempParent = dir.path();
    o.messageBox = &box;
    return o;
  }
  orvatest::TempDir dir;
  platform::ScriptedMessageBox box;
};

TEST_F(FileManagerTest, SearchesCollectionsInOrderCaseInsensitively) {
  TVrFileManager m(Opts());
  EXPECT_EQ(m.MountArchive(dir / "first.dat"), 1);
  EXPECT_EQ(m.MountArchive(dir / "second.dat"), 2);
  EXPECT_EQ(Load(m, "PAGE.OSB"), "from first");
  EXPECT_EQ(Load(m, "both.txt"), "first copy");
  EXPECT_EQ(Load(m, "only2.txt"), "two");
  EXPECT_TRUE(m.FileExistsVfs("Media\\Song.ogg"));
  EXPECT_FALSE(m.FileExistsVfs(""));
  EXPECT_FALSE(m.FileExistsVfs("nothing.txt"));
  try {
    Load(m, "nothing.txt");
    FAIL();
  } catch (const OrvaError& e) {
    EXPECT_STREQ(e.what(), "nothing.txt:ファイルがありません");
  }
}

TEST_F(FileManagerTest, LooseFilesWinOverArchives) {
  orvatest::WriteFile(dir / "root/BOTH.txt", "loose copy");
  TVrFileManager m(Opts());
  m.MountArchive(dir / "first.dat");
  m.SetRootFolder(dir / "root");
  EXPECT_EQ(Load(m, "both.txt"), "loose copy");
  auto r = m.OpenRangeStream("Both.txt");
  EXPECT_EQ(ReadAll(*r), "loose copy");
  EXPECT_EQ(m.ResolveToPath("both.txt"), dir / "root/BOTH.txt");
  EXPECT_TRUE(m.FileExistsVfs("both.txt"));
  EXPECT_TRUE(m.WorkFiles().empty());
}

TEST_F(FileManagerTest, RangeStreamsOfEveryStorageKind) {
  TVrFileManager m(Opts());
  m.MountArchive(dir / "first.dat");
  m.MountArchive(dir / "second.dat");
  // compressed+scrambled, scrambled stored, stored.
  for (auto [name, want] : {std::pair<std::string, std::string>{"page.osb", "from first"},
                            {"media\\song.ogg", std::string(5000, 's')},
                            {"media\\voice.wav", "v"}}) {
    auto r = m.OpenRangeStream(name);
    EXPECT_EQ(ReadAll(*r), want) << name;
  }
  EXPECT_THROW(m.OpenRangeStream("none"), OrvaError);
}

TEST_F(FileManagerTest, ExtractsOnceAndCountsReferences) {
  std::string workFile;
  {
    TVrFileManager m(Opts());
    m.MountArchive(dir / "first.dat");
    std::string p1 = m.ResolveToPath("media\\song.ogg");
    std::string p2 = m.ResolveToPath("MEDIA\\SONG.OGG");
    EXPECT_EQ(p1, p2);
    EXPECT_EQ(fs::path(p1).filename().string(), "~ov00000001.ogg");
    EXPECT_EQ(orvatest::ReadFile(p1), std::string(5000, 's'));
    ASSERT_EQ(m.WorkFiles().size(), 1u);
    EXPECT_EQ(m.WorkFiles().begin()->second.refCount, 2);
    m.ReleasePath("media\\song.ogg");
    EXPECT_TRUE(fs::exists(p1));
    m.ReleasePath("media\\song.ogg", 100);
    m.Upkeep(60);
    EXPECT_TRUE(fs::exists(p1));
    m.Upkeep(60);
    EXPECT_FALSE(fs::exists(p1));
    workFile = m.ResolveToPath("page.osb");
    EXPECT_EQ(fs::path(workFile).filename().string(), "~ov00000002.osb");
    EXPECT_EQ(m.ResolveToPath("no\\such.txt"), "no\\such.txt");  // not found: the name itself
  }
  // Everything the manager made is gone with it.
  EXPECT_FALSE(fs::exists(workFile));
  EXPECT_FALSE(fs::exists(fs::path(workFile).parent_path()));
}

TEST_F(FileManagerTest, MemoryCollectionEntries) {
  TVrFileManager m(Opts());
  m.MountArchive(dir / "first.dat");
  m.MemoryCollection().AddMemoryEntry("save:1").WriteBytes("saved");
  m.MemoryCollection().AddMemoryEntry("page.osb").WriteBytes("made at run time");
  EXPECT_EQ(Load(m, "SAVE:1"), "saved");
  EXPECT_EQ(Load(m, "page.osb"), "made at run time");  // collection 0 comes first
  EXPECT_EQ(ReadAll(*m.OpenRangeStream("save:1")), "saved");
  EXPECT_TRUE(m.MemoryCollection().DeleteEntry("page.osb"));
  EXPECT_EQ(Load(m, "page.osb"), "from first");
  // The memory collection writes as an archive and reads back.
  TMxMemoryStream out;
  m.MemoryCollection().WriteArchive(out, ArchiveWriteOptions{});
  out.SaveToFile(dir / "save.dat");
  auto c = TVrFileCollection::Open(dir / "save.dat");
  TMxMemoryStream e;
  ASSERT_TRUE(c->ReadEntry(*c->Find("save:1"), e));
  EXPECT_EQ(e.AsString(), "saved");
}

TEST_F(FileManagerTest, MountingTwiceAndMountingNothing) {
  TVrFileManager m(Opts());
  EXPECT_EQ(m.MountArchive(dir / "first.dat"), 1);
  EXPECT_EQ(m.MountArchive(dir / "first.dat"), -1);
  int folder = m.MountArchive(dir / "not-a-file");
  EXPECT_EQ(folder, 2);
  EXPECT_EQ(m.Collection(folder).Files().Count(), 0);
  EXPECT_EQ(m.MountArchive(dir / "not-a-file"), -1);  // same base folder
  std::vector<TVrFileCollection*> removed;
  m.onRemoved = [&](TVrFileCollection* c) { removed.push_back(c); };
  m.Unmount(1);
  EXPECT_EQ(removed.size(), 1u);
  EXPECT_FALSE(m.FileExistsVfs("page.osb"));
}

TEST_F(FileManagerTest, ListFolderMergesCollectionsAndLooseFiles) {
  orvatest::WriteFile(dir / "root/Media/extra.mp3", "x");
  orvatest::WriteFile(dir / "root/Media/SONG.OGG", "dup");
  fs::create_directories(dir / "root/Media/subfolder");
  TVrFileManager m(Opts());
  m.MountArchive(dir / "first.dat");
  m.MountArchive(dir / "second.dat");
  m.SetRootFolder(dir / "root");
  std::vector<std::string> list;
  m.ListFolder("media", list);
  EXPECT_EQ(list, (std::vector<std::string>{"media\\song.ogg", "media\\voice.wav", "media\\extra.mp3"}));
  std::vector<std::string> top;
  m.ListFolder("", top);
  EXPECT_EQ(top, (std::vector<std::string>{"page.osb", "Both.txt", "only2.txt"}));
}

TEST_F(FileManagerTest, DiscRootsAreSearchedLast) {
  fs::create_directories(dir / "cd");
  orvatest::WriteFile(dir / "cd/Movie/intro.mpg", "from disc");
  auto o = Opts();
  o.cdRoots = std::vector<std::string>{dir / "cd/"};
  TVrFileManager m(o);
  EXPECT_TRUE(m.FileExistsVfs("movie\\INTRO.MPG"));
  EXPECT_EQ(Load(m, "movie\\intro.mpg"), "from disc");
  EXPECT_EQ(m.ResolveToPath("movie\\intro.mpg"), dir / "cd/Movie/intro.mpg");
}

TEST_F(FileManagerTest, ResourceArchiveInAProgramFile) {
  TMxMemoryStream archive;
  WriteArchive(archive, archive, {Src("res.txt", "from the resource")}, ArchiveWriteOptions{});
  orvatest::WriteFile(dir / "Game.EXE", BuildPeWithResource("DUMMY", "BINTYPE", archive.Bytes()));
  TVrFileManager m(Opts());
  ASSERT_EQ(m.MountArchive(dir / "Game.EXE"), 1);
  EXPECT_EQ(m.Collection(1).SourceKind(), TVrFileCollection::Source::Resource);
  EXPECT_EQ(Load(m, "res.txt"), "from the resource");
  EXPECT_EQ(ReadAll(*m.OpenRangeStream("RES.TXT")), "from the resource");
  // A program file with neither an overlay nor the resource is refused.
  orvatest::WriteFile(dir / "plain.exe", BuildPeWithResource("OTHER", "BINTYPE", {1}));
  EXPECT_THROW(m.MountArchive(dir / "plain.exe"), OrvaError);
  EXPECT_EQ(m.MountResource(dir / "Game.EXE", "dummy", "bintype"), 2);
  EXPECT_THROW(m.MountResource(dir / "plain.exe", "DUMMY", "BINTYPE"), OrvaError);
}

TEST_F(FileManagerTest, AskForDiskMountsTheMatchingDisc) {
  fs::create_directories(dir / "cd");
  WriteArchiveFile(dir / "cd/game.dat", {Src("disc2.txt", "on disc two")}, ArchiveWriteOptions{});
  orvatest::WriteFile(dir / "cd/install.dat", InstallSetBytes("My Game", 2, true));
  auto o = Opts();
  o.cdRoots = std::vector<std::string>{dir / "cd/"};
  TVrFileManager m(o);
  m.SetDiskPrompt({"My Game", "", ""});
  // Asking for disc 3 finds disc 2: cancel, then confirm quitting.
  bool terminated = false;
  m.SetTerminateHandler([&] { terminated = true; });
  box.Script({MessageResult::Ok, MessageResult::Cancel, MessageResult::Ok});
  EXPECT_FALSE(m.AskForDisk(3));
  EXPECT_TRUE(terminated);
  ASSERT_EQ(box.Log().size(), 3u);
  EXPECT_EQ(box.Log()[0].text, "ディスク3を入れてから[OK]をクリックしてください");
  EXPECT_EQ(box.Log()[2].text, "終了します");
  EXPECT_EQ(box.Log()[0].caption, "My Game");
  box.Script({MessageResult::Ok});
  EXPECT_TRUE(m.AskForDisk(2));
  EXPECT_EQ(Load(m, "disc2.txt"), "on disc two");
}

TEST_F(FileManagerTest, AskForDiskNeverLoopsWithoutSomeoneToAnswer) {
  TVrFileManager m(Opts());  // no discs at all; the box answers by default
  EXPECT_FALSE(m.AskForDisk(1));
}

TEST_F(FileManagerTest, LocateInstallationMountsTheLocalGame) {
  orvatest::WriteFile(dir / "game/install.dat", InstallSetBytes("Set", 1, true));
  WriteArchiveFile(dir / "game/game.dat", {Src("start.osb", "s")}, ArchiveWriteOptions{});
  TVrFileManager m(Opts());
  EXPECT_TRUE(m.LocateInstallation(dir / "game"));
  EXPECT_EQ(m.RootFolder(), dir / "game/");
  EXPECT_EQ(Load(m, "start.osb"), "s");
}

TEST_F(FileManagerTest, LocateInstallationLooksForTheDiscWhenContentIsIncomplete) {
  orvatest::WriteFile(dir / "game/install.dat", InstallSetBytes("Set", 1, false));
  fs::create_directories(dir / "cd");
  WriteArchiveFile(dir / "cd/game.dat", {Src("big.mpg", "m")}, ArchiveWriteOptions{});
  orvatest::WriteFile(dir / "cd/install.dat", InstallSetBytes("Set", 1, true));
  auto o = Opts();
  o.cdRoots = std::vector<std::string>{dir / "cd/"};
  TVrFileManager m(o);
  EXPECT_TRUE(m.LocateInstallation(dir / "game"));
  EXPECT_EQ(Load(m, "big.mpg"), "m");
}

TEST_F(FileManagerTest, LocateInstallationFailures) {
  TVrFileManager m(Opts());
  EXPECT_FALSE(m.LocateInstallation(dir / "nowhere"));
  ASSERT_EQ(box.Log().size(), 1u);
  EXPECT_EQ(box.Log()[0].text, "インストールし直してください");
  EXPECT_EQ(box.Log()[0].caption, "情報");

  orvatest::WriteFile(dir / "game/install.dat", InstallSetBytes("Set", 1, false));
  TVrFileManager m2(Opts());
  box.Script({MessageResult::Cancel, MessageResult::Ok});
  EXPECT_FALSE(m2.LocateInstallation(dir / "game"));
  EXPECT_EQ(box.Log()[1].text, "ディスクを入れてください");
}

}  // namespace
}  // namespace orva
