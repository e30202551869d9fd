// Page files with every command record: what loads must save back to the
// same bytes, and its source must assemble to them too.
#include <cstddef>
#include <cstdint>

#include "common/errors.h"
#include "script/pages.h"
#include "script/pagesource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orva::TMxMemoryStream in(std::vector<uint8_t>(data, data + size));
  orva::TPage page("fuzz.osb");
  try {
    page.LoadFromStream(in);
  } catch (const orva::OrvaError&) {
    return 0;
  }
  orva::TMxMemoryStream out;
  page.SaveToStream(out);
  const auto consumed = static_cast<size_t>(in.GetPosition());
  if (out.Bytes() != std::vector<uint8_t>(data, data + consumed)) __builtin_trap();
  if (page.version > 102 && page.version <= 117) {
    auto again = orva::AssemblePage(orva::DisassemblePage(page), "fuzz.osb");
    orva::TMxMemoryStream out2;
    again->SaveToStream(out2);
    if (out2.Bytes() != out.Bytes()) __builtin_trap();
  }
  return 0;
}
