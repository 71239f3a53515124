#include "script/scripts.h"

bool Script_Load(const ChunkBody&) { return true; }
void Script_Clear() {}
bool Script_Prepare() { return true; }
void Script_Shutdown() {}
void Arguments_FreeAll() {}
