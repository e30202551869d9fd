// Sub-commands of orvatool. Each takes the arguments after its own name and
// returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace orvatool {

using Args = std::vector<std::string>;

int RunArchive(const Args& args);
int RunPage(const Args& args);
int RunProject(const Args& args);
int RunBuild(const Args& args);
int RunExpr(const Args& args);
int RunImage(const Args& args);
int RunWipe(const Args& args);
int RunTable(const Args& args);
int RunMedia(const Args& args);
int RunMidi(const Args& args);

}  // namespace orvatool
