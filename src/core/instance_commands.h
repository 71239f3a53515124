// Instance commands: creating and destroying instances from events.
#pragma once
#include <cstdint>

class CObjInstance;

// A new instance of the object in the current room, with its create event
// run at once; null (after an error report) when the object does not exist.
CObjInstance* Instance_Create(int32_t objectIndex, float x, float y);
// Runs the destroy event once and marks the instance dead; it leaves the
// lists at the end of the step.
void Instance_Destroy(CObjInstance* instance);

// move_snap: to the nearest multiple of each positive grid size.
void Instance_SnapToGrid(CObjInstance* instance, float hsnap, float vsnap);
// The wrap action: leaving one side of the room comes back in at the other.
void Instance_Wrap(CObjInstance* instance, bool horizontal, bool vertical);
// move_towards_point: heads for the point at the speed given.
void Instance_MoveTowardsPoint(CObjInstance* instance, float x, float y, float speed);

// instance_change: destroy event of the old object and create event of the
// new one when asked.
void Instance_ChangeObject(CObjInstance* instance, int32_t objectIndex, bool performEvents);
void Instance_SetSprite(CObjInstance* instance, int32_t spriteIndex);
// Counts live instances of a target (-3 all, an id, an object with its
// descendants and the instances changing into it this step).
int32_t Instance_Number(int32_t target);
CObjInstance* Instance_Nearest(float x, float y, int32_t target);
CObjInstance* Instance_Furthest(float x, float y, int32_t target);
// The first live instance of the target that self would touch at (x, y).
CObjInstance* Instance_Place(CObjInstance* self, float x, float y, int32_t target);
bool Instance_PlaceMeeting(CObjInstance* self, int32_t target, float x, float y);
bool Instance_PlaceEmpty(CObjInstance* self, float x, float y);
bool Instance_PlaceFree(CObjInstance* self, float x, float y);
void Instance_MoveContact(CObjInstance* self, float direction, float maxDistance, bool all);
bool Instance_MoveOutside(CObjInstance* self, float direction, float maxDistance, bool all);
void Instance_MoveBounce(CObjInstance* self, bool advanced, bool all);
void Position_Destroy(float x, float y);
void Position_Change(float x, float y, int32_t objectIndex, bool performEvents);
