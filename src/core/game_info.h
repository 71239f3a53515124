// The general-information chunk (GEN8; GEN7 and GENL share its layout): the
// game's names, id counters, window size and flags, feature words and the
// room order. Read once by the header pass and again by the main walk.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/game_data.h"

// Information flags (word 17).
constexpr uint32_t kInfoBorderless = 0x1;
constexpr uint32_t kInfoArrowCursor = 0x20;
constexpr uint32_t kInfoResizable = 0x40;
constexpr uint32_t kInfoSteam = 0x1000;
constexpr uint32_t kInfoRoamingSave = 0x2000;

struct GameInfoHeader {
  bool read = false;  // the main walk has read it
  uint8_t debug_byte = 0xFF;
  uint8_t version = 0;
  std::string name;
  std::string config;
  std::string display_name;
  uint32_t last_instance_id = 0;
  uint32_t last_tile_id = 0;
  int32_t game_id = 0;
  uint32_t words6_9[4] = {};
  uint32_t width = 800;
  uint32_t height = 480;
  uint32_t flags = 2;
  int64_t value26 = 0;
  uint64_t feature_mask = ~uint64_t(0);
  uint32_t steam_app_id = 0;
  std::vector<int32_t> room_order;
};

const GameInfoHeader& GameInfo_Get();
void GameInfo_Reset();

// The header pass over the whole container: GEN8, CODE, STRG and VARI, and
// the registration of every built-in group. DataError when one is damaged.
void GameData_LoadHeader(const GameDataFile& file);
// Runs as the header pass reads the header, with its information flags:
// the runner registers the built-in functions there.
using GameData_HeaderHook = void (*)(uint32_t flags);
void GameData_SetHeaderHook(GameData_HeaderHook hook);
// The main walk's reader: counters and the room order.
bool GameData_ReadGEN8(const ChunkBody& body);

// Where the room order's count word stands for a format version.
uint32_t GameInfo_RoomOrderWord(uint8_t version);
