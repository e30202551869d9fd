// Table files: the bytes are split into lines and loaded; then every field
// is sorted on, searched partially and case-insensitively with a piece of
// the input, read as every type, and written as lines that must read back
// to the same table.
#include <cstdlib>

#include "common/errors.h"
#include "tables/dbs.h"
#include "tables/dbtsv.h"

using namespace orva;

namespace {

std::string Content(const TDBTable& t) {
  std::string out;
  for (const TDBField& f : t.FieldList().Fields()) out += f.name + ":" + std::to_string(f.size) + "\t";
  std::string v;
  for (int32_t r = 0; r < t.RecordCount(); ++r)
    for (int i = 0; i < t.FieldList().Count(); ++i) {
      t.GetStrAt(r, i, v);
      out += v + "\t";
    }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TDBTable t("t", TDBKind::Game);
  TDBLoadReport report;
  if (!t.LoadFromLines(SplitTextLines(text), &report)) return 0;

  const std::string piece(text.substr(size / 3, 3));
  for (const TDBField& f : t.FieldList().Fields()) {
    t.Sort({{f.name, (size & 1) != 0}});
    t.Locate({{f.name, piece}}, true, true);
  }
  int32_t i;
  Float x;
  bool b;
  std::string s;
  for (int32_t r = 0; r < t.RecordCount(); ++r)
    for (int k = 0; k < t.FieldList().Count(); ++k) {
      t.GetIntAt(r, k, i);
      t.GetFloatAt(r, k, x);
      t.GetBoolAt(r, k, b);
      t.GetStrAt(r, k, s);
    }

  std::vector<std::string> lines;
  try {
    lines = SaveToLines(t);
  } catch (const OrvaError&) {
    return 0;  // a table the format cannot carry, reported
  }
  TDBTable back("back", TDBKind::Game);
  if (!back.LoadFromLines(SplitTextLines(JoinLines(lines))) || Content(back) != Content(t)) std::abort();
  return 0;
}
