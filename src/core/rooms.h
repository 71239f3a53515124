// Rooms and the room table, as far as loading needs them so far.
#pragma once
#include <cstdint>
#include <vector>

#include "core/game_data.h"

bool Room_Load(const ChunkBody& body);
void Room_Clear();
bool Room_Prepare();
void Room_FreeAll();
void Room_SetLastInstanceId(uint32_t id);
void Room_SetLastTileId(uint32_t id);
void Room_SetOrder(const std::vector<int32_t>& order);
const std::vector<int32_t>& Room_GetOrder();
