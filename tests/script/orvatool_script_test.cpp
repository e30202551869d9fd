// orvatool page, project and build, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport.h"

namespace {

using orvatest::RunCommand;

std::string Tool(const std::string& args) { return std::string(ORVATOOL) + " " + args; }

TEST(OrvatoolScript, BuildsTheDemoAndRoundTripsItsFiles) {
  orvatest::TempDir dir;
  std::string out;
  ASSERT_EQ(RunCommand(Tool("build " + std::string(DEMO_SOURCE) + " " + (dir / "game")), &out), 0) << out;
  for (const char* f : {"game/orva.opb", "game/start.osb", "game/pages/math.osb", "game/install.dat", "game/game.dat"})
    EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
  ASSERT_EQ(RunCommand(Tool("archive list " + (dir / "game/game.dat")), &out), 0);
  EXPECT_NE(out.find("pages\\math.osb\t"), std::string::npos) << out;
  EXPECT_NE(out.find("assets\\readme.txt\t"), std::string::npos) << out;

  // dasm then asm gives the same bytes, for pages and the project.
  ASSERT_EQ(RunCommand(Tool("page dasm " + (dir / "game/start.osb") + " " + (dir / "start.ops")), &out), 0) << out;
  ASSERT_EQ(RunCommand(Tool("page asm " + (dir / "start.ops") + " " + (dir / "start.osb")), &out), 0) << out;
  EXPECT_EQ(orvatest::ReadFile(dir / "start.osb"), orvatest::ReadFile(dir / "game/start.osb"));
  ASSERT_EQ(RunCommand(Tool("project dasm " + (dir / "game/orva.opb") + " " + (dir / "p.txt")), &out), 0) << out;
  ASSERT_EQ(RunCommand(Tool("project asm " + (dir / "p.txt") + " " + (dir / "p.opb")), &out), 0) << out;
  EXPECT_EQ(orvatest::ReadFile(dir / "p.opb"), orvatest::ReadFile(dir / "game/orva.opb"));
}

TEST(OrvatoolScript, SourceErrorsNameFileAndLine) {
  orvatest::TempDir dir;
  orvatest::WriteFile(dir / "src/project.txt", "version = 117\nstart = start.osb\n");
  orvatest::WriteFile(dir / "src/start.ops", "Calc {a = 1}\nNoSuchCommand\n");
  std::string out;
  EXPECT_EQ(RunCommand(Tool("build " + (dir / "src") + " " + (dir / "out")), &out), 1);
  EXPECT_NE(out.find("start.osb:2: unknown command \"NoSuchCommand\""), std::string::npos) << out;
}

}  // namespace
