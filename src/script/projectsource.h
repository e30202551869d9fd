// The project source format: "orva.opb" as readable "key = value" lines
// (described in docs/page-source.md), assembled and disassembled so that
// the round trip gives the same bytes.
#pragma once

#include <string>
#include <string_view>

#include "script/projectfiles.h"

namespace orva {

// Reads project source (UTF-8). Errors name the line: "project:LINE: ...".
TProjectFile AssembleProject(std::string_view sourceUtf8);
std::string DisassembleProject(const TProjectFile& project);

}  // namespace orva
