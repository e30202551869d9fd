// A tight While loop with a Calc body run by the interpreter, against the
// same loop in Lua 5.4 in the same run.
//
//   scripts/build bench && build/bench/bench/script/script_bench
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include <string>

#include "common/cp932.h"
#include "expr/paramcollection.h"
#include "expr/sysfuncs.h"
#include "objects/timerlists.h"
#include "script/callman.h"
#include "script/pagesource.h"

namespace {

using namespace orva;


void BM_InterpreterWhileLoop(benchmark::State& state) {
  const int64_t n = state.range(0);
  const std::string source =
      "WhileInit {i = 0} runon\n"
      "While {i < " + std::to_string(n) + "} runon\n"
      "  Calc {sum = sum + i * 2} runon\n"
      "WhileLoop {i = i + 1} runon\n";
  auto page = AssemblePage(source, "loop.osb");
  TMxMemoryStream bytes;
  page->SaveToStream(bytes);
  for (auto _ : state) {
    TFixedScriptHost host;
    TParamCollection vars;
    TSysFuncMan funcs;
    TTimerList events;
    vars.Declare("i", PT_INT);
    vars.Declare("sum", PT_INT);
    TCallMan cm({vars, funcs, events, host, [](const std::string&) { return true; },
                 [&](const std::string&, TMxMemoryStream& out) { out.MutableBytes() = bytes.Bytes(); }});
    cm.Start("loop.osb");
    cm.Run();  // every command runs on: the whole loop is one tick
    benchmark::DoNotOptimize(vars.FindVariable("sum")->Value()->GetInt());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_LuaWhileLoop(benchmark::State& state) {
  const int64_t n = state.range(0);
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  const std::string code =
      "local i = 0 local sum = 0 while i < " + std::to_string(n) +
      " do sum = (sum + i * 2) & 0xFFFFFFFF i = i + 1 end return sum";
  luaL_loadstring(L, code.c_str());
  const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
    lua_call(L, 0, 1);
    benchmark::DoNotOptimize(lua_tointeger(L, -1));
    lua_pop(L, 1);
  }
  lua_close(L);
  state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(BM_InterpreterWhileLoop)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LuaWhileLoop)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
