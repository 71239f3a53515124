#include "core/run_state.h"

#include "platform/clock.h"

RunGlobals g_Run;

namespace {
int64_t g_timeBase = 0;
int64_t g_deltaTime = 0;
}  // namespace

void Time_Init() { g_timeBase = Clock_Microseconds(); }

int64_t Time_Microseconds() { return Clock_Microseconds() - g_timeBase; }

int64_t Run_DeltaTime() { return g_deltaTime; }

void Run_SetDeltaTime(int64_t us) { g_deltaTime = us; }
