// The main loop and the run globals.
#pragma once
#include <cstdint>

void RunGlobals_Init();
// Starts the game and prepares the frame timing.
void Run_Start();
// One frame of the main loop.
void Run_Frame();
