// The main loop and the run globals.
#pragma once
#include <cstdint>
#include <string>

class CGameRoom;

// New-room requests besides a room index.
constexpr int32_t kNewRoomNone = -1;
constexpr int32_t kNewRoomEnd = -100;
constexpr int32_t kNewRoomRestart = -200;
constexpr int32_t kNewRoomAbort = -400;

// The process-wide state of the running game.
struct RunGlobals {
  bool paused = false;
  bool draw_enabled = true;
  int32_t new_room = kNewRoomNone;
  int32_t transition_kind = 0;
  int32_t room_index = 0;
  CGameRoom* room = nullptr;
  int32_t score = 0;
  int32_t lives = -1;
  double health = 100.0;
  bool show_score = true, show_lives = false, show_health = false;
  bool caption_changed = false;
  std::string caption_score = "Score: '";
  std::string caption_lives = "Lives: ";
  std::string caption_health = "Health: ";
  int32_t cursor_sprite = -1;
  int32_t view_current = 0;
  int32_t step_counter = 0;
  // The event being dispatched.
  int32_t event_type = 0, event_number = 0, event_object = -1;
  int32_t event_action = 0;
  int32_t fps = 0;
  // The ds_map of the asynchronous event being dispatched, -1 outside one.
  int32_t async_load = -1;
};

extern RunGlobals g_Run;

void RunGlobals_Init();

// The microsecond clock of the run.
void Time_Init();
int64_t Time_Microseconds();
// Waits `us` microseconds (at most 3 s), sleeping and then spinning while it
// pumps messages; a clock that goes back ends the wait.
void Time_Wait(int64_t us);

// Starts the game and prepares the frame timing.
void Run_Start();
void Run_EnterMainLoop();
// One paced frame of the main loop.
void Run_Frame();
// One frame without pacing (debugger stepping).
void Run_DebugFrame();
void Run_Pause();
void Run_StepFrame();
void Run_Stop();
// The wait before the next frame, from the frame base, now and the speed.
int64_t Run_FrameWait(int64_t now, int64_t lastFrame, int32_t roomSpeed);
// Frames run so far (the frame-limit test hook counts them).
int64_t Run_FrameCount();
