// Games built with orvatool, played headless with a fixed frame delta and
// looked at through --dump-vars and --trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testsupport.h"

namespace {

using orvatest::RunCommand;

std::string Player(const std::string& args) {
  return std::string(ORVAPLAYER) + " --headless --fixed-delta 16 " + args;
}

// A copy of the demo game of its own: tests running side by side must not
// share a game folder, since a second player for the same folder ends at once.
std::string DemoCopy(const orvatest::TempDir& dir) {
  std::filesystem::copy(DEMO_GAME, dir / "demo", std::filesystem::copy_options::recursive);
  return dir / "demo";
}

// Builds a game from a project source and page sources in a temp folder.
std::string BuildGame(const orvatest::TempDir& dir, const std::vector<std::pair<std::string, std::string>>& pages,
                      const std::string& extraProject = "") {
  orvatest::WriteFile(dir / "src/project.txt",
                      "version = 117\ntitle = \"e2e\"\nsize = 320 240\nstart = start.osb\n" + extraProject);
  for (const auto& [name, text] : pages) orvatest::WriteFile(dir / ("src/" + name), text);
  std::string out;
  EXPECT_EQ(RunCommand(std::string(ORVATOOL) + " build " + (dir / "src") + " " + (dir / "game"), &out), 0) << out;
  return dir / "game";
}

TEST(PlayerEndToEnd, TheDemoPlaysToItsEnd) {
  orvatest::TempDir dir;
  std::string out;
  ASSERT_EQ(RunCommand(Player("--frames 300 --dump-vars " + (dir / "vars.json") + " --dump-tables " +
                              (dir / "tables.json") + " " + DemoCopy(dir)),
                       &out),
            0)
      << out;
  const std::string vars = orvatest::ReadFile(dir / "vars.json");
  EXPECT_NE(vars.find("{\"name\": \"total\", \"type\": \"int\", \"value\": 55}"), std::string::npos) << vars;
  EXPECT_NE(vars.find("{\"name\": \"square\", \"type\": \"int\", \"value\": 3025}"), std::string::npos) << vars;
  EXPECT_NE(vars.find("\"value\": \"こんにちは, Orva\""), std::string::npos) << vars;
  EXPECT_NE(vars.find("{\"name\": \"seconds\", \"type\": \"int\", \"value\": 3}"), std::string::npos) << vars;
  // The MIDI ports a headless run lists, on every machine.
  EXPECT_NE(vars.find("{\"name\": \"midiports\", \"type\": \"string\", \"value\": \"MIDIマッパー,FluidSynth\"}"),
            std::string::npos)
      << vars;
  EXPECT_NE(vars.find("{\"name\": \"chosenport\", \"type\": \"string\", \"value\": \"FluidSynth\"}"),
            std::string::npos)
      << vars;
  EXPECT_NE(vars.find("{\"name\": \"midiport\", \"type\": \"string\", \"value\": \"MIDIマッパー\"}"),
            std::string::npos)
      << vars;
  // The text and array functions' page.
  for (const char* want : {"\"value\": \"語テ\"", "\"value\": \"6,9\"", "\"value\": \"ガイド　Ｎｏ．１\"",
                           "\"value\": \"ABC ｶﾞｲﾄﾞ\"", "\"value\": \"表示.ogg\"", "\"value\": \"007/00FF\"",
                           "\"value\": \"水Wednesday\"", "\"value\": \"apple/Banana/pear/kiwi\""})
    EXPECT_NE(vars.find(want), std::string::npos) << want << "\n" << vars;
  // The tables page: a CP932 table file loaded, sorted, searched and copied.
  for (const char* want : {"{\"name\": \"tblLoaded\", \"type\": \"flag\", \"value\": true}",
                           "{\"name\": \"tblCount\", \"type\": \"int\", \"value\": 6}",
                           "\"value\": \"3,2,4,6,1,5\"", "\"value\": \"Short Sword\"",
                           "{\"name\": \"tblBackslash\", \"type\": \"int\", \"value\": 4}",
                           "\"value\": \"300\"", "\"value\": \"二行\\r\\nの札\"", "\"value\": \"C:\\\\save\"",
                           "{\"name\": \"tblCopies\", \"type\": \"int\", \"value\": 5}"})
    EXPECT_NE(vars.find(want), std::string::npos) << want << "\n" << vars;
  const std::string tables = orvatest::ReadFile(dir / "tables.json");
  for (const char* want :
       {"{\"active\": \"weapons\"", "{\"name\": \"settings\", \"kind\": \"status\", \"current\": 0",
        "[80]", "{\"name\": \"name\", \"type\": \"string\", \"size\": 16}",
        "[3, \"能力の書\", \"book\", 300, true]", "[1, \"ソード\", \"weapon\", 120.5, false]",
        "{\"name\": \"weapons\", \"kind\": \"game\", \"current\": 4"})
    EXPECT_NE(tables.find(want), std::string::npos) << want << "\n" << tables;
}

TEST(PlayerEndToEnd, ResetKeepsTheStatusTables) {
  orvatest::TempDir dir;
  const std::string game = BuildGame(dir, {{"start.ops",
                                            "Calc {DBCreateTable(\"keep\", TRUE)} runon\n"
                                            "Calc {DBCreateTable(\"gone\", FALSE)} runon\n"
                                            "Reset after.osb\n"},
                                           {"after.ops",
                                            "VarNew name=n type=int value={DBGetTableCount()} runon\n"
                                            "VarNew name=active type=string value={DBGetActive()} runon\n"
                                            "Terminate\n"}});
  std::string out;
  ASSERT_EQ(RunCommand(Player("--frames 20 --dump-vars " + (dir / "v.json") + " --dump-tables " + (dir / "t.json") +
                              " " + game),
                       &out),
            0)
      << out;
  const std::string vars = orvatest::ReadFile(dir / "v.json");
  EXPECT_NE(vars.find("{\"name\": \"n\", \"type\": \"int\", \"value\": 1}"), std::string::npos) << vars;
  EXPECT_NE(vars.find("{\"name\": \"active\", \"type\": \"string\", \"value\": \"\"}"), std::string::npos) << vars;
  const std::string tables = orvatest::ReadFile(dir / "t.json");
  EXPECT_NE(tables.find("\"keep\""), std::string::npos) << tables;
  EXPECT_EQ(tables.find("\"gone\""), std::string::npos) << tables;
}

TEST(PlayerEndToEnd, RunsAreDeterministic) {
  orvatest::TempDir dir;
  std::string out;
  const std::string demo = DemoCopy(dir);
  for (const char* n : {"1", "2"})
    ASSERT_EQ(RunCommand(Player(std::string("--frames 200 --trace ") + (dir / (std::string("t") + n)) +
                                " --dump-vars " + (dir / (std::string("v") + n)) + " " + demo),
                         &out),
              0)
        << out;
  EXPECT_EQ(orvatest::ReadFile(dir / "t1"), orvatest::ReadFile(dir / "t2"));
  EXPECT_EQ(orvatest::ReadFile(dir / "v1"), orvatest::ReadFile(dir / "v2"));
  EXPECT_NE(orvatest::ReadFile(dir / "t1").find("00000010 : start.osb(3)"), std::string::npos);
}

TEST(PlayerEndToEnd, WaitTimingAndTerminate) {
  orvatest::TempDir dir;
  const std::string game =
      BuildGame(dir, {{"start.ops",
                       "VarNew name=ticks type=int value={0} runon\n"
                       "Wait time={100} runon\n"
                       "Calc {ticks = @TickCount}\n"
                       "Terminate\n"}});
  std::string out;
  ASSERT_EQ(RunCommand(Player("--frames 1000 --dump-vars " + (dir / "v.json") + " " + game), &out), 0) << out;
  // Begins in tick 1 (16 ms), ends in the 7th execution after it: tick 8.
  EXPECT_NE(orvatest::ReadFile(dir / "v.json").find("\"value\": 128}"), std::string::npos)
      << orvatest::ReadFile(dir / "v.json");
}

TEST(PlayerEndToEnd, StartUpErrorsEndWithAStatus) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> pages;
    const char* message;
  };
  const Case cases[] = {
      {"no start page", {{"other.ops", "Calc {}\n"}}, "スタートページがありません"},
  };
  for (const auto& c : cases) {
    orvatest::TempDir dir;
    const std::string game = BuildGame(dir, c.pages);
    std::string out;
    EXPECT_EQ(RunCommand(Player("--frames 10 " + game), &out), 1) << c.what << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.what << out;
  }
  // An empty loose project file wins over the one in the archive.
  orvatest::TempDir empty;
  const std::string game = BuildGame(empty, {{"start.ops", "Calc {}\n"}});
  orvatest::WriteFile(game + "/orva.opb", "");
  std::string out;
  EXPECT_EQ(RunCommand(Player("--frames 10 " + game), &out), 1) << out;
  EXPECT_NE(out.find("プロジェクトがありません"), std::string::npos) << out;
}

