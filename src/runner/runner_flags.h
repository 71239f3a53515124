// The runner's switch flags and run state, in one place so that a reset
// covers them all.
#pragma once
#include <optional>
#include <string>

struct RunnerFlags {
  std::optional<std::string> game_data_path;  // empty optional until known
  bool run_flag = true;                       // the main loop runs while set
  bool debug_mode = false;                    // the debug window and overlay
  bool in_a_window = false;   // "-inawindow": the options' full-screen word is cleared
  bool steam_mode = false;    // "-steam" or information flag 0x1000
  int profiler_overlay_flags = 0;  // 2 shows the frame-rate graph ("-debug")

  void Reset() { *this = RunnerFlags(); }
};

extern RunnerFlags g_RunnerFlags;

// The flags under the names the rest of the engine knows them by.
inline std::optional<std::string>& g_GameDataPath = g_RunnerFlags.game_data_path;
inline bool& g_RunFlag = g_RunnerFlags.run_flag;
inline bool& g_DebugMode = g_RunnerFlags.debug_mode;
inline bool& g_InAWindow = g_RunnerFlags.in_a_window;
inline bool& g_SteamMode = g_RunnerFlags.steam_mode;
inline int& g_ProfilerOverlayFlags = g_RunnerFlags.profiler_overlay_flags;
