#include "runner/run_loop.h"

#include <cstdlib>

#include "audio/audio.h"
#include "script/console.h"
#include "runner/entry.h"
#include "runner/game_start.h"
#include "runner/game_step.h"
#include "core/rooms.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "net/debugger.h"
#include "platform/clock.h"
#include "script/memory_manager.h"

namespace {
int64_t g_lastFrameTime = 0;
int64_t g_secondStart = 0;
int32_t g_framesThisSecond = 0;
int64_t g_lastStepTime = 0;
int64_t g_framesRun = 0;

// TARNWICKE_FRAMES=N ends the run after N frames, as a quit request would.
int64_t FrameLimit() {
  static const int64_t limit = [] {
    const char* v = std::getenv("TARNWICKE_FRAMES");
    return v && *v ? std::atoll(v) : int64_t(0);
  }();
  return limit;
}

int32_t& CurrentRoomSpeed() {
  static int32_t fallback = 30;
  return g_Run.room ? g_Run.room->speed : fallback;
}

// Acts on the new-room request; false when the run must stop.
bool ActOnNewRoomRequest(bool reseed) {
  int32_t request = g_Run.new_room;
  if (request == kNewRoomEnd || request == kNewRoomAbort) {
    g_RunFlag = false;
    return false;
  }
  if (request == kNewRoomRestart) {
    EndGame();
    StartGame();
    if (Game_StartFailed()) {
      g_RunFlag = false;
      return false;
    }
    if (reseed) std::srand(2101988);
  } else if (request != kNewRoomNone) {
    Run_SwitchRoom(request);
  }
  return true;
}
}  // namespace

void RunGlobals_Init() {
  g_Run = RunGlobals();
  g_RunFlag = false;
}

void Run_Start() {
  if (!g_RunFlag) {
    g_RunFlag = true;
    StartGame();
  }
  if (Game_StartFailed()) {
    g_RunFlag = false;
    return;
  }
  // A quit asked for while the game started still ends it.
  g_RunFlag = !Main_QuitPending();
  g_Run.paused = false;
  Run_EnterMainLoop();
}

void Run_EnterMainLoop() {
  Time_Init();
  g_lastFrameTime = Time_Microseconds();
  g_Run.fps = 0;
  g_framesThisSecond = 0;
  g_secondStart = g_lastFrameTime;
  Main_ProcessMessages();
  g_DebugConsole->Output("**********************************.\n");
  g_DebugConsole->Output("Entering main loop.\n");
  g_DebugConsole->Output("**********************************.\n");
  g_lastStepTime = Time_Microseconds();
}

int64_t Run_FrameWait(int64_t now, int64_t lastFrame, int32_t roomSpeed) {
  double wait = 1000000.0 / roomSpeed - double(now - lastFrame);
  if (wait < 0) wait = 0;
  if (float(wait) > 1000000.0f) wait = 1000000.0;
  return int64_t(wait);
}

int64_t Run_FrameCount() { return g_framesRun; }

void Run_Frame() {
  MemoryManager::Tick();
  int64_t now = Time_Microseconds();
  if (now < g_lastFrameTime) g_lastFrameTime = now;
  int32_t& speed = CurrentRoomSpeed();
  if (speed <= 0) speed = 1;
  int64_t wait = Run_FrameWait(now, g_lastFrameTime, speed);
  Time_Wait(wait);
  if (!g_RunFlag) return;
  g_lastFrameTime = now + wait;
  if (g_lastFrameTime < g_secondStart) g_secondStart = g_lastFrameTime;
  if (g_lastFrameTime / 1000000 > g_secondStart / 1000000) {
    g_Run.fps = g_framesThisSecond;
    g_framesThisSecond = 0;
    g_secondStart = g_lastFrameTime;
  }
  ++g_framesThisSecond;
  Audio_Tick();
  if (!g_Run.paused) {
    if (Graphics_TakeFullResetMark()) Graphics_FullReset();
    Graphics_BeginFrame();
    Run_GameStep();
    IO_DrawVirtualButtons();
    Graphics_EndFrame(g_Run.new_room < 0 && g_Run.draw_enabled);
    ++g_framesRun;
    if (FrameLimit() > 0 && g_framesRun >= FrameLimit()) g_RunFlag = false;
    if (!ActOnNewRoomRequest(false)) return;
  }
  Debug_Tick();
}

void Run_DebugFrame() {
  Main_ProcessMessages();
  Run_GameStep();
  if (g_Run.new_room == kNewRoomNone && g_Run.draw_enabled) {
    Graphics_EndFrame(true);
    Graphics_BeginFrame();
  }
  if (!ActOnNewRoomRequest(true)) return;
  Main_ProcessMessages();
}

void Run_Pause() { g_Run.paused = true; }

void Run_StepFrame() {
  if (g_RunFlag && g_Run.paused) Run_DebugFrame();
}

void Run_Stop() {
  g_RunFlag = false;
  g_Run.paused = false;
}
