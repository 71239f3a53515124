// The built-in game with a clock around every frame: run it on a recorded
// match (bench/match/run_match.py does) and it prints the mean and worst
// frame time of the whole run and of the match alone. Arguments are the
// game's own (-playback FILE).
#include <chrono>
#include <cstdio>

#include "core/native_game.h"
#include "core/run_state.h"
#include "game/game_ids.h"
#include "runner/entry.h"

namespace {

using Clock = std::chrono::steady_clock;

struct FrameTimes {
  const char* name;
  long frames = 0;
  double total = 0, worst = 0;
  long worstFrame = 0;
  long slow = 0;  // frames over the 2 ms goal

  void Add(double ms, long frame) {
    ++frames;
    total += ms;
    if (ms > 2) ++slow;
    if (ms > worst) {
      worst = ms;
      worstFrame = frame;
    }
  }
  void Print() const {
    std::printf("%s: %ld frames, mean %.3f ms, worst %.3f ms (frame %ld), %ld over 2 ms\n", name, frames,
                frames ? total / frames : 0.0, worst, worstFrame, slow);
  }
};

FrameTimes g_all{"all frames"}, g_match{"match frames"};
Clock::time_point g_last;
bool g_started = false;
bool g_inMatch = false;
long g_frame = 0;

// Each call closes the frame before it, which ran in the room seen then.
void BeforeFrame() {
  const Clock::time_point now = Clock::now();
  if (g_started) {
    const double ms = std::chrono::duration<double, std::milli>(now - g_last).count();
    g_all.Add(ms, g_frame);
    if (g_inMatch) g_match.Add(ms, g_frame);
  }
  g_started = true;
  ++g_frame;
  g_inMatch = g_Run.room_index >= game::kRoomFirstLevel && g_Run.room_index < game::kRoomWin;
  g_last = now;
}

}  // namespace

int main(int argc, char** argv) {
  NativeGame_Install(NativeGame_Header());
  const int status = Runner_Main(argc, argv, BeforeFrame);
  g_all.Print();
  g_match.Print();
  return status;
}
