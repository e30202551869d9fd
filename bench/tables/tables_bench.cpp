// Data tables against SQLite in memory on the same 100,000 rows (int id,
// float price, bool flag, CP932 name of declared size 32), without indexes:
// sorting, exact and partial searches, direct reads through the function
// dispatcher, and loading a table file against inserts in one transaction.
//
//   scripts/build bench && build/bench/bench/tables/tables_bench
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>

#include "common/cp932.h"
#include "expr/paramcollection.h"
#include "expr/sysfuncs.h"
#include "storage/vrfiles.h"
#include "tables/dbfuncs.h"
#include "tables/dbs.h"
#include "tables/dbtsv.h"

namespace {

using namespace orva;

constexpr int kRows = 100000;

struct Row {
  int32_t id;
  double price;
  bool flag;
  std::string name;  // CP932
};

// Names from 2,000 distinct values: a double-byte word, an ASCII word in
// mixed case (some holding "abc"), a number.
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = [] {
    const char* kana[] = {"剣", "盾", "薬", "表示", "ソード", "能力", "アイテム", "指輪"};
    const char* words[] = {"Sword", "shield", "Potion", "xAbCx", "ring", "ABCbox", "Helm", "cabcab", "Boots", "gem"};
    std::vector<std::string> kanaCp;
    for (const char* k : kana) kanaCp.push_back(cp932::FromUtf8(k));
    std::mt19937 rng(12345);
    std::vector<int32_t> ids(kRows);
    std::iota(ids.begin(), ids.end(), 0);
    std::shuffle(ids.begin(), ids.end(), rng);
    std::vector<Row> out;
    out.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
      const uint32_t v = rng() % 2000;
      Row r;
      r.id = ids[static_cast<size_t>(i)];
      r.price = static_cast<double>(rng() % 100000) / 100.0;
      r.flag = (rng() & 1) != 0;
      r.name = kanaCp[v % 8] + words[(v / 8) % 10] + std::to_string(v);
      out.push_back(std::move(r));
    }
    return out;
  }();
  return rows;
}

std::string TsvText() {
  std::vector<std::string> lines{"id int\tprice float\tflag bool\tname string 32"};
  char buf[32];
  for (const Row& r : Rows()) {
    std::snprintf(buf, sizeof buf, "%.2f", r.price);
    lines.push_back(std::to_string(r.id) + "\t" + buf + "\t" + (r.flag ? "TRUE" : "FALSE") + "\t" + r.name);
  }
  return JoinLines(lines);
}

// ---- ours

struct Ours {
  Ours() {
    files.MemoryCollection().AddMemoryEntry("mem:items.tsv").WriteBytes(TsvText());
    RegisterTableFunctions(funcs, db, files);
    db.CreateTable("work", TDBKind::Game);
    db.CreateTable("items", TDBKind::Game);
    const auto file = Lit("mem:items.tsv");
    Call(107, {file.get()});
    all.resize(kRows);
    std::iota(all.begin(), all.end(), 0);
  }
  std::unique_ptr<TCustomParam> Lit(const std::string& s) {
    auto p = CreateParam(PT_STR);
    p->SetStr(s);
    return p;
  }
  int32_t Call(int number, const TSysFuncArgs& a) {
    auto r = CreateParam(SysFuncInfo(number).resultType);
    funcs.Execute(*r, number, a, vars);
    return r->GetInt();
  }
  // "work" := a fresh copy of the unsorted rows.
  TDBTable& FreshWork() {
    db.SetActiveTable("items");
    db.CopyRecordsTo("work", all);
    return *db.FindTable("work");
  }
  TDBTable& Items() { return *db.FindTable("items"); }

  TVrFileManager files{TVrFileManager::Options{std::vector<std::string>{}, {}, nullptr}};
  TParamCollection vars;
  TSysFuncMan funcs;
  TDBManager db;
  std::vector<int32_t> all;
};

Ours& O() {
  static Ours ours;
  return ours;
}

// ---- SQLite

struct Lite {
  Lite() {
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open");
    Exec("CREATE TABLE items (id INTEGER, price REAL, flag INTEGER, name TEXT)");
    Insert();
  }
  ~Lite() { sqlite3_close(db); }
  void Exec(const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    return st;
  }
  void Insert() {
    Exec("BEGIN");
    sqlite3_stmt* st = Prepare("INSERT INTO items VALUES (?, ?, ?, ?)");
    for (const Row& r : Rows()) {
      sqlite3_bind_int(st, 1, r.id);
      sqlite3_bind_double(st, 2, r.price);
      sqlite3_bind_int(st, 3, r.flag);
      sqlite3_bind_text(st, 4, r.name.data(), static_cast<int>(r.name.size()), SQLITE_STATIC);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    Exec("COMMIT");
  }
  // Steps through every row of a query, touching every column it gives.
  int64_t Drain(sqlite3_stmt* st) {
    int64_t n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int c = 0, k = sqlite3_column_count(st); c < k; ++c) n += sqlite3_column_bytes(st, c);
      ++n;
    }
    sqlite3_reset(st);
    return n;
  }
  sqlite3* db = nullptr;
};

