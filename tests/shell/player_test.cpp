#include "shell/player.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/single_instance.h"
#include "testsupport.h"

namespace orva {
namespace {

// Runs the player in this process with the null backend; standard output
// and error are captured.
class PlayerTest : public ::testing::Test {
 protected:
  PlayerTest() {
    mkdir((dir / "game").c_str(), 0755);
    mkdir((dir / "run").c_str(), 0755);
    orvatest::WriteFile(dir / "game/orva.opb", std::string("project"));
  }

  int Run(std::vector<std::string> args) {
    TPlayerEnvironment env;
    env.currentFolder = dir.path();
    const std::string runtime = dir / "run";
    env.env = [runtime](const char* name) -> std::optional<std::string> {
      if (std::string(name) == "XDG_RUNTIME_DIR") return runtime;
      return std::nullopt;
    };
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    env.out = out;
    env.err = err;
    int rc = RunPlayer(args, env);
    stdout_ = Slurp(out);
    stderr_ = Slurp(err);
    return rc;
  }

  static std::string Slurp(FILE* f) {
    std::string s;
    std::rewind(f);
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
  }

  orvatest::TempDir dir;
  std::string stdout_, stderr_;
};

TEST_F(PlayerTest, ASecondCopyForTheSameGameEndsAtOnceAndSilently) {
  auto first = platform::SingleInstanceLock::Acquire(dir / "game", dir / "run");
  ASSERT_TRUE(first);
  const std::string trace = dir / "trace.txt";
  EXPECT_EQ(Run({"--headless", "--frames", "5", "--trace", trace, "game"}), 0);
  EXPECT_EQ(stdout_ + stderr_, "");
  EXPECT_FALSE(orvatest::RunCommand("test -e '" + trace + "'") == 0) << "the second copy started";
  first.reset();
  EXPECT_EQ(Run({"--headless", "--frames", "5", "--fixed-delta", "16", "--trace", trace, "game"}), 0);
  EXPECT_NE(orvatest::ReadFile(trace).find("[step] FormClose"), std::string::npos);
}

TEST_F(PlayerTest, TheSameFolderNamedTwoWaysIsOneGame) {
  auto first = platform::SingleInstanceLock::Acquire(dir / "game", dir / "run");
  EXPECT_EQ(Run({"--headless", "--frames", "1", "--trace", dir / "t.txt", dir / "run/../game/"}), 0);
  EXPECT_FALSE(orvatest::RunCommand("test -e '" + dir / "t.txt" + "'") == 0);
}

TEST_F(PlayerTest, SaysWhatItLookedForWhenThereIsNoGame) {
  EXPECT_EQ(Run({"--headless"}), 1);
  EXPECT_NE(stderr_.find("no game found in " + dir.path()), std::string::npos) << stderr_;
  EXPECT_NE(stderr_.find("orvaplayer GAME_FOLDER"), std::string::npos);
}

TEST_F(PlayerTest, CommandLineAnswers) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(stdout_.find("--fixed-delta MS"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(stdout_.rfind("orvaplayer ", 0), 0u);
  EXPECT_EQ(Run({"--frames"}), 2);
  EXPECT_NE(stderr_.find("--frames: needs a value"), std::string::npos);
  EXPECT_EQ(Run({"--headless", "--trace", dir / "no/such/folder/t.txt", "game"}), 1);
  EXPECT_NE(stderr_.find("cannot create the trace file"), std::string::npos);
}

TEST_F(PlayerTest, HeadlessRunsAreRepeatable) {
  std::string traces[2];
  for (auto& t : traces) {
    const std::string path = dir / "t.txt";
    ASSERT_EQ(Run({"--headless", "--frames", "30", "--fixed-delta", "16", "--trace", path, "--screenshot",
                   dir / "s.png", "game"}),
              0)
        << stderr_;
    t = orvatest::ReadFile(path);
  }
  EXPECT_EQ(traces[0], traces[1]);
  EXPECT_EQ(orvatest::ReadFile(dir / "s.png").substr(1, 3), "PNG");
}

}  // namespace
}  // namespace orva
