#include "core/run_loop.h"

#include "core/entry.h"

RunGlobals g_Run;

void RunGlobals_Init() {
  g_Run = RunGlobals();
  g_RunFlag = false;
}

void Run_Start() { g_RunFlag = true; }

// Until the game step exists, a game ends after its start.
void Run_Frame() { g_RunFlag = false; }
