// Feeds arbitrary containers to the room loader (GEN8 for the format version
// and the room order, CODE for the creation-code indices, then ROOM), and
// works every loaded room: copies both ways, duplicates, tile searches, sorts
// and deletions, and the order lookups.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/code_chunks.h"
#include "core/game_data.h"
#include "core/game_info.h"
#include "core/rooms.h"
#include "runner/startup.h"
#include "script/vm.h"

namespace {

void Exercise() {
  const int32_t count = Room_Count();
  for (int32_t i = -1; i <= count; ++i) {
    Room_GetName(i);
    CGameRoom* def = Room_Get(i);
    if (!def) continue;
    CGameRoom running;
    running.CopyFrom(*def, true);
    running.SortTiles();
    for (int32_t t = 0; t < running.TileCount() && t < 8; ++t) {
      const RoomTile tile = running.Tiles()[t];
      running.FindTileById(tile.id);
      running.FindTileAt(tile.x, tile.y, tile.depth < 0);
      running.FindTileInLayer(tile.depth, tile.x, tile.y);
      running.ShiftTileLayer(tile.depth, 1, 1);
    }
    if (running.TileCount() > 0) {
      const RoomTile first = running.Tiles()[0];
      running.DeleteTilesAt(first.x, first.y, first.depth <= 0);
      running.DeleteTile(running.TileCount() - 1);
    }
    running.AddTile(RoomTile());
    running.ScrollBackgrounds();
    CGameRoom copy;
    copy.CopyFrom(running, false);
  }
  if (count > 0 && count < 64) Room_Duplicate(count - 1);
  for (int32_t room : Room_GetOrder()) {
    Room_Previous(room);
    Room_Next(room);
  }
  Room_OrderProblem();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  Room_Clear();
  Code_Clear();
  GameInfo_Reset();
  try {
    GameDataFile file(std::vector<uint8_t>(data, data + size));
    const std::vector<ChunkRef> chunks = file.Chunks();
    for (const ChunkRef& c : chunks) {
      ChunkBody body(file, c);
      if (!std::memcmp(c.tag, "GEN8", 4)) GameData_ReadGEN8(body);
      if (!std::memcmp(c.tag, "CODE", 4)) Code_Load(body);
    }
    for (const ChunkRef& c : chunks) {
      ChunkBody body(file, c);
      if (std::memcmp(c.tag, "ROOM", 4) != 0) continue;
      body.OffsetList();
      Room_Load(body);
    }
  } catch (const DataError&) {
    // Refusing damaged data is the expected outcome; whatever remains is
    // still worked below.
  }
  Exercise();
  Room_Clear();
  Code_Clear();
  return 0;
}
