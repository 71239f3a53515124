#include "platform/clock.h"

#include <time.h>

int64_t Clock_Microseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void Clock_SleepMicroseconds(int64_t us) {
  if (us <= 0) return;
  timespec ts{time_t(us / 1000000), long(us % 1000000) * 1000};
  while (nanosleep(&ts, &ts) != 0) {
  }
}
