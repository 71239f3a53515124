// Game start and end, entering and leaving rooms.
#pragma once
#include <cstdint>

// Ends the game: room end and game end events, the extensions' finalisation.
void EndGame();
void Run_FreePersistentCarry();
