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
