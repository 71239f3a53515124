// Extension packages and external libraries, as far as start-up needs them
// so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

extern bool g_NoExternalCalls;  // "-ext": calls into external libraries do nothing

bool Extension_Load(const ChunkBody& body);
bool Extension_Prepare();
