// The game step: every event group in its fixed order, with the pending
// changes applied after each group.
#pragma once
#include <cstdint>

void Run_GameStep();
// Applies the pending object, depth and activation changes, in that order.
void Run_FlushPendingChanges();
void Run_ApplyObjectChanges();
void Run_ApplyDepthChanges();
// Empties the object-change and depth-change lists.
void Run_ClearPendingChanges();
// The asynchronous pump: the purchase event, the queued callbacks, the HTTP
// poll, then every finished request record completed and its event fired.
void Run_ProcessAsyncQueue();
// Other event `subtype` for the listed objects; only the subtypes the pump
// delivers (60 to 64, 67, 69 to 71).
void Run_DispatchAsyncEvent(int subtype);
