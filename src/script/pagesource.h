// The page source format: a readable text form of compiled pages that the
// page assembler turns into a page and the disassembler writes back, so that
// assembling a disassembled page gives the same bytes. The format is
// described in docs/page-source.md.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "script/pages.h"

namespace orva {

struct PageAsmOptions {
  // Index of a label in another page (for Jump, Call and resets naming
  // another page); nothing when unknown.
  std::function<std::optional<int32_t>(const std::string& page, const std::string& label)> resolveLabel;
};

// Assembles UTF-8 source text into a page named `name` (CP932). Errors name
// the source line: "NAME:LINE: message".
std::unique_ptr<TPage> AssemblePage(std::string_view sourceUtf8, const std::string& name,
                                    const PageAsmOptions& options = {});

// The labels a source defines (CP932 name -> command index), for resolving
// references between pages before they are assembled.
std::map<std::string, int32_t> ScanPageLabels(std::string_view sourceUtf8);

// Writes a page as source text (UTF-8).
std::string DisassemblePage(const TPage& page);

// Compiles an expression written in UTF-8 ("" gives an empty expression).
std::unique_ptr<TOrvaParser> CompileExpression(std::string_view textUtf8);

}  // namespace orva
