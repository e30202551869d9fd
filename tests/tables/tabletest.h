// Helpers shared by the table tests: tables built from TSV text written in
// UTF-8 in the test source, and compact views of their content.
#pragma once

#include <string>
#include <vector>

#include "common/cp932.h"
#include "tables/dbs.h"
#include "tables/dbtsv.h"

namespace orvatest {

// Lines of UTF-8 text as CP932 table lines ("\n" between lines).
inline std::vector<std::string> Lines(const std::string& utf8) {
  return orva::SplitTextLines(orva::cp932::FromUtf8(utf8));
}

// A table loaded from TSV text (UTF-8).
inline void Load(orva::TDBTable& t, const std::string& utf8) {
  if (!t.LoadFromLines(Lines(utf8))) throw std::runtime_error("fixture did not load");
}

// The records as "a,b,c;a,b,c" with every field read as text (UTF-8).
inline std::string Rows(const orva::TDBTable& t) {
  std::string out;
  for (int32_t r = 0; r < t.RecordCount(); ++r) {
    if (r) out += ";";
    for (int f = 0; f < t.FieldList().Count(); ++f) {
      std::string v;
      t.GetStrAt(r, f, v);
      out += (f ? "," : "") + orva::cp932::ToUtf8(v);
    }
  }
  return out;
}

// The fields as "name:type:declared size" joined by spaces.
inline std::string Fields(const orva::TDBTable& t) {
  std::string out;
  for (const auto& f : t.FieldList().Fields())
    out += (out.empty() ? "" : " ") + orva::cp932::ToUtf8(f.name) + ":" + std::to_string(static_cast<int>(f.type)) +
           ":" + std::to_string(f.DeclaredSize());
  return out;
}

}  // namespace orvatest
