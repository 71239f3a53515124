// The state of the running game that the world and every subsystem read:
// the room, the score, the event being dispatched, the step's clock.
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


// The microsecond clock of the run, from its start.
void Time_Init();
int64_t Time_Microseconds();
// Microseconds between the last two steps; the runner sets it each step.
int64_t Run_DeltaTime();
void Run_SetDeltaTime(int64_t us);

// The window-message pump the runner installs; waits pump through it (none
// until then).
void Run_SetMessagePump(bool (*pump)());
// One pass of that pump: a wait of its own keeps the window answering.
void Run_PumpMessages();
// Waits `us` microseconds (at most 3 s), sleeping and then spinning while it
// pumps messages; a clock that goes back ends the wait.
void Time_Wait(int64_t us);
