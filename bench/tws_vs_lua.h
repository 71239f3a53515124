// What the benchmarks that time the same program in the script language and
// in Lua 5.4 share: compiling and running each side and timing the best run.
#pragma once
#include <lua.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/builtin_vars.h"
#include "runner/startup.h"
#include "script/builtins_math.h"
#include "script/builtins_string.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"

namespace twlua {

// The script world a benchmark's programs run in: globals, constants,
// built-in variables and the math and string built-ins. `more` registers
// further groups before the machine starts.
inline void StartWorld(void (*more)() = nullptr) {
  g_ShowErrors = false;
  GlobalVar_Init();
  Constant_RegisterBuiltins();
  Runner_InstallWorld();
  BuiltinVar_RegisterAll();
  InitMathFunctions();
  InitStringFunctions();
  if (more) more();
  VM_Init();
}

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The best of `reps` runs.
template <typename F>
double Best(int reps, F&& f) {
  double best = 1e30;
  for (int r = 0; r < reps; ++r) {
    const auto t0 = Clock::now();
    f();
    best = std::min(best, Seconds(Clock::now() - t0));
  }
  return best;
}

struct Tws {
  std::unique_ptr<CCode> code;
  CObjInstance* self;
  double Run() {
    ScriptValue result;
    if (!Code_Run(self, self, code.get(), &result)) {
      std::fprintf(stderr, "run failed: %s\n", Code_PendingErrorText().c_str());
      std::exit(1);
    }
    const double v = result.IsString() ? -1 : result.real;
    ScriptValue_Free(&result);
    return v;
  }
};

inline Tws Compile(const std::string& text, bool machine, CObjInstance* self) {
  g_UseVM = machine;
  Tws t{std::make_unique<CCode>(text, false), self};
  if (!t.code->Compile("bench")) {
    std::fprintf(stderr, "compile failed: %s\n%s\n", Code_PendingErrorText().c_str(), text.c_str());
    std::exit(1);
  }
  return t;
}

// A reference to the loaded chunk; exits on a syntax error.
inline int LoadLua(lua_State* L, const std::string& text) {
  if (luaL_loadstring(L, text.c_str()) != LUA_OK) {
    std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
    std::exit(1);
  }
  return luaL_ref(L, LUA_REGISTRYINDEX);
}

inline double RunLua(lua_State* L, int ref) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
  if (lua_pcall(L, 0, 1, 0) != LUA_OK) {
    std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
    std::exit(1);
  }
  const double v = lua_tonumber(L, -1);
  lua_pop(L, 1);
  return v;
}

}  // namespace twlua
