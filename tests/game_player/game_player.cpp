// Plays the built-in game from its splash screen to its end as a player
// would, watching the game's state before every frame, and writes what it
// pressed as a key script (tests/e2e/game_keys.py turns one into a playback
// file). "win" returns the ball until the player has ten points; "lose"
// leaves the paddle still. The script also carries the frames at which the
// rooms changed and the scores moved, for the tests to check.
//
//   tw-game-player win|lose SCRIPT
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/instances.h"
#include "core/native_game.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "game/game_ids.h"
#include "game/game_runtime.h"
#include "input/input.h"
#include "runner/entry.h"
#include "runner/run_loop.h"

namespace {

constexpr int kEnter = 13, kEscape = 27, kSpace = 32, kUp = 38, kRight = 39, kDown = 40;
constexpr int kRoomSplash = 0;
// Where the ball's middle meets the player's paddle face, and the walls'
// inner faces less the ball's half size.
constexpr double kPaddleFaceX = 64 + 4 + 4;
constexpr double kTopY = 32 + 4, kBottomY = 448 - 4;

bool g_win = true;
std::vector<std::string> g_lines;
int64_t g_frame = 0;  // the frame about to run, from 1
int g_room = -1;
int64_t g_roomStart = 0;
int g_visits[16] = {};
double g_scores[2] = {0, 0};
// Frames at which held keys go up.
std::vector<std::pair<int64_t, int>> g_releases;
bool g_down[256] = {};
int64_t g_lastUp[256] = {};

void Line(int64_t frame, const char* verb, std::initializer_list<long long> values) {
  std::string text = std::to_string(frame) + " " + verb;
  for (long long v : values) text += " " + std::to_string(v);
  g_lines.push_back(text);
}

// Down now, up `hold` frames later. A key still down, or released this very
// frame, waits: a press needs the key up for a step first.
bool Press(int key, int hold = 1) {
  if (g_down[key] || g_lastUp[key] == g_frame) return false;
  Input_OnKeyDown(key, 0, 0);
  g_down[key] = true;
  Line(g_frame, "down", {key});
  g_releases.emplace_back(g_frame + hold, key);
  return true;
}

void ReleaseDue() {
  for (size_t i = 0; i < g_releases.size();) {
    if (g_releases[i].first <= g_frame) {
      const int key = g_releases[i].second;
      Input_OnKeyUp(key, 0);
      g_down[key] = false;
      g_lastUp[key] = g_frame;
      Line(g_frame, "up", {key});
      g_releases.erase(g_releases.begin() + long(i));
    } else {
      ++i;
    }
  }
}

CObjInstance* FirstOf(int32_t object) {
  if (!g_Run.room) return nullptr;
  for (CObjInstance* inst : g_Run.room->active)
    if (inst->object_index == object && inst->IsLive()) return inst;
  return nullptr;
}

// Where the ball's middle will cross the paddle's face, bouncing off the top
// and bottom walls (obstacles are seen as the ball meets them: the guess is
// made again every frame).
double Intercept(const CObjInstance& ball) {
  if (ball.hspeed >= 0) return 240;
  double y = ball.y + ball.vspeed * (kPaddleFaceX - ball.x) / ball.hspeed;
  const double span = kBottomY - kTopY;
  double t = std::fmod(y - kTopY, 2 * span);
  if (t < 0) t += 2 * span;
  return kTopY + (t <= span ? t : 2 * span - t);
}

void Steer() {
  CObjInstance* paddle = FirstOf(game::kObjPlayer);
  if (!paddle) return;
  CObjInstance* ball = FirstOf(game::kObjBall);
  const double target = ball ? Intercept(*ball) : 224;
  const double gap = target - paddle->y;
  const double moving = paddle->speed == 0 ? 0 : paddle->vspeed;
  if (gap > 4 && moving <= 0)
    Press(kDown);
  else if (gap < -4 && moving >= 0)
    Press(kUp);
  else if (std::fabs(gap) <= 4 && moving != 0)
    Press(kSpace);
}

// What the player does in each room, by the frames spent in it.
void Act(int64_t inRoom) {
  const int visit = g_visits[g_room];
  switch (g_room) {
    case kRoomSplash:
      if (inRoom == 90) Press(kEnter, 2);
      break;
    case game::kRoomMenu:
      if (inRoom == 60) Press(visit == 1 ? kEnter : kEscape, 2);
      break;
    case game::kRoomChooseLevel:
      if (visit > 1) {
        if (inRoom == 60) Press(kEscape, 2);
      } else if (g_win) {
        // Up eight times reaches level 9; the ninth changes nothing.
        if (inRoom >= 30 && inRoom < 30 + 9 * 10 && inRoom % 10 == 0) Press(kUp, 2);
        if (inRoom == 150) Press(kEnter, 2);
      } else {
        // Level 1, hard.
        if (inRoom == 30 || inRoom == 40) Press(kRight, 2);
        if (inRoom == 60) Press(kEnter, 2);
      }
      break;
    case game::kRoomWin:
    case game::kRoomLose:
      // Held for a few frames: the held-key event leaves at the first.
      if (inRoom == 90) Press(g_win ? kEnter : kEscape, 5);
      break;
    default:
      if (g_win && g_room >= game::kRoomFirstLevel && g_room < game::kRoomWin) Steer();
      break;
  }
}

void BeforeFrame() {
  g_frame = Run_FrameCount() + 1;
  // The state after the previous frame: a new room, changed scores.
  if (g_Run.room_index != g_room) {
    g_room = g_Run.room_index;
    g_roomStart = g_frame;
    if (g_room >= 0 && g_room < 16) ++g_visits[g_room];
    Line(g_frame, "room", {g_room});
  }
  const double p1 = game::Global(game::kScorePlayer1).Real(), p2 = game::Global(game::kScorePlayer2).Real();
  if (p1 != g_scores[0] || p2 != g_scores[1]) {
    g_scores[0] = p1;
    g_scores[1] = p2;
    // Seen after frame - 1: that frame drew them first.
    Line(g_frame - 1, "score", {std::llround(p1), std::llround(p2)});
  }
  ReleaseDue();
  Act(g_frame - g_roomStart);
  // A player who never gets anywhere: give up rather than play forever.
  if (g_frame > 200000) {
    std::fprintf(stderr, "tw-game-player: no end after %lld frames\n", static_cast<long long>(g_frame));
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "win") != 0 && std::strcmp(argv[1], "lose") != 0)) {
    std::fprintf(stderr, "usage: tw-game-player win|lose SCRIPT\n");
    return 2;
  }
  g_win = std::strcmp(argv[1], "win") == 0;
  // Unpaced, so the finding run takes no longer than the game needs.
  setenv("TARNWICKE_UNPACED", "1", 1);
  NativeGame_Install(NativeGame_Header());
  const char* runArgs[] = {argv[0]};
  const int status = Runner_Main(1, runArgs, BeforeFrame);
  Line(Run_FrameCount(), "end", {status});
  std::FILE* out = std::fopen(argv[2], "w");
  if (!out) {
    std::perror(argv[2]);
    return 1;
  }
  std::fprintf(out, "# Made by tw-game-player %s: FRAME down|up KEY, FRAME room INDEX, FRAME score PLAYER COMPUTER,\n"
               "# FRAME end STATUS. Frames count from 1; regenerate when the game changes (tests/README.md).\n",
               argv[1]);
  for (const std::string& line : g_lines) std::fprintf(out, "%s\n", line.c_str());
  std::fclose(out);
  return status;
}
