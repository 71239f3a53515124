// Timelines, as far as loading needs them so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

bool TimeLine_Load(const ChunkBody& body);
void TimeLine_Clear();
bool TimeLine_Prepare();
