#include "core/game_step.h"

void Run_ClearPendingChanges() {}
