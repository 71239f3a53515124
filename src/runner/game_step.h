// The game step: every event group in its fixed order, with the pending
// changes applied after each group.
#pragma once
#include <cstdint>

void Run_GameStep();
// Applies the pending object, depth and activation changes, in that order.
void Run_FlushPendingChanges();
void Run_ApplyObjectChanges();
void Run_ApplyDepthChanges();
// Empties the object-change and depth-change lists.
void Run_ClearPendingChanges();
