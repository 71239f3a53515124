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
void IO_ReadVirtualButtonsIni(const IniFile& ini);
void InitGamepadFunctions();
