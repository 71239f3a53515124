// Monotonic time for frame pacing and profiling.
#pragma once
#include <cstdint>

// Microseconds from an arbitrary fixed point; never goes backwards.
int64_t Clock_Microseconds();
void Clock_SleepMicroseconds(int64_t us);
