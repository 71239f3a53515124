#include "net/debugger.h"

// The debugger server and debug window arrive with the networking subsystem;
// until then neither exists.
bool Debug_WindowExists() { return false; }
void Debug_AddMessage(const char*) {}
void Debug_RefreshWindow() {}
bool Debug_ServerStarted() { return false; }
void Debug_CollectOutput(const char*) {}
void Debug_StartServer() {}
void Debug_Tick() {}

void InitNetworkingFunctions() {}
void InitDPlayFunctions() {}
void Network_DestroyAll() {}
void Network_Poll() {}