TEST(PlayerEndToEnd, AScriptErrorStopsTheGameWithAFatalStatus) {
  orvatest::TempDir dir;
  const std::string game = BuildGame(dir, {{"start.ops", "VarNew name=\"\" type=int\n"}});
  std::string out;
  EXPECT_EQ(RunCommand(Player("--frames 10 " + game), &out), 1) << out;
  EXPECT_NE(out.find("変数名がありません"), std::string::npos) << out;
}

}  // namespace

TEST(PlayerEndToEnd, AudioOutRecordsTheTimePlayedAndTheMediaStartAndEndInOrder) {
  orvatest::TempDir dir;
  const std::string demo = DemoCopy(dir);
  std::string out;
  for (const char* n : {"1", "2"})
    ASSERT_EQ(RunCommand(Player(std::string("--frames 30 --audio-out ") + (dir / (std::string("a") + n + ".wav")) +
                                " --trace " + (dir / (std::string("t") + n)) + " " + demo),
                         &out),
              0)
        << out;
  const std::string wav = orvatest::ReadFile(dir / "a1.wav");
  // 30 ticks of 16 ms: 21168 frames of 44100 Hz 16-bit stereo.
  ASSERT_EQ(wav.size(), 44u + 21168 * 4);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav, orvatest::ReadFile(dir / "a2.wav"));
  const std::string trace = orvatest::ReadFile(dir / "t1");
  size_t at = 0;
  for (const char* step : {"MediaInit:7", "MediaInit:9", "MediaInit:10", "MediaInit:13", "MediaInit:16",
                           "ScreenMan.Free", "VideoMan.Free", "WmpMan.Free", "OggMan.Free", "CddaMan.Free",
                           "MidiMan.Free", "orvaFinal"}) {
    at = trace.find(std::string("[step] ") + step, at);
    ASSERT_NE(at, std::string::npos) << step << "\n" << trace;
  }
}
