// The window-event pump: drains SDL's event queue. Window and input events
// are handed to the handlers registered here; a quit request is reported.
#pragma once
#include <functional>

union SDL_Event;

// Handler for every event other than quit; the window layer installs it.
void Events_SetHandler(std::function<void(const SDL_Event&)> handler);
// Drains the queue. Returns false when a quit request was taken from it.
bool Events_Pump();
// Queues a quit request (the next pump returns false).
void Events_PostQuit();
// Releases SDL at the very end of the run.
void Events_Shutdown();
