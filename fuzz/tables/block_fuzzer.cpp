// Table blocks of game saves (first byte even) and the status save (odd):
// a damaged block is refused with an OrvaError and changes nothing; a block
// that is accepted is written back and reads back to the same bytes.
#include <cstdlib>

#include "common/errors.h"
#include "common/streams.h"
#include "tables/dbdump.h"
#include "tables/dbs.h"

using namespace orva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const TDBKind kind = data[0] & 1 ? TDBKind::Status : TDBKind::Game;
  TDBManager db;
  db.CreateTable("kept", kind == TDBKind::Game ? TDBKind::Status : TDBKind::Game);
  const std::string before = TablesToJson(db);
  TMxMemoryStream in(std::vector<uint8_t>(data + 1, data + size));
  try {
    db.LoadTableBlock(in, kind);
  } catch (const OrvaError&) {
    if (TablesToJson(db) != before) std::abort();
    return 0;
  }
  // Everything a script can do to what was read must be safe too.
  for (int i = 0; i < db.Count(); ++i) {
    TDBTable& t = db.At(i);
    std::vector<TDBSortKey> keys;
    for (const TDBField& f : t.FieldList().Fields()) keys.push_back({f.name, true});
    t.Sort(keys);
  }
  TMxMemoryStream once;
  db.SaveTableBlock(once, kind);
  TDBManager again;
  once.SetPosition(0);
  again.LoadTableBlock(once, kind);
  TMxMemoryStream twice;
  again.SaveTableBlock(twice, kind);
  if (once.Bytes() != twice.Bytes()) std::abort();
  return 0;
}
