// Motion, paths and motion planning, as far as start-up and shutdown need them
// so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

void Path_Init();
void Path_FreeAll();
bool Path_Load(const ChunkBody& body);
void MotionGrid_FreeAll();
void InitGameFunctions();
void InitActionFunctions();
