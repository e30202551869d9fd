#include "tables/dbfuncs.h"

#include <functional>

#include "common/errors.h"
#include "common/streams.h"
#include "expr/sysfuncs.h"
#include "expr/sysfuncs_args.h"
#include "storage/vrfiles.h"
#include "tables/dbs.h"
#include "tables/dbtsv.h"

namespace orva {

namespace {

using sysfuncs::FlagArg;
using sysfuncs::FloatArg;
using sysfuncs::IntArg;
using sysfuncs::StrArg;

// A key-list argument: one value or an array of them. A reference to one
// element of an array (a[2]) is that one value.
class ListArg {
 public:
  explicit ListArg(const TCustomParam& p) : p_(p) {
    if (p.Kind() == ParamKind::Ref) {
      const TCustomParam* target = static_cast<const TParamVar&>(p).TargetValue();
      scalar_ = target && target->Kind() == ParamKind::Ref;
    }
  }
  int Count() const { return scalar_ ? 1 : p_.GetCount(); }
  int Type() const { return p_.GetParamType(); }
  std::string Str(int i) const { return scalar_ ? p_.GetStr() : p_.GetStrAt(i); }
  int32_t Int(int i) const { return scalar_ ? p_.GetInt() : p_.GetIntAt(i); }
  Float Flt(int i) const { return scalar_ ? p_.GetFloat() : p_.GetFloatAt(i); }
  bool Flag(int i) const { return scalar_ ? p_.GetFlag() : p_.GetFlagAt(i); }

 private:
  const TCustomParam& p_;
  bool scalar_ = false;
};

// Key fields and key values, paired up to the shorter of the two; the
// values keep their own type.
std::vector<TDBKey> Keys(const TCustomParam& fieldArg, const TCustomParam& valueArg) {
  const ListArg fields(fieldArg), values(valueArg);
  const int n = std::min(fields.Count(), values.Count());
  std::vector<TDBKey> keys;
  keys.reserve(static_cast<size_t>(std::max(n, 0)));
  for (int i = 0; i < n; ++i) {
    TDBKey k{fields.Str(i), {}};
    switch (values.Type()) {
      case PT_INT: k.value = values.Int(i); break;
      case PT_FLOAT: k.value = values.Flt(i); break;
      case PT_BOOL: k.value = values.Flag(i); break;
      default: k.value = values.Str(i); break;
    }
    keys.push_back(std::move(k));
  }
  return keys;
}

// Locate arguments from position `first`: key fields, key values,
// case-insensitive, partial. Every record when the fields or values are
// absent.
std::vector<int32_t> LocateArgs(const TSysFuncCall& c, size_t first, const TDBTable& t) {
  if (!c.Has(first) || !c.Has(first + 1)) return t.Locate({}, false, false);
  return t.Locate(Keys(*c.args[first], *c.args[first + 1]), FlagArg(c, first + 2), FlagArg(c, first + 3));
}

TDBManager::Direct DirectArgs(const TSysFuncCall& c) {
  TDBManager::Direct d;
  d.table = StrArg(c, 0);
  d.keys = Keys(*c.args.at(1), *c.args.at(2));
  d.caseInsensitive = FlagArg(c, 3);
  d.partial = FlagArg(c, 4);
  d.field = StrArg(c, 5);
  return d;
}

class Registrar {
 public:
  Registrar(TSysFuncMan& man, TDBManager& db) : man_(man), db_(db) {}

  // Table functions never raise: a conversion error of an argument leaves
  // the result at its failure value.
  void Add(const char* name, std::function<void(TSysFuncCall&)> body) {
    man_.Register(name, [body = std::move(body)](TSysFuncCall& c) {
      try {
        body(c);
      } catch (const OrvaError&) {
      }
    });
  }
  // A function that needs an active table (and, with `current`, a current
  // record in it); R := false otherwise.
  void AddOnActive(const char* name, bool current, std::function<bool(TSysFuncCall&, TDBTable&)> body) {
    TDBManager& db = db_;
    Add(name, [&db, current, body = std::move(body)](TSysFuncCall& c) {
      c.result.SetFlag(false);
      TDBTable* t = db.ActiveTable();
      if (!t || (current && t->RecNo() < 0)) return;
      c.result.SetFlag(body(c, *t));
    });
  }

