#include "core/run_loop.h"
#include "core/entry.h"

void RunGlobals_Init() {}
void Run_Start() {}
// Until the game step exists, a game ends after its start.
void Run_Frame() { g_RunFlag = false; }
