// orvatool: the content tool. One binary with sub-commands that read and
// write the system's formats with the project's own readers and writers.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const orvatool::Args&);
  const char* summary;
};

const Command kCommands[] = {
    {"archive", orvatool::RunArchive, "list|extract|create|verify content archives"},
    {"page", orvatool::RunPage, "asm|dasm script pages"},
    {"project", orvatool::RunProject, "asm|dasm project files"},
    {"build", orvatool::RunBuild, "turn a source folder into a game folder"},
    {"expr", orvatool::RunExpr, "compile|dump|run expressions"},
    {"image", orvatool::RunImage, "info|decode|encode pictures and layered pictures"},
    {"wipe", orvatool::RunWipe, "render frames of a screen transition"},
    {"table", orvatool::RunTable, "show what the player reads from a table file"},
    {"media", orvatool::RunMedia, "info|decode sounds and videos"},
    {"midi", orvatool::RunMidi, "info|dump|render|make MIDI files"},
};

void Usage(FILE* out) {
  std::fprintf(out, "usage: orvatool COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fprintf(out, "\nRun \"orvatool COMMAND --help\" for the arguments of a command.\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  orvatool::Args args(argv + 2, argv + argc);
  for (const auto& c : kCommands) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    try {
      return c.run(args);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "orvatool %s: %s\n", c.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "orvatool: unknown command \"%s\"\n\n", argv[1]);
  Usage(stderr);
  return 2;
}
