#include "ext/extensions.h"

bool g_NoExternalCalls = false;

bool Extension_Load(const ChunkBody&) { return true; }
bool Extension_Prepare() { return true; }
bool Extension_RunInitFunctions() { return true; }
bool Extension_RunFinalFunctions() { return false; }
