// Input: keyboard, mouse and gamepads, recording and playback, as far as
// start-up and shutdown need them so far.
#pragma once
#include <cstdint>
#include <string>

class IniFile;

extern bool g_IORecord;         // "-record"
extern bool g_IOPlayback;       // "-playback"
extern std::string g_IOFileName;  // the record or playback file

void IO_Init();
void IO_Shutdown();
// Forgets all held, pressed and released keys and buttons.
void IO_Clear();
// Draws the visible virtual buttons over the frame.
void IO_DrawVirtualButtons();
// Marks every virtual button free (a room is left).
void IO_VirtualButtonsClear();
// Per-step input update at the start of each game step.
void IO_Update();
// Key and mouse state of the current step (false outside their ranges).
bool IO_KeyIsDown(int key);
bool IO_KeyWasPressed(int key);
bool IO_KeyWasReleased(int key);
void IO_ReadVirtualButtonsIni(const IniFile& ini);
void InitGamepadFunctions();
