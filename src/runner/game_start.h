// Game start and end, entering and leaving rooms.
#pragma once
#include <cstdint>

// Starts or restarts the game: enters the first room of the room order.
void StartGame();
// True when the last start found no room to enter; the run then ends with
// a failure status.
bool Game_StartFailed();
// Ends the game: room end and game end events, the extensions' finalisation.
void EndGame();
void Run_SwitchRoom(int32_t room);
void Run_EnterRoom(int32_t room, bool gameStart);
void Run_LeaveRoom(bool gameEnd);
void Run_FreePersistentCarry();
