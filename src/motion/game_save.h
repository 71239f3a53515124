// Saving the whole running game (run globals, global variables, every
// running room copy with its tiles and instances, and the virtual buttons)
// as one stream of typed values, and loading it back at the start of the
// next game step.
#pragma once
#include <string>

class ValueStream;

// The stream written at the buffer's position; false when the id names no
// buffer or the buffer could not take it all.
bool GameSave_SaveToBuffer(int bufferId);
// The stream written as a whole file into the save area; false when it
// could not be written (the debug console says why).
bool GameSave_SaveFile(const std::string& name);
// Queues the buffer for loading at the start of the next step; false (with
// a warning) when a file load is already waiting or the id names no buffer.
bool GameSave_QueueLoad(int bufferId);
// Reads the file (save area first, then the game's own files) into a buffer
// of its own and queues it; a missing file prints a warning and changes
// nothing.
void GameSave_LoadFile(const std::string& name);
// The queued load, if any: true when the whole stream was read and applied.
// A stream that is damaged anywhere changes nothing.
bool GameSave_PerformQueuedLoad();
// Nothing queued; a buffer made for a file load is deleted.
void GameSave_Reset();

// The stream itself, for the buffer and file forms above and for tests.
bool GameSave_WriteStream(ValueStream* stream);
bool GameSave_ReadStream(ValueStream* stream);
