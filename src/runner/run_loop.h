// The main loop.
#pragma once
#include <cstdint>

#include "core/run_state.h"


// Resets the run state and the run flag.
void RunGlobals_Init();

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
