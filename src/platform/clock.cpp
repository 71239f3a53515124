#include "platform/clock.h"

#include <time.h>

#include <cstdlib>

namespace {
bool InitialVirtual() {
  const char* v = std::getenv("TARNWICKE_UNPACED");
  return v && *v && *v != '0';
}
bool g_virtual = InitialVirtual();
int64_t g_virtualNow = 0;
}  // namespace

bool Clock_IsVirtual() { return g_virtual; }

void Clock_SetVirtual(bool on) {
  g_virtual = on;
  g_virtualNow = 0;
}

int64_t Clock_Microseconds() {
  if (g_virtual) return g_virtualNow;
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void Clock_SleepMicroseconds(int64_t us) {
  if (us <= 0) return;
  if (g_virtual) {
    g_virtualNow += us;
    return;
  }
  timespec ts{time_t(us / 1000000), long(us % 1000000) * 1000};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

std::tm Clock_LocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}
