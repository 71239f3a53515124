#include "ext/extensions.h"

ExtSwitches g_ExtSwitches;

bool Extension_Load(const ChunkBody&) { return true; }
bool Extension_Prepare() { return true; }
bool Extension_RunInitFunctions() { return true; }
bool Extension_RunFinalFunctions() { return false; }
// No extension package is loaded yet, so no function exists.
bool Extension_CallExternal(int32_t, int, ScriptValue*, ScriptValue*) { return false; }
