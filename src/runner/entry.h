// The program entry: the command line, "@" file names, data.win beside the
// executable, and the outer shape of the run.
#pragma once
#include <string>

#include "runner/runner_flags.h"

// Called before each frame of the main loop, for programs that steer or time
// a run from outside the game (test drivers, benchmarks).
using RunnerFrameHook = void (*)();

// The whole run; returns the process exit status.
int Runner_Main(int argc, const char* const* argv, RunnerFrameHook beforeFrame = nullptr);

// Moves every "@"-named file of the working directory to the path its name
// spells ("@" read as a directory separator).
void Main_UnpackAtFiles();
// Returns true when the file was moved.
bool Main_UnpackAtFile(const std::string& name);
// Drains the window-event queue; a quit request clears g_RunFlag. False from
// a quit request until the main loop has ended: running code stops at its
// next pump, so a script that never ends cannot keep the game from ending.
bool Main_ProcessMessages();
bool Main_QuitPending();
const std::string& Main_GetExePath();
// The directory of the game data, ending in '/'.
const std::string& Main_GetProgramDirectory();
void Main_PostQuit();
