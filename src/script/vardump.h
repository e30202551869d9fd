// The variable table as JSON, for --dump-vars: one object per variable with
// its name (UTF-8), type, value, and for arrays its dims and elements.
// System variables are left out: they show the program's state, not the
// game's.
#pragma once

#include <string>

namespace orva {

class TParamCollection;

std::string VariablesToJson(const TParamCollection& vars);

}  // namespace orva
