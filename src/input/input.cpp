#include "input/input.h"

bool g_IORecord = false;
bool g_IOPlayback = false;
std::string g_IOFileName;

void IO_Init() {}
void IO_Shutdown() {}
void IO_Clear() {}
void IO_ReadVirtualButtonsIni(const IniFile&) {}
void InitGamepadFunctions() {}
