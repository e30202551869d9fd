// orvatool table: shows what the player makes of a tab-separated table
// file, so that authors can check their files.
#include <cstdio>
#include <string>

#include "commands.h"
#include "common/cp932.h"
#include "common/json.h"
#include "common/streams.h"
#include "tables/dbs.h"
#include "tables/dbtsv.h"

namespace orvatool {

namespace {

const char kTableUsage[] =
    "usage: orvatool table show FILE.tsv\n"
    "  the fields (name, type, declared size) and records the player reads from\n"
    "  a CP932 tab-separated table file, with warnings for texts cut to their\n"
    "  field's size and header cells that were skipped\n";


}  // namespace

int RunTable(const Args& a) {
  if (a.size() == 1 && a[0] == "--help") {
    std::fputs(kTableUsage, stdout);
    return 0;
  }
  if (a.size() != 2 || a[0] != "show") {
    std::fputs(kTableUsage, stderr);
    return 2;
  }
  orva::TMxMemoryStream bytes;
  bytes.LoadFromFile(a[1]);
  const std::string text = bytes.AsString();
  orva::TDBTable table(orva::cp932::FromUtf8("table"), orva::TDBKind::Game);
  orva::TDBLoadReport report;
  if (text.empty() || !table.LoadFromLines(orva::SplitTextLines(text), &report)) {
    std::fprintf(stderr, "orvatool table: %s: %s\n", a[1].c_str(),
                 text.empty() ? "the file is empty" : "a header cell has no field name; the player reads nothing");
    return 1;
  }
  const orva::TDBFieldList& fields = table.FieldList();
  std::printf("fields: %d\n", fields.Count());
  for (const orva::TDBField& f : fields.Fields()) {
    std::printf("  %s %s", orva::cp932::ToUtf8(f.name).c_str(), orva::FieldTypeWord(f.type));
    if (f.type == orva::TDBFieldType::Str) std::printf(" %d", f.DeclaredSize());
    std::printf("\n");
  }
  std::printf("records: %d\n", table.RecordCount());
  for (int32_t r = 0; r < table.RecordCount(); ++r) {
    std::string line = "  " + std::to_string(r) + ":";
    for (int i = 0; i < fields.Count(); ++i) {
      std::string v;
      table.GetStrAt(r, i, v);
      line += " " + orva::cp932::ToUtf8(fields[i].name) + "=" +
              (fields[i].type == orva::TDBFieldType::Str ? orva::JsonString(v) : v);
    }
    std::printf("%s\n", line.c_str());
  }
  for (const std::string& w : report.warnings) std::printf("warning: %s\n", orva::cp932::ToUtf8(w).c_str());
  return 0;
}

}  // namespace orvatool
