// Helpers shared by the expression tests.
#pragma once

#include <functional>
#include <string>

#include "common/errors.h"
#include "common/streams.h"
#include "expr/parser.h"

namespace orvatest {

// The UTF-8 message of the OrvaError that f raises, or "(no error)".
inline std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const orva::OrvaError& e) {
    return e.what();
  }
  return "(no error)";
}

// Compiles text (CP932) into its stream form and loads that into parser,
// as page files deliver expressions.
inline void LoadCompiled(const std::string& text, orva::TOrvaParser& parser) { orva::LoadStatement(text, parser); }

}  // namespace orvatest
