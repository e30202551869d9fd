// Page files with every command record: what loads saves back in a form
// that loads and saves again to the same bytes (flag bytes other than 0 and
// 1 come back as 1), and its source assembles to those bytes too.
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
  out.SetPosition(0);
  orva::TPage reloaded("fuzz.osb");
  reloaded.LoadFromStream(out);  // must not throw
  orva::TMxMemoryStream out1;
  reloaded.SaveToStream(out1);
  if (out1.Bytes() != out.Bytes()) __builtin_trap();
  if (page.version > 102 && page.version <= 117) {
    auto again = orva::AssemblePage(orva::DisassemblePage(page), "fuzz.osb");
    orva::TMxMemoryStream out2;
    again->SaveToStream(out2);
    if (out2.Bytes() != out.Bytes()) __builtin_trap();
  }
  return 0;
}
