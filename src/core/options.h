// The options chunk (OPTN): the game's settings from the authoring tool.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/game_data.h"

struct GameOptions {
  // Words 0 to 34 as loaded (flags as 0 or 1); named below where read.
  uint32_t words[35] = {};
  bool fullscreen = false;         // 0
  bool new_audio = false;          // 2: SOND/AUDO go to the new audio system
  bool show_cursor = true;         // 4
  uint32_t window_colour = 0xFFFFFF;  // 8
  bool change_resolution = false;  // 9
  uint32_t colour_depth = 0;       // 10
  uint32_t resolution = 0;         // 11
  uint32_t frequency = 0;          // 12
  bool alt_enter = true;           // 15
  bool freeze_inactive = false;    // 22
  std::string word26;              // 26
  bool abort_on_error = false;     // 32
  bool unset_variable_error = false;  // 33
  std::vector<std::string> constant_names;
  std::vector<std::string> constant_values;
  int version_major = 0;
  int version_minor = 0;
};

const GameOptions& Options_Get();
GameOptions& Options_Mutable();
// Clears the full-screen word ("-inawindow").
void Options_ClearFullScreen();
// Defaults for every option; the audio choice is kept.
void Options_Reset();
bool Options_Load(const ChunkBody& body);
