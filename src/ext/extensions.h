// Extension packages and external libraries, as far as start-up needs them
// so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

// The extensions' command-line switches.
struct ExtSwitches {
  bool no_external_calls = false;  // "-ext": calls into external libraries do nothing

  void Reset() { *this = ExtSwitches(); }
};
extern ExtSwitches g_ExtSwitches;
inline bool& g_NoExternalCalls = g_ExtSwitches.no_external_calls;

bool Extension_Load(const ChunkBody& body);
bool Extension_Prepare();
// At every game start; false stops the start before the first room.
bool Extension_RunInitFunctions();
struct ScriptValue;
// Calls extension function `id` with `argc` values at `args`. False when
// nothing ran (no such function, or no extension is loaded): the result is
// then left as it came.
bool Extension_CallExternal(int32_t id, int argc, ScriptValue* args, ScriptValue* result);
// At game end; true makes the game end restore the default cursor.
bool Extension_RunFinalFunctions();
