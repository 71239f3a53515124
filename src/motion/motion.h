// Motion, paths and motion planning: the built-in groups and families this
// subsystem registers, and its grids.
#pragma once
#include <cstdint>

#include "core/game_data.h"
#include "core/paths.h"
#include "motion/grids.h"

void InitGameFunctions();
// The path family of the "Resource.." group, registered after the families
// before it.
void Path_RegisterResourceFunctions();
