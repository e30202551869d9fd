#include "tables/dbdump.h"

#include <cmath>

#include "common/json.h"
#include "tables/dbs.h"

namespace orva {

namespace {


std::string Value(const TDBTable& t, int32_t rec, int field) {
  switch (t.FieldList()[field].type) {
    case TDBFieldType::Int: {
      int32_t v = 0;
      t.GetIntAt(rec, field, v);
      return std::to_string(v);
    }
    case TDBFieldType::Float: {
      Float x = 0;
      t.GetFloatAt(rec, field, x);
      return std::isfinite(x) ? FloatToText(x) : JsonString(FloatToText(x));
    }
    case TDBFieldType::Bool: {
      bool b = false;
      t.GetBoolAt(rec, field, b);
      return b ? "true" : "false";
    }
    case TDBFieldType::Str: return JsonString(std::string(t.TextAt(rec, field)));
  }
  return "null";
}

}  // namespace

std::string TablesToJson(const TDBManager& db) {
  const TDBTable* active = db.ActiveTable();
  std::string out = "{\"active\": " + (active ? JsonString(active->Name()) : std::string("null")) + ",\n \"tables\": [";
  for (int i = 0; i < db.Count(); ++i) {
    const TDBTable& t = db.At(i);
    const TDBFieldList& fields = t.FieldList();
    out += i ? ",\n" : "\n";
    out += "  {\"name\": " + JsonString(t.Name()) + ", \"kind\": \"" +
           (t.Kind() == TDBKind::Status ? "status" : "game") + "\", \"current\": " + std::to_string(t.RecNo()) +
           ",\n   \"fields\": [";
    for (int f = 0; f < fields.Count(); ++f)
      out += std::string(f ? ", " : "") + "{\"name\": " + JsonString(fields[f].name) + ", \"type\": \"" +
             FieldTypeWord(fields[f].type) + "\", \"size\": " + std::to_string(fields[f].DeclaredSize()) + "}";
    out += "],\n   \"records\": [";
    for (int32_t r = 0; r < t.RecordCount(); ++r) {
      out += r ? ",\n     [" : "\n     [";
      for (int f = 0; f < fields.Count(); ++f) out += (f ? ", " : "") + Value(t, r, f);
      out += "]";
    }
    out += "]}";
  }
  return out + "\n ]}\n";
}

}  // namespace orva
