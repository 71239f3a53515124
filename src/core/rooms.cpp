#include "core/rooms.h"

namespace {
uint32_t g_lastInstanceId = 0;
uint32_t g_lastTileId = 0;
std::vector<int32_t> g_order;
}

bool Room_Load(const ChunkBody&) { return true; }
void Room_Clear() {}
bool Room_Prepare() { return true; }
void Room_FreeAll() { g_order.clear(); }
void Room_SetLastInstanceId(uint32_t id) { g_lastInstanceId = id; }
void Room_SetLastTileId(uint32_t id) { g_lastTileId = id; }
void Room_SetOrder(const std::vector<int32_t>& order) { g_order = order; }
const std::vector<int32_t>& Room_GetOrder() { return g_order; }
