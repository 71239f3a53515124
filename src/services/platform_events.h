// The hand-over channels from platform back ends to the main thread: queued
// script callbacks and the in-app purchase event. No back end here fills
// them, so each step the drains only take and release their locks.
#pragma once
#include <cstdint>

class Mutex;

// The platform services' locks, made at first use and kept for the run.
Mutex& Platform_AchievementLock();
Mutex& Platform_PurchaseLock();
Mutex& Platform_CallbackLock();

// Runs each queued call (script index, argument count, the arguments) with
// no self and no other; a value that names no script is dropped.
void Platform_RunQueuedCallbacks();
// Performs other event 66 for the instances of the objects that have it when
// the pending flag is set, then clears the purchase queue and the flag.
void Platform_DispatchIAPEvent();

// The queues' ids (-1: none) and the pending flag, as a back end sets them
// under the matching lock.
int32_t Platform_CallbackQueue();
void Platform_SetCallbackQueue(int32_t id);
int32_t Platform_PurchaseQueue();
void Platform_SetPurchaseQueue(int32_t id);
void Platform_RaisePurchaseEvent();
// Forgets the queues and the flag (the game's end).
void Platform_ResetEventQueues();
