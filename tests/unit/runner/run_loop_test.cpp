#include "runner/run_loop.h"

#include <gtest/gtest.h>

#include "runner/entry.h"
#include "core/rooms.h"
#include "platform/clock.h"
#include "platform/events.h"

namespace {

struct WaitCase {
  int64_t now, last;
  int32_t speed;
  int64_t wait;
};

class FrameWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(FrameWait, FromTheFrameBase) {
  const WaitCase& c = GetParam();
  EXPECT_EQ(Run_FrameWait(c.now, c.last, c.speed), c.wait);
}

INSTANTIATE_TEST_SUITE_P(Table, FrameWait,
                         ::testing::Values(WaitCase{10000, 0, 30, 23333},    // a 10 ms step
                                           WaitCase{50000, 0, 30, 0},        // a 50 ms step: no wait
                                           WaitCase{5000000, 0, 30, 0},      // after a stall
                                           WaitCase{0, 0, 1, 1000000},       // never more than a second
                                           WaitCase{0, 0, 60, 16666}));

TEST(MainLoop, RoomSpeed30RunsThirtyFramesASecondOnTheVirtualClock) {
  // Quit requests left queued by earlier tests (every fatal error posts one)
  // would end the loop at once: all of them go first.
  for (int i = 0; i < 1000000 && !Events_Pump(); ++i) {
  }
  Clock_SetVirtual(true);
  CGameRoom room;
  room.speed = 30;
  g_Run = RunGlobals();
  g_Run.room = &room;
  g_RunFlag = true;
  testing::internal::CaptureStdout();
  Run_EnterMainLoop();
  int64_t start = Time_Microseconds();
  for (int i = 0; i < 90; ++i) Run_Frame();
  testing::internal::GetCapturedStdout();
  int64_t elapsed = Time_Microseconds() - start;
  // 90 frames are due at 33,333 us apart; the first waits a whole period.
  EXPECT_GE(elapsed, 89 * 33333);
  EXPECT_LE(elapsed, 90 * 33334);
  EXPECT_EQ(g_Run.fps, 30);
  EXPECT_EQ(g_Run.step_counter, 90);

  room.speed = 0;  // treated as 1 and written back
  Run_Frame();
  EXPECT_EQ(room.speed, 1);

  g_Run = RunGlobals();
  g_RunFlag = false;
  Clock_SetVirtual(false);
}

}  // namespace
