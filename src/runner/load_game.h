// Finding, reading and walking the game's data container at start-up: each
// chunk goes to the subsystem that owns it.
#pragma once

class ChunkBody;
class GameDataFile;
class IniFile;

// Start-up: find and read the container, "options.ini" and the debug file.
// False (after saying why) when no usable container was found.
bool RunnerLoadGame();

// "LoadGameData()": the main chunk walk over the loaded container.
bool LoadGameData();
// The main chunk walk; false when a chunk was foreign or damaged.
bool GameData_ProcessChunks(const GameDataFile& file);
void Options_ReadIni(const IniFile& ini);
