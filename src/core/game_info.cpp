#include "core/game_info.h"

#include <cstring>

#include "core/code_chunks.h"
#include "script/console.h"
#include "core/rooms.h"

namespace {
GameInfoHeader g_info;

int64_t Make64(uint32_t lo, uint32_t hi) { return int64_t(int32_t(lo)) | int64_t(uint64_t(hi) << 32); }

void ReadHeaderFields(const ChunkBody& b) {
  const GameDataFile& f = b.File();
  uint32_t w0 = b.Word(0);
  g_info.debug_byte = uint8_t(w0);
  g_info.version = uint8_t(w0 >> 8);
  g_info.name = std::string(f.String(b.Word(1)));
  g_info.config = std::string(f.String(b.Word(2)));
  // Below version 8 word 10 already belongs to the room order, so those
  // headers carry no display name.
  g_info.display_name = g_info.version >= 8 ? std::string(f.String(b.Word(10))) : std::string();
  g_info.game_id = int32_t(b.Word(5));
}
}  // namespace

const GameInfoHeader& GameInfo_Get() { return g_info; }
void GameInfo_Reset() { g_info = GameInfoHeader(); }

uint32_t GameInfo_RoomOrderWord(uint8_t version) {
  switch (version) {
    case 10: return 26;
    case 11: return 28;
    case 12: return 30;
    case 13: return 31;
    default: return version < 8 ? 9 : 25;
  }
}

namespace {
GameData_HeaderHook g_headerRead = nullptr;
}  // namespace

void GameData_SetHeaderHook(GameData_HeaderHook hook) { g_headerRead = hook; }

static void HeaderPassGen8(const ChunkBody& b) {
  g_DebugConsole->Output("Get Header Information\n");
  ReadHeaderFields(b);
  uint8_t v = g_info.version;
  // The room-order count word must exist; it also bounds every field read here.
  b.Word(GameInfo_RoomOrderWord(v));
  uint32_t flags = v >= 8 ? b.Word(17) : 2;
  if (v >= 11) g_info.value26 = Make64(b.WordOr(26, 0), b.WordOr(27, 0));
  g_info.feature_mask = v >= 12 ? uint64_t(Make64(b.WordOr(28, 0), b.WordOr(29, 0))) : ~uint64_t(0);
  if (v >= 13) g_info.steam_app_id = b.WordOr(30, 0);
  if (v >= 8) {
    g_info.width = b.Word(15);
    g_info.height = b.Word(16);
    g_info.flags = flags;
  }
  GameData_SetFormatGeneration(800);
  if (g_headerRead) g_headerRead(flags);
}

void GameData_LoadHeader(const GameDataFile& file) {
  // The tables of an earlier container point into it: start afresh.
  Code_Clear();
  if (!file.LengthMatches()) return;
  for (const ChunkRef& c : file.Chunks()) {
    if (c.length == 0) continue;
    ChunkBody body(file, c);
    if (!std::memcmp(c.tag, "GEN7", 4) || !std::memcmp(c.tag, "GEN8", 4) || !std::memcmp(c.tag, "GENL", 4)) {
      HeaderPassGen8(body);
    } else if (!std::memcmp(c.tag, "CODE", 4)) {
      g_DebugConsole->Output("Code_Load()\n");
      Code_Load(body);
    } else if (!std::memcmp(c.tag, "STRG", 4)) {
      g_DebugConsole->Output("ID_STRG\n");
      Strings_Load(body);
    } else if (!std::memcmp(c.tag, "VARI", 4)) {
      g_DebugConsole->Output("VARI_Load()\n");
      VARI_Load(body);
    }
  }
}

bool GameData_ReadGEN8(const ChunkBody& b) {
  ReadHeaderFields(b);
  uint8_t v = g_info.version;
  for (int i = 0; i < 4; ++i) g_info.words6_9[i] = b.Word(6 + uint32_t(i));
  g_info.last_instance_id = b.Word(3);
  g_info.last_tile_id = b.Word(4);
  Room_SetLastInstanceId(g_info.last_instance_id);
  Room_SetLastTileId(g_info.last_tile_id);
  if (v >= 8) {
    g_info.width = b.Word(15);
    g_info.height = b.Word(16);
    g_info.flags = b.Word(17);
  }
  uint32_t countWord = GameInfo_RoomOrderWord(v);
  uint32_t count = b.Word(countWord);
  if (uint64_t(countWord) + 1 + count > b.WordCount()) {
    throw DataError("GEN8 room order lists " + std::to_string(count) + " rooms, more than the chunk holds");
  }
  g_info.room_order.resize(count);
  for (uint32_t i = 0; i < count; ++i) g_info.room_order[i] = int32_t(b.Word(countWord + 1 + i));
  Room_SetOrder(g_info.room_order);
  g_info.read = true;
  return true;
}
