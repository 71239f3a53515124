// The same small programs in the script language (on the bytecode machine
// and on the tree interpreter) and in Lua 5.4. Each pair must give the same
// result before it is timed; the report is each program's time as a ratio
// to Lua's, and the compiler's throughput on a 5,000-line script.
//
//   script_vs_lua_bench [repetitions [name]]   (name: only programs whose name contains it)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tws_vs_lua.h"

#include "core/instances.h"
#include "core/builtin_vars.h"
#include "script/builtins_math.h"
#include "script/builtins_string.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"
#include "runner/startup.h"

namespace {

using twlua::Best;
using twlua::Compile;
using twlua::RunLua;
using twlua::Tws;

struct Case {
  const char* name;
  std::string tws;  // ends in return of the checked value
  std::string lua;
};

const int kN = 1000000;

std::vector<Case> Cases() {
  const std::string n = std::to_string(kN);
  return {
      {"empty loop", "var i; for (i = 0; i < " + n + "; i += 1) {} return i;",
       "local i = 0 while i < " + n + " do i = i + 1 end return i"},
      {"real arithmetic",
       "var i, r; r = 0; for (i = 0; i < " + n + "; i += 1) { r = r * 0.5 + i / 3 - 1.25; } return r;",
       "local x = 0 for i = 0, " + n + " - 1 do x = x * 0.5 + i / 3 - 1.25 end return x"},
      {"string +=", "var i, s; s = \"\"; for (i = 0; i < 20000; i += 1) { s += \"x\"; } return string_length(s);",
       "local s = '' for i = 1, 20000 do s = s .. 'x' end return #s"},
      {"\"k\" + string(i)",
       "var i, s, n; n = 0; for (i = 0; i < 200000; i += 1) { s = \"k\" + string(i); n += string_length(s); } return n;",
       "local n = 0 for i = 0, 199999 do local s = 'k' .. tostring(i) n = n + #s end return n"},
      {"array ascending", "var i, a; for (i = 0; i < 30000; i += 1) { a[i] = i; } return a[29999];",
       "local a = {} for i = 0, 29999 do a[i] = i end return a[29999]"},
      {"array descending", "var i, a; for (i = 29999; i >= 0; i -= 1) { a[i] = i; } return a[0] + a[29999];",
       "local a = {} for i = 29999, 0, -1 do a[i] = i end return a[0] + a[29999]"},
      {"array 2-D",
       "var i, j, a; for (i = 0; i < 300; i += 1) { for (j = 0; j < 300; j += 1) { a[i, j] = i + j; } } return a[299, 299];",
       "local a = {} for i = 0, 299 do local r = {} a[i] = r for j = 0, 299 do r[j] = i + j end end return a[299][299]"},
      {"fib(22) script", "return fib(22);",
       "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end return fib(22)"},
      {"built-in calls", "var i, r; r = 0; for (i = 0; i < " + n + "; i += 1) { r += abs(-i) + floor(0.5); } return r;",
       "local abs, floor = math.abs, math.floor local x = 0 for i = 0, " + n +
           " - 1 do x = x + abs(-i) + floor(0.5) end return x"},
      {"loop on locals", "var i, t; t = 0; for (i = 0; i < " + n + "; i += 1) { t += i; } return t;",
       "local t = 0 for i = 0, " + n + " - 1 do t = t + i end return t"},
      {"loop on instance vars", "iv = 0; for (ii = 0; ii < " + n + "; ii += 1) { iv += ii; } return iv;",
       "local o = {iv = 0, ii = 0} o.ii = 0 while o.ii < " + n + " do o.iv = o.iv + o.ii o.ii = o.ii + 1 end return o.iv"},
      {"loop on globals",
       "global.gv = 0; for (global.gi = 0; global.gi < " + n + "; global.gi += 1) { global.gv += global.gi; } return global.gv;",
       "gv = 0 gi = 0 while gi < " + n + " do gv = gv + gi gi = gi + 1 end return gv"},
  };
}

void AddFib(bool machine) {
  g_UseVM = machine;
  auto fib = std::make_unique<CScript>("fib");
  fib->SetText("if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2);");
  Script_AddForTests(std::move(fib));
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  twlua::StartWorld();
  CObjInstance self(0, 0, 100001, -1, false);
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);

