#include "core/game_start.h"

void EndGame() {}
void Run_FreePersistentCarry() {}
