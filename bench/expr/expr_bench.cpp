// Compiled expressions against Lua 5.4 on the same statements: an update of
// a variable and a comparison with a function call. Items are the compiled
// steps of our form, so steps per second compare directly.
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include "common/streams.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"

namespace {

using namespace orva;

struct OrvaFixture {
  explicit OrvaFixture(const char* text) {
    vars.Declare("a", PT_INT).Value()->SetInt(1);
    vars.Declare("b", PT_INT).Value()->SetInt(3);
    vars.Declare("c", PT_INT).Value()->SetInt(2);
    // A table of a realistic size: names to look past.
    for (int i = 0; i < 200; ++i) vars.Declare("v" + std::to_string(i), PT_INT);
    funcs.Register("Max", [](TSysFuncCall& call) {
      int32_t x = call.args[0]->GetInt(), y = call.args[1]->GetInt();
      call.result.SetInt(x > y ? x : y);
    });
    LoadStatement(text, parser);
  }
  TSystemVarSource source;
  TParamCollection vars{&source};
  TSysFuncMan funcs;
  TOrvaParser parser;
};

void RunOrva(benchmark::State& state, const char* text) {
  OrvaFixture f(text);
  for (auto _ : state) {
    f.parser.Execute(f.vars, f.funcs);
    benchmark::DoNotOptimize(f.parser.Result());
  }
  state.SetItemsProcessed(state.iterations() * f.parser.StepCount());
  state.counters["steps"] = f.parser.StepCount();
}

int LuaMax(lua_State* L) {
  lua_Integer x = luaL_checkinteger(L, 1), y = luaL_checkinteger(L, 2);
  lua_pushinteger(L, x > y ? x : y);
  return 1;
}

void RunLua(benchmark::State& state, const char* chunk, int orvaSteps) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  lua_register(L, "Max", LuaMax);
  luaL_dostring(L, "a = 1 b = 3 c = 2");
  for (int i = 0; i < 200; ++i) {
    lua_pushinteger(L, 0);
    lua_setglobal(L, ("v" + std::to_string(i)).c_str());
  }
  if (luaL_loadstring(L, chunk) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  for (auto _ : state) {
    lua_pushvalue(L, -1);
    lua_call(L, 0, 1);
    benchmark::DoNotOptimize(lua_toboolean(L, -1));
    lua_pop(L, 1);
  }
  state.SetItemsProcessed(state.iterations() * orvaSteps);
  lua_close(L);
}

void BM_Orva_Update(benchmark::State& s) { RunOrva(s, "a = a + b * 2"); }
void BM_Lua_Update(benchmark::State& s) { RunLua(s, "a = a + b * 2", 3); }
void BM_Orva_CompareCall(benchmark::State& s) { RunOrva(s, "Max(a, b) >= c"); }
void BM_Lua_CompareCall(benchmark::State& s) { RunLua(s, "return Max(a, b) >= c", 3); }

BENCHMARK(BM_Orva_Update);
BENCHMARK(BM_Lua_Update);
BENCHMARK(BM_Orva_CompareCall);
BENCHMARK(BM_Lua_CompareCall);

}  // namespace

BENCHMARK_MAIN();
