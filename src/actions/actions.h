// The action library: the built-ins behind the object editor's
// drag-and-drop actions, and the entry points compiled event code calls
// directly. Coordinates and values of many actions are relative to self
// while the relative flag is set.
#pragma once
#include <cstdint>

class CObjInstance;

void InitActionFunctions();
// The state of a fresh run: relative flag off, no action particle system.
void Action_Reset();

bool Action_GetRelative();
// Stores the flag and answers it.
bool Action_SetRelative(uint8_t flag);

void Action_Move(CObjInstance* self, const char* mask, double speed);
// The new instance, or null when the object does not exist.
CObjInstance* Action_CreateObject(CObjInstance* self, int32_t object, double x, double y);
void Action_KillObject(CObjInstance* self);
void Action_PlaySound(int32_t sound, bool loop);
void Action_StopSound(int32_t sound);
void Action_SetAlarm(CObjInstance* self, double steps, double alarm);
void Action_EndGame();
