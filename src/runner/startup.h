// The fixed order in which the runner brings its subsystems up and down.
#pragma once

// Lets script names resolve to resources: every resource table's name
// look-up, in the order resolution asks them.
void Runner_InstallResourceLookups();
// Connects the world and the subsystems to the script runtime: its world
// hooks, external calls and the binders of the built-in variables.
void Runner_InstallWorld();
// Base services before any window exists; never fails.
bool Runner_InitSubsystems();
// The logged start-up sequence; false (after saying why) when the game could
// not be found, loaded or prepared.
bool Runner_StartUp();
// Registers every built-in function group (from the header pass).
void InitTWSFunctions();
bool Runner_DoTheWork();
bool PrepareGame();
bool InitGraphics();
void Runner_EndInput();
void Runner_Shutdown();
// Everything after the game has ended: input and sound, the quit message,
// then every subsystem in order. The normal end and a fatal error both end
// through it.
void Runner_End();
// Re-points the grid and vertex built-ins to their checked or fast handlers.
void Code_SetReleaseMode(bool checked);
// The game's constants from its options; a bad name is shown in a message
// box and stops the walk (false).
bool Code_Constant_Prepare();