Lite& L() {
  static Lite lite;
  return lite;
}

const std::string& ExactName() {
  static const std::string n = Rows()[kRows / 2].name;
  return n;
}

// ---- sorting

void BM_SortById_Orva(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TDBTable& t = O().FreshWork();
    state.ResumeTiming();
    t.Sort({{"id", false}});
    benchmark::DoNotOptimize(t.Record(0));
  }
}
void BM_SortById_SQLite(benchmark::State& state) {
  sqlite3_stmt* st = L().Prepare("SELECT id, price, flag, name FROM items ORDER BY id");
  for (auto _ : state) benchmark::DoNotOptimize(L().Drain(st));
  sqlite3_finalize(st);
}

void BM_SortByNameIdDesc_Orva(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TDBTable& t = O().FreshWork();
    state.ResumeTiming();
    t.Sort({{"name", false}, {"id", true}});
    benchmark::DoNotOptimize(t.Record(0));
  }
}
void BM_SortByNameIdDesc_SQLite(benchmark::State& state) {
  sqlite3_stmt* st = L().Prepare("SELECT id, price, flag, name FROM items ORDER BY name, id DESC");
  for (auto _ : state) benchmark::DoNotOptimize(L().Drain(st));
  sqlite3_finalize(st);
}

// ---- searching

void BM_LocateExact_Orva(benchmark::State& state) {
  const TDBTable& t = O().Items();
  for (auto _ : state) benchmark::DoNotOptimize(t.Locate({{"name", ExactName()}}, false, false));
}
void BM_LocateExact_SQLite(benchmark::State& state) {
  sqlite3_stmt* st = L().Prepare("SELECT rowid FROM items WHERE name = ?");
  sqlite3_bind_text(st, 1, ExactName().data(), static_cast<int>(ExactName().size()), SQLITE_STATIC);
  for (auto _ : state) benchmark::DoNotOptimize(L().Drain(st));
  sqlite3_finalize(st);
}

void BM_LocatePartialCI_Orva(benchmark::State& state) {
  const TDBTable& t = O().Items();
  for (auto _ : state) benchmark::DoNotOptimize(t.Locate({{"name", std::string("abc")}}, true, true));
}
void BM_LocatePartialCI_SQLite(benchmark::State& state) {
  sqlite3_stmt* st = L().Prepare("SELECT rowid FROM items WHERE name LIKE '%abc%'");
  for (auto _ : state) benchmark::DoNotOptimize(L().Drain(st));
  sqlite3_finalize(st);
}

// ---- 1,000 direct reads by id

void BM_DirectGetInt1000_Orva(benchmark::State& state) {
  Ours& o = O();
  std::vector<std::unique_ptr<TCustomParam>> args;
  args.push_back(o.Lit("items"));
  args.push_back(o.Lit("id"));
  args.push_back(CreateParam(PT_INT));
  for (const char* a : {"FALSE", "FALSE", "price", "-1"}) args.push_back(o.Lit(a));
  TSysFuncArgs a;
  for (const auto& p : args) a.push_back(p.get());
  TParamInt result;
  for (auto _ : state) {
    int64_t sum = 0;
    for (int k = 0; k < 1000; ++k) {
      args[2]->SetInt(k * 97);
      o.funcs.Execute(result, 108, a, o.vars);
      sum += result.GetInt();
    }
    benchmark::DoNotOptimize(sum);
  }
}
void BM_DirectGetInt1000_SQLite(benchmark::State& state) {
  sqlite3_stmt* st = L().Prepare("SELECT price FROM items WHERE id = ?");
  for (auto _ : state) {
    int64_t sum = 0;
    for (int k = 0; k < 1000; ++k) {
      sqlite3_bind_int(st, 1, k * 97);
      if (sqlite3_step(st) == SQLITE_ROW) sum += sqlite3_column_int(st, 0);
      sqlite3_reset(st);
    }
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(st);
}

// ---- loading

void BM_LoadTsv_Orva(benchmark::State& state) {
  Ours& o = O();
  o.db.SetActiveTable("work");
  const auto file = o.Lit("mem:items.tsv");
  for (auto _ : state)
    if (o.Call(107, {file.get()}) == 0) state.SkipWithError("not loaded");
}
void BM_LoadTsv_SQLite(benchmark::State& state) {
  Lite& l = L();
  for (auto _ : state) {
    state.PauseTiming();
    l.Exec("DELETE FROM items");
    state.ResumeTiming();
    l.Insert();
  }
}

BENCHMARK(BM_SortById_Orva)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortById_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByNameIdDesc_Orva)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByNameIdDesc_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateExact_Orva)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateExact_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocatePartialCI_Orva)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocatePartialCI_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectGetInt1000_Orva)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DirectGetInt1000_SQLite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTsv_Orva)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTsv_SQLite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
