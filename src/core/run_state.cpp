#include "core/run_state.h"

#include "platform/clock.h"

RunGlobals g_Run;

namespace {
int64_t g_timeBase = 0;
int64_t g_deltaTime = 0;
bool (*g_pump)() = nullptr;

void Pump() {
  if (g_pump) g_pump();
}
}  // namespace

void Time_Init() { g_timeBase = Clock_Microseconds(); }

int64_t Time_Microseconds() { return Clock_Microseconds() - g_timeBase; }

int64_t Run_DeltaTime() { return g_deltaTime; }

void Run_SetDeltaTime(int64_t us) { g_deltaTime = us; }

void Run_SetMessagePump(bool (*pump)()) { g_pump = pump; }

void Run_PumpMessages() { Pump(); }

void Time_Wait(int64_t t) {
  if (t <= 0) return;
  if (t >= 3000000) t = 3000000;
  if (Clock_IsVirtual()) {
    // A virtual clock only moves when slept on: spinning would never end.
    Clock_SleepMicroseconds(t);
    Pump();
    return;
  }
  int64_t start = Time_Microseconds();
  if (t >= 2000) Clock_SleepMicroseconds((t - 1000) / 1000 * 1000);
  for (;;) {
    Pump();
    int64_t now = Time_Microseconds();
    if (now < start || now >= start + t) break;
  }
}
