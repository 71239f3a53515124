// Scripts, as far as start-up and shutdown need them so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

bool Script_Load(const ChunkBody& body);
void Script_Clear();
bool Script_Prepare();
void Script_Shutdown();
void Arguments_FreeAll();