 private:
  TSysFuncMan& man_;
  TDBManager& db_;
};

}  // namespace

void RegisterTableFunctions(TSysFuncMan& man, TDBManager& db, TVrFileManager& files) {
  Registrar r(man, db);

  r.Add("DBCreateTable", [&db](TSysFuncCall& c) {
    c.result.SetFlag(db.CreateTable(StrArg(c, 0), FlagArg(c, 1) ? TDBKind::Status : TDBKind::Game) >= 0);
  });
  r.Add("DBSetActive", [&db](TSysFuncCall& c) { c.result.SetFlag(db.SetActiveTable(StrArg(c, 0))); });
  r.AddOnActive("DBAddField", false, [](TSysFuncCall& c, TDBTable& t) {
    return t.AddField(StrArg(c, 0), IntArg(c, 1), IntArg(c, 2)) >= 0;
  });
  r.AddOnActive("DBSetRecNo", false, [](TSysFuncCall& c, TDBTable& t) { return t.SetRecNo(IntArg(c, 0)); });
  r.AddOnActive("DBInsert", false, [](TSysFuncCall& c, TDBTable& t) {
    t.InsertRecord();
    const int32_t rec = t.RecNo();
    const int n = std::min(static_cast<int>(c.args.size()), t.FieldList().Count());
    // Each value goes in through the setter of its own type.
    for (int i = 0; i < n; ++i) {
      const TCustomParam& a = *c.args[static_cast<size_t>(i)];
      switch (a.GetParamType()) {
        case PT_INT: t.SetIntAt(rec, i, a.GetInt()); break;
        case PT_FLOAT: t.SetFloatAt(rec, i, a.GetFloat()); break;
        case PT_BOOL: t.SetBoolAt(rec, i, a.GetFlag()); break;
        case PT_STR: t.SetStrAt(rec, i, a.GetStr()); break;
        default: break;
      }
    }
    return true;
  });
  r.AddOnActive("DBDelete", true, [](TSysFuncCall&, TDBTable& t) { return t.DeleteRecord(); });

  // Field access on the current record of the active table.
  r.Add("DBGetInt", [&db](TSysFuncCall& c) {
    int32_t v = 0;
    if (TDBTable* t = db.ActiveTable(); t && t->GetInt(StrArg(c, 0), v)) c.result.SetInt(v);
  });
  r.Add("DBGetFloat", [&db](TSysFuncCall& c) {
    Float v = 0;
    if (TDBTable* t = db.ActiveTable(); t && t->GetFloat(StrArg(c, 0), v)) c.result.SetFloat(v);
  });
  r.Add("DBGetBool", [&db](TSysFuncCall& c) {
    bool v = false;
    if (TDBTable* t = db.ActiveTable(); t && t->GetBool(StrArg(c, 0), v)) c.result.SetFlag(v);
  });
  r.Add("DBGetStr", [&db](TSysFuncCall& c) {
    std::string v;
    if (TDBTable* t = db.ActiveTable(); t && t->GetStr(StrArg(c, 0), v)) c.result.SetStr(v);
  });
  r.AddOnActive("DBSetInt", true, [](TSysFuncCall& c, TDBTable& t) { return t.SetInt(StrArg(c, 0), IntArg(c, 1)); });
  r.AddOnActive("DBSetFloat", true,
                [](TSysFuncCall& c, TDBTable& t) { return t.SetFloat(StrArg(c, 0), FloatArg(c, 1)); });
  r.AddOnActive("DBSetBool", true, [](TSysFuncCall& c, TDBTable& t) { return t.SetBool(StrArg(c, 0), FlagArg(c, 1)); });
  r.AddOnActive("DBSetStr", true, [](TSysFuncCall& c, TDBTable& t) { return t.SetStr(StrArg(c, 0), StrArg(c, 1)); });

  r.Add("DBRecordCount", [&db](TSysFuncCall& c) {
    const TDBTable* t = c.Has(0) ? db.FindTable(StrArg(c, 0)) : db.ActiveTable();
    c.result.SetInt(t ? t->RecordCount() : -1);
  });
  r.AddOnActive("DBFindFirst", false, [](TSysFuncCall&, TDBTable& t) { return t.FindFirst(); });
  r.AddOnActive("DBFindLast", false, [](TSysFuncCall&, TDBTable& t) { return t.FindLast(); });
  r.AddOnActive("DBFindNext", false, [](TSysFuncCall&, TDBTable& t) { return t.FindNext(); });
  r.AddOnActive("DBFindPrior", false, [](TSysFuncCall&, TDBTable& t) { return t.FindPrior(); });
  r.AddOnActive("DBLocate", false, [](TSysFuncCall& c, TDBTable& t) {
    const int32_t first = t.LocateFirst(Keys(*c.args.at(0), *c.args.at(1)), FlagArg(c, 2), FlagArg(c, 3));
    return first >= 0 && t.SetRecNo(first);
  });
  r.AddOnActive("DBLoadTsvFile", false, [&files](TSysFuncCall& c, TDBTable& t) {
    const std::string name = StrArg(c, 0);
    if (!files.FileExistsVfs(name)) return false;
    TMxMemoryStream bytes;
    files.LoadEntry(bytes, name);
    if (bytes.GetSize() == 0) return false;
    const auto& b = bytes.Bytes();
    return t.LoadFromLines(SplitTextLines(std::string_view(reinterpret_cast<const char*>(b.data()), b.size())));
  });

  // Direct access by table name and keys.
  r.Add("DBDirectGetInt", [&db](TSysFuncCall& c) {
    int32_t v = 0;
    c.result.SetInt(db.DirectGetInt(DirectArgs(c), v) ? v : IntArg(c, 6));
  });
  r.Add("DBDirectGetFloat", [&db](TSysFuncCall& c) {
    Float v = 0;
    c.result.SetFloat(db.DirectGetFloat(DirectArgs(c), v) ? v : FloatArg(c, 6));
  });
  r.Add("DBDirectGetBool", [&db](TSysFuncCall& c) {
    bool v = false;
    c.result.SetFlag(db.DirectGetBool(DirectArgs(c), v) ? v : FlagArg(c, 6));
  });
  r.Add("DBDirectGetStr", [&db](TSysFuncCall& c) {
    std::string v;
    c.result.SetStr(db.DirectGetStr(DirectArgs(c), v) ? v : StrArg(c, 6));
  });
  r.Add("DBDirectSetInt", [&db](TSysFuncCall& c) { c.result.SetFlag(db.DirectSetInt(DirectArgs(c), IntArg(c, 6))); });
  r.Add("DBDirectSetFloat",
        [&db](TSysFuncCall& c) { c.result.SetFlag(db.DirectSetFloat(DirectArgs(c), FloatArg(c, 6))); });
  r.Add("DBDirectSetBool", [&db](TSysFuncCall& c) { c.result.SetFlag(db.DirectSetBool(DirectArgs(c), FlagArg(c, 6))); });
  r.Add("DBDirectSetStr", [&db](TSysFuncCall& c) { c.result.SetFlag(db.DirectSetStr(DirectArgs(c), StrArg(c, 6))); });

  // Copies between tables.
  r.AddOnActive("DBCopyTable", false, [&db](TSysFuncCall& c, TDBTable& t) {
    return db.CopyRecordsTo(StrArg(c, 0), LocateArgs(c, 1, t));
  });
  r.AddOnActive("DBInsertTable", false, [&db](TSysFuncCall& c, TDBTable&) {
    const std::string source = StrArg(c, 0);
    const TDBTable* from = db.FindTable(source);
    return from && db.AppendRecordsFrom(source, LocateArgs(c, 1, *from));
  });
  r.AddOnActive("DBCopy", true, [&db](TSysFuncCall& c, TDBTable& t) {
    TDBTable* to = db.FindTable(StrArg(c, 0));
    if (!to || !to->FieldList().SameAs(t.FieldList())) return false;
    to->AppendImages({t.CurrentRecord()});
    return true;
  });

  r.Add("DBDeleteTable", [&db](TSysFuncCall& c) {
    if (c.Has(0)) {
      c.result.SetFlag(db.DeleteTable(StrArg(c, 0)));
    } else {
      c.result.SetFlag(db.ActiveIndex() >= 0);
      db.DeleteTableAt(db.ActiveIndex());
    }
  });
  r.Add("DBClearTable", [&db](TSysFuncCall&) { db.ClearTables(); });
  r.AddOnActive("DBSort", false, [](TSysFuncCall& c, TDBTable& t) {
    const ListArg fields(*c.args.at(0)), desc(*c.args.at(1));
    std::vector<TDBSortKey> keys;
    for (int i = 0, n = std::min(fields.Count(), desc.Count()); i < n; ++i) keys.push_back({fields.Str(i), desc.Flag(i)});
    t.Sort(keys);
    return true;
  });
  r.Add("DBGetActive", [&db](TSysFuncCall& c) {
    const TDBTable* t = db.ActiveTable();
    c.result.SetStr(t ? t->Name() : std::string());
  });
  r.Add("DBGetRecNo", [&db](TSysFuncCall& c) {
    const TDBTable* t = db.ActiveTable();
    c.result.SetInt(t ? t->RecNo() : -1);
  });
  r.Add("DBClearRecord", [&db](TSysFuncCall& c) {
    TDBTable* t = c.Has(0) ? db.FindTable(StrArg(c, 0)) : db.ActiveTable();
    if (t) t->ClearRecords();
    c.result.SetFlag(t != nullptr);
  });
  r.Add("DBGetTableCount", [&db](TSysFuncCall& c) { c.result.SetInt(db.Count()); });
  r.Add("DBGetTable", [&db](TSysFuncCall& c) {
    const int32_t i = IntArg(c, 0);
    if (i < 0 || i >= db.Count()) {
      c.result.SetFlag(false);
      return;
    }
    const TDBTable& t = db.At(i);
    sysfuncs::ArgTarget name(c, 1);
    name->SetStr(t.Name());
    if (c.Has(2)) {
      sysfuncs::ArgTarget kind(c, 2);
      kind->SetFlag(t.Kind() == TDBKind::Status);
    }
    c.result.SetFlag(true);
  });
}

}  // namespace orva
