// Steam integration, as far as start-up and shutdown need it so far.
#pragma once
#include <cstdint>

// Registers the Steam built-ins after starting the client library.
void InitSteamFunctions();
void Steam_Shutdown();
// Per-step Steam callbacks.
void Steam_Process();
