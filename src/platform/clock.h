// Monotonic time for frame pacing and profiling. With TARNWICKE_UNPACED set
// the clock is virtual: it stands still except when the program sleeps,
// which advances it at once, so paced frames run at full speed and every run
// sees the same times.
#pragma once
#include <cstdint>
#include <ctime>

// Microseconds from an arbitrary fixed point; never goes backwards.
int64_t Clock_Microseconds();
void Clock_SleepMicroseconds(int64_t us);
bool Clock_IsVirtual();
// The local calendar time now.
std::tm Clock_LocalTime();
// For tests: switch the virtual clock on or off (it starts at 0).
void Clock_SetVirtual(bool on);
