#include "input/input.h"

bool g_IORecord = false;
bool g_IOPlayback = false;
std::string g_IOFileName;

void IO_Init() {}
void IO_Shutdown() {}
void IO_Clear() {}
void IO_DrawVirtualButtons() {}
void IO_VirtualButtonsClear() {}
void IO_Update() {}
bool IO_KeyIsDown(int) { return false; }
bool IO_KeyWasPressed(int) { return false; }
bool IO_KeyWasReleased(int) { return false; }
void IO_ReadVirtualButtonsIni(const IniFile&) {}
void InitGamepadFunctions() {}