  std::printf("%-24s %10s %10s %10s %8s %8s\n", "program", "lua ms", "vm ms", "tree ms", "vm/lua", "tree/lua");
  bool slow = false;
  const std::string only = argc > 2 ? argv[2] : "";
  for (const Case& c : Cases()) {
    if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
    const bool fib = c.tws.find("fib(") != std::string::npos;
    // Scripts compile with the mode they will run in.
    Script_DeleteAll();
    if (fib) AddFib(true), Script_Get(0)->Compile();
    Tws vm = Compile(c.tws, true, &self);
    Script_DeleteAll();
    if (fib) AddFib(false), Script_Get(0)->Compile();
    Tws tree = Compile(c.tws, false, &self);
    const int ref = twlua::LoadLua(L, c.lua);

    // The tree run first: fib's script table holds the tree-mode script now.
    g_UseVM = false;
    const double treeValue = tree.Run();
    const double luaValue = RunLua(L, ref);
    Script_DeleteAll();
    if (fib) AddFib(true), Script_Get(0)->Compile();
    g_UseVM = true;
    const double vmValue = vm.Run();
    if (vmValue != luaValue || treeValue != luaValue) {
      std::fprintf(stderr, "%s: results differ: lua %.17g, vm %.17g, tree %.17g\n", c.name, luaValue, vmValue,
                   treeValue);
      return 1;
    }
    // The three take turns, so a change in the machine's speed during the
    // run touches them alike.
    double tLua = 1e30, tVm = 1e30, tTree = 1e30;
    for (int r = 0; r < reps; ++r) {
      tLua = std::min(tLua, Best(1, [&] { RunLua(L, ref); }));
      g_UseVM = true;
      tVm = std::min(tVm, Best(1, [&] { vm.Run(); }));
      Script_DeleteAll();
      if (fib) AddFib(false), Script_Get(0)->Compile();
      g_UseVM = false;
      tTree = std::min(tTree, Best(1, [&] { tree.Run(); }));
      Script_DeleteAll();
      if (fib) AddFib(true), Script_Get(0)->Compile();
      g_UseVM = true;
    }
    luaL_unref(L, LUA_REGISTRYINDEX, ref);
    const double rVm = tVm / tLua, rTree = tTree / tLua;
    if (rVm > 2) slow = true;
    std::printf("%-24s %10.2f %10.2f %10.2f %8.2f %8.2f\n", c.name, tLua * 1e3, tVm * 1e3, tTree * 1e3, rVm, rTree);
  }

  // Compile throughput: a 5,000-line script of assorted statements.
  std::string big = "var i, a, s, t;\n";
  for (int line = 0; line < 5000; ++line) {
    switch (line % 5) {
      case 0: big += "a[" + std::to_string(line % 100) + "] = i * " + std::to_string(line) + " + 0.5;\n"; break;
      case 1: big += "if (a[1] > " + std::to_string(line) + ") { s = \"line " + std::to_string(line) + "\"; }\n"; break;
      case 2: big += "for (i = 0; i < 3; i += 1) t += sqrt(i) * 2;\n"; break;
      case 3: big += "switch (t) { case 1: t = 2; break; default: t += 1; }\n"; break;
      default: big += "s = string(t) + \"x\" + string(floor(t / 3));\n"; break;
    }
  }
  for (bool machine : {true, false}) {
    if (!only.empty()) break;
    g_UseVM = machine;
    const double t = Best(reps, [&] {
      CCode code(big, false);
      if (!code.Compile("big")) {
        std::fprintf(stderr, "compile failed: %s\n", Code_PendingErrorText().c_str());
        std::exit(1);
      }
    });
    std::printf("compile 5000 lines (%s): %.2f ms, %.0f lines/s, %.1f MB/s\n", machine ? "bytecode" : "tree only",
                t * 1e3, 5000 / t, double(big.size()) / t / 1e6);
  }
  g_UseVM = true;
  lua_close(L);
  std::printf(slow ? "some programs are slower than 2x Lua on the machine\n" : "every program within 2x Lua on the machine\n");
  return 0;
}
