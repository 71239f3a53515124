// Timelines, as far as loading needs them so far.
#pragma once
#include <cstdint>
#include <string>

#include "core/game_data.h"

bool TimeLine_Load(const ChunkBody& body);
void TimeLine_Clear();
bool TimeLine_Prepare();
// The name of timeline `index`; "<undefined>" for a bad index or empty slot.
std::string TimeLine_GetName(int index);
