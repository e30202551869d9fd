#include <gtest/gtest.h>

#include "common/cp932.h"
#include "common/errors.h"
#include "platform/message_box.h"
#include "scriptharness.h"
#include "script/projects.h"
#include "script/projectsource.h"
#include "script/vardump.h"
#include "storage/installsets.h"
#include "testsupport.h"

namespace orva {
namespace {

TProjectFile SampleProject(int version) {
  TProjectFile p;
  p.version = version;
  p.title = Sys("テスト");
  p.width = 800;
  p.height = 600;
  p.fullScreen1 = 1;
  p.fullScreen2 = 2;
  p.startPage = "start.osb";
  if (version >= 110) p.exitPage = "exit.osb";
  p.registryKey = "Key";
  p.imageOption = 7;
  if (version > 103) p.writeSaveFile = false;
  if (version >= 106) p.sleepBetweenFrames = true;
  if (version >= 109) p.mediaExtensions = ".ogg";
  if (version > 112) p.pauseWhenInactive = true;
  if (version >= 114) p.reserved = 1;
  if (version >= 116) p.showToolbar = false;
  p.diskPrompt = "disk %d";
  p.quitText = "bye";
  auto var = [](uint8_t type, const char* name) {
    TParamData v;
    v.type = type;
    v.name = name;
    return v;
  };
  TParamData i = var(1, "count");
  i.intValue = 42;
  TParamData f = var(2, "ratio");
  f.floatValue = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F};  // 1.5
  TParamData b = var(3, "flag");
  b.flagValue = 1;
  TParamData s = var(4, "name");
  s.strValue = "abc";
  p.variables = {i, f, b, s, var(9, "odd")};
  p.folderDisks = {{"movie", 2}, {"bgm\\sub", 3}};
  return p;
}

class ProjectVersions : public ::testing::TestWithParam<int> {};

TEST_P(ProjectVersions, RoundTripsByteForByte) {
  TMxMemoryStream out;
  SampleProject(GetParam()).Write(out);
  out.SetPosition(0);
  TProjectFile back;
  back.Read(out);
  EXPECT_EQ(out.Remaining(), 0);
  EXPECT_EQ(back.title, Sys("テスト"));
  EXPECT_EQ(back.variables.size(), 5u);
  EXPECT_EQ(back.folderDisks.size(), 2u);
  TMxMemoryStream again;
  back.Write(again);
  EXPECT_EQ(again.Bytes(), out.Bytes());

  // And through the project source.
  const std::string source = DisassembleProject(back);
  TMxMemoryStream fromSource;
  AssembleProject(source).Write(fromSource);
  EXPECT_EQ(fromSource.Bytes(), out.Bytes()) << source;
}

INSTANTIATE_TEST_SUITE_P(All, ProjectVersions, ::testing::Values(100, 104, 106, 109, 110, 113, 114, 116, 117));

TEST(ProjectSource, FloatsThatDecimalTextCannotHoldStayExact) {
  TProjectFile p = SampleProject(117);
  p.variables[1].floatValue = {1, 2, 3, 4, 5, 6, 7, 0x81, 0x01, 0x40};
  TMxMemoryStream a, b;
  p.Write(a);
  AssembleProject(DisassembleProject(p)).Write(b);
  EXPECT_EQ(a.Bytes(), b.Bytes());
  EXPECT_THROW(AssembleProject("size = 640\n"), OrvaError);
  EXPECT_THROW(AssembleProject("colour = 3\n"), OrvaError);
}

TEST(ProjectFile, NewerVersionsAndDamageAreRefused) {
  TMxMemoryStream newer;
  newer.WriteInt32(118);
  newer.SetPosition(0);
  TProjectFile p;
  try {
    p.Read(newer);
    FAIL();
  } catch (const OrvaError& e) {
    EXPECT_STREQ(e.what(), "このバージョンには対応していません");
  }
  TMxMemoryStream out;
  SampleProject(117).Write(out);
  const std::string bytes = out.AsString();
  for (size_t len = 0; len < bytes.size(); len += 3) {
    TMxMemoryStream cut(bytes.substr(0, len));
    TProjectFile q;
    EXPECT_THROW(q.Read(cut), OrvaError) << len;
  }
}

// A whole start-up from files in memory.
class ProjectStart : public ::testing::Test {
 protected:
  void SetUp() override {
    TOrvaInstallSet set;
    set.setName = Sys("テスト");
    set.contentComplete = true;
    TMxMemoryStream inst;
    set.Write(inst);
    h.files.MemoryCollection().AddMemoryEntry("install.dat").WriteBytes(inst.AsString());
    // The game's archive, mounted before the project is made.
    WriteArchiveFile(dir / "game.dat", {}, ArchiveWriteOptions{});
    h.files.MountArchive(dir / "game.dat");
  }
  void AddProject(const TProjectFile& p) {
    TMxMemoryStream m;
    p.Write(m);
    h.files.MemoryCollection().AddMemoryEntry("orva.opb").WriteBytes(m.AsString());
  }
  TProject Make() {
    h.files.SetMessageBox(&box);
    return TProject(TProject::Services{h.files, h.vars, h.funcs, h.events, h, &box, "/nonexistent", false, nullptr, nullptr});
  }
  orvatest::TempDir dir;
  orvatest::ScriptHarness h;
  platform::ScriptedMessageBox box;
};

TEST_F(ProjectStart, DeclaresVariablesAndStartsTheStartPage) {
  AddProject(SampleProject(117));
  h.AddPage("start.osb", "VarNew name=seen type=int value={count}\n");
  TProject p = Make();
  ASSERT_TRUE(p.Create());
  EXPECT_FALSE(h.terminating);
  EXPECT_EQ(h.Int("count"), 42);
  EXPECT_EQ(h.vars.FindVariable("ratio")->Value()->GetFloat(), 1.5L);
  EXPECT_EQ(h.Str("name"), "abc");
  EXPECT_EQ(h.vars.title, Sys("テスト"));
  p.CallMan().Run();
  EXPECT_EQ(h.Int("seen"), 42);
}

TEST_F(ProjectStart, MissingProjectOrStartPage) {
  {
    TProject p = Make();
    ASSERT_FALSE(p.Create());
    ASSERT_EQ(box.Log().size(), 1u);
    EXPECT_EQ(box.Log()[0].text, "プロジェクトがありません");
    EXPECT_EQ(box.Log()[0].caption, "警告");
    EXPECT_TRUE(h.fatal);
  }
  AddProject(SampleProject(117));
  TProject p = Make();
  ASSERT_FALSE(p.Create());
  ASSERT_FALSE(box.Log().empty());
  EXPECT_EQ(box.Log().back().text, "スタートページがありません");
  EXPECT_TRUE(h.terminating);
}

TEST_F(ProjectStart, StartPageThatMustBeRebuilt) {
  AddProject(SampleProject(117));
  TMxMemoryStream old;
  old.WriteInt32(101);
  h.files.MemoryCollection().AddMemoryEntry("start.osb").WriteBytes(old.AsString());
  TProject p = Make();
  ASSERT_FALSE(p.Create());
  ASSERT_FALSE(box.Log().empty());
  EXPECT_EQ(box.Log().back().text, "start.osb\r\nリビルドしてください");
}

TEST_F(ProjectStart, CanReachAsksForTheDiscOfAFolderButNotForMedia) {
  AddProject(SampleProject(117));
  h.AddPage("start.osb", "Calc {a = 1}\n");
  TProject p = Make();
  ASSERT_TRUE(p.Create());
  EXPECT_TRUE(p.CanReach("start.osb"));
  EXPECT_FALSE(p.CanReach("elsewhere\\x.osb"));  // no disc for this folder
  const size_t asked = box.Log().size();
  EXPECT_FALSE(p.CanReach("movie\\song.ogg"));  // optional media: no prompt
  EXPECT_EQ(box.Log().size(), asked);
  EXPECT_FALSE(p.CanReach("bgm\\sub\\deeper\\page.osb"));  // disc 3 of a parent folder: asked
  EXPECT_GT(box.Log().size(), asked);
  EXPECT_EQ(box.Log()[asked].text, "disk 3");
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

TEST(VariableDump, JsonOfScalarsArraysAndTexts) {
  orvatest::ScriptHarness h;
  h.Ints({"n"});
  h.vars.FindVariable("n")->Value()->SetInt(-3);
  h.Strs({"s"});
  h.vars.FindVariable("s")->Value()->SetStr(Sys("ソ\"\\"));
  auto& arr = h.vars.Declare("arr", PT_BOOL);
  arr.Value()->SetDims({2, 2});
  arr.Value()->SetFlagAt(3, true);
  h.vars.Declare("f", PT_FLOAT).Value()->SetFloat(2.5L);
  EXPECT_EQ(VariablesToJson(h.vars),
            "[\n"
            "  {\"name\": \"n\", \"type\": \"int\", \"value\": -3},\n"
            "  {\"name\": \"s\", \"type\": \"string\", \"value\": \"ソ\\\"\\\\\"},\n"
            "  {\"name\": \"arr\", \"type\": \"flag\", \"dims\": [2, 2], \"elements\": [false, false, false, true]},\n"
            "  {\"name\": \"f\", \"type\": \"float\", \"value\": 2.5}\n"
            "]\n");
}

}  // namespace
}  // namespace orva
