// Motion, paths and motion planning, as far as start-up and shutdown need them
// so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"
#include "core/paths.h"

void MotionGrid_FreeAll();
void InitGameFunctions();
void InitActionFunctions();
