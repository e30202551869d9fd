// Where a game's content is: the game folder, the archives to mount and the
// folder of loose files; and where its saves go.
#pragma once

#include <string>
#include <vector>

#include "platform/host.h"

namespace orva {

class TVrFileManager;

struct TGameLocation {
  std::string gameFolder;             // absolute, without a trailing "/"; also the loose-file root
  std::vector<std::string> archives;  // host paths to mount, in order
  bool found = false;                 // an archive, or a loose project file
  std::string problem;                // when not found: what was looked for, and how to start a game
};

// Finds the content from the command line's game arguments. No argument:
// the current folder. A folder argument gives its "game.dat"; a file
// argument is mounted when it carries an archive (a program file with the
// overlay trailer or the archive resource, or a plain archive), and its
// folder becomes the game folder. Without an archive, a loose "orva.opb" in
// the game folder makes a game of loose files.
TGameLocation FindGame(const std::vector<std::string>& games, const std::string& currentFolder);

// True when the file carries a content archive (see FindGame).
bool HoldsContentArchive(const std::string& hostPath);

// Sets the root folder and mounts the archives. A damaged archive raises
// OrvaError.
void MountGame(const TGameLocation& game, TVrFileManager& files);

// The folder for "save.dat": the --save-dir folder when given, else the game
// folder when it is writable, else <data home>/orvaplayer/<title>/ with the
// title made safe as a file name (CP932 title, converted).
std::string SaveFolderFor(const std::string& gameFolder, const std::string& titleCp932, const std::string& saveDir,
                          const platform::KnownFolders& folders);

}  // namespace orva
