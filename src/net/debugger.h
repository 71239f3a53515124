// The remote-debugger link and the debug window, as far as the rest of the
// runner needs them.
#pragma once
#include <cstdint>

// The debug window (debug mode only) and its message list.
bool Debug_WindowExists();
void Debug_AddMessage(const char* text);
void Debug_RefreshWindow();
// Console text collected for the remote debugger while its server runs.
bool Debug_ServerStarted();
void Debug_CollectOutput(const char* text);
// The "Start Server" step: the debugger's TCP server on port 6502.
void Debug_StartServer();
// Once a frame while the debugger server runs.
void Debug_Tick();

// Built-in groups and shutdown.
void InitNetworkingFunctions();
void InitDPlayFunctions();
void Network_DestroyAll();
// Per step after the begin-step events.
void Network_Poll();
