// The data structures against Lua 5.4 tables: the same work in the script
// language (on the bytecode machine) and in Lua, each pair checked to give
// the same result before it is timed. The report is each program's time as a
// ratio to Lua's.
//
//   ds_vs_lua_bench [repetitions [name]]   (name: only programs whose name contains it)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/builtin_vars.h"
#include "core/instances.h"
#include "ds/ds.h"
#include "runner/startup.h"
#include "script/builtins_math.h"
#include "script/builtins_string.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/variables.h"
#include "script/vm.h"
#include "tws_vs_lua.h"

namespace {

struct Case {
  const char* name;
  std::string tws;  // ends in return of the checked value
  std::string lua;
};

// Pseudo-random numbers below a million that both languages compute exactly
// (the products stay below 2^53), so both sides sort the same values.
const char* kTwsRandom = "r = (r * 16807) mod 2147483647; v = r mod 1000000;";
const char* kLuaRandom = "r = (r * 16807) % 2147483647 local v = r % 1000000";

std::vector<Case> Cases() {
  return {
      {"map add+find, real keys",
       "var m, i, s; m = ds_map_create(); for (i = 0; i < 1000000; i += 1) ds_map_add(m, i, i);"
       "s = 0; for (i = 0; i < 1000000; i += 1) s += ds_map_find_value(m, i); ds_map_destroy(m); return s;",
       "local m = {} for i = 0, 999999 do if m[i] == nil then m[i] = i end end "
       "local s = 0 for i = 0, 999999 do s = s + m[i] end return s"},
      {"map add+find, text keys",
       "var m, i, s, k; m = ds_map_create(); for (i = 0; i < 200000; i += 1) ds_map_add(m, \"k\" + string(i), i);"
       "s = 0; for (i = 0; i < 200000; i += 1) s += ds_map_find_value(m, \"k\" + string(i)); ds_map_destroy(m); return s;",
       "local m = {} for i = 0, 199999 do local k = 'k' .. tostring(i) if m[k] == nil then m[k] = i end end "
       "local s = 0 for i = 0, 199999 do s = s + m['k' .. tostring(i)] end return s"},
      {"list add+read",
       "var l, i, s; l = ds_list_create(); for (i = 0; i < 1000000; i += 1) ds_list_add(l, i);"
       "s = 0; for (i = 0; i < 1000000; i += 1) s += ds_list_find_value(l, i); ds_list_destroy(l); return s;",
       "local l = {} for i = 0, 999999 do l[#l + 1] = i end "
       "local s = 0 for i = 0, 999999 do s = s + l[i + 1] end return s"},
      {"grid 1000x1000 fill+sum",
       // i and j: x and y are an instance's built-in variables.
       "var g, i, j, s; g = ds_grid_create(1000, 1000);"
       "for (i = 0; i < 1000; i += 1) for (j = 0; j < 1000; j += 1) ds_grid_set(g, i, j, i + j);"
       "s = ds_grid_get_sum(g, 0, 0, 999, 999); ds_grid_destroy(g); return s;",
       "local g = {} for x = 0, 999 do local c = {} g[x] = c for y = 0, 999 do c[y] = x + y end end "
       "local s = 0 for x = 0, 999 do local c = g[x] for y = 0, 999 do s = s + c[y] end end return s"},
      {"list sort 100000",
       std::string("var l, i, r, v; r = 1; l = ds_list_create(); for (i = 0; i < 100000; i += 1) { ") + kTwsRandom +
           " ds_list_add(l, v); } ds_list_sort(l, true);"
           "v = ds_list_find_value(l, 0) + ds_list_find_value(l, 50000) * 3 + ds_list_find_value(l, 99999) * 7;"
           "ds_list_destroy(l); return v;",
       std::string("local l = {} local r = 1 for i = 1, 100000 do ") + kLuaRandom +
           " l[i] = v end table.sort(l) return l[1] + l[50001] * 3 + l[100000] * 7"},
  };
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string only = argc > 2 ? argv[2] : "";
  twlua::StartWorld(InitDSFunctions);
  CObjInstance self(0, 0, 100001, -1, false);
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);

  std::printf("%-28s %10s %10s %8s\n", "program", "lua ms", "vm ms", "vm/lua");
  bool slow = false;
  for (const Case& c : Cases()) {
    if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
    twlua::Tws vm = twlua::Compile(c.tws, true, &self);
    const int ref = twlua::LoadLua(L, c.lua);
    const double luaValue = twlua::RunLua(L, ref), vmValue = vm.Run();
    if (vmValue != luaValue) {
      std::fprintf(stderr, "%s: results differ: lua %.17g, vm %.17g\n", c.name, luaValue, vmValue);
      return 1;
    }
    // The two take turns, so a change in the machine's speed touches both.
    double tLua = 1e30, tVm = 1e30;
    for (int r = 0; r < reps; ++r) {
      tLua = std::min(tLua, twlua::Best(1, [&] { twlua::RunLua(L, ref); }));
      tVm = std::min(tVm, twlua::Best(1, [&] { vm.Run(); }));
    }
    luaL_unref(L, LUA_REGISTRYINDEX, ref);
    const double ratio = tVm / tLua;
    if (ratio > 1) slow = true;
    std::printf("%-28s %10.2f %10.2f %8.2f\n", c.name, tLua * 1e3, tVm * 1e3, ratio);
  }
  lua_close(L);
  std::printf(slow ? "some programs are slower than Lua 5.4\n" : "every program at or below Lua 5.4's time\n");
  return 0;
}
