#include "steam/steam.h"

void InitSteamFunctions() {}
void Steam_Shutdown() {}
void Steam_Process() {}
