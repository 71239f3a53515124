// Instance commands: creating and destroying instances from events.
#pragma once
#include <cstdint>
#include <vector>

class CObjInstance;

// A new instance of the object in the current room, with its create event
// run at once; null (after an error report) when the object does not exist.
CObjInstance* Instance_Create(int32_t objectIndex, float x, float y);
// Runs the destroy event once and marks the instance dead; it leaves the
// lists at the end of the step.
void Instance_Destroy(CObjInstance* instance);
// The direct forms compiled code calls: the new instance's id (-1 when the
// object does not exist), and the destroy of the given instance.
int32_t Instance_CreateAt(float x, float y, int32_t objectIndex);
void Instance_DestroySelf(CObjInstance* instance);
// A new instance of self's object at self's place holding self's whole state
// but its own new id; its create event runs when asked. Null without a room
// or an object.
CObjInstance* Instance_Copy(CObjInstance* self, bool performEvent);

// Activation: the flag changes at once, so every query and dispatcher skips
// the instance from now on; the room lists follow at the next flush of the
// pending changes. Each instance is listed at most once.
void Instance_Deactivate(CObjInstance* instance);
void Instance_Activate(CObjInstance* instance);
// The room's instances that are not dead and are active (or deactivated),
// from the active list and then the deactivated list.
std::vector<CObjInstance*> Instance_CollectActive();
std::vector<CObjInstance*> Instance_CollectDeactivated();
// Whether the instance lies wholly outside the region (its box, or its
// position without a sprite or mask); a box touching the border is inside.
bool Instance_OutsideRegion(CObjInstance* instance, float left, float top, float right, float bottom);

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
// Unit steps in the direction: up to contact (nothing when the place is not
// free now), or until the place is free. At most maxDistance rounded steps,
// 1000 when it is 0 or less; a direction with no finite step moves nothing,
// and a move that can meet nothing more, or no longer moves the instance,
// ends without walking the rest one step at a time.
void Instance_MoveContact(CObjInstance* self, float direction, float maxDistance, bool all);
bool Instance_MoveOutside(CObjInstance* self, float direction, float maxDistance, bool all);
void Instance_MoveBounce(CObjInstance* self, bool advanced, bool all);
void Position_Destroy(float x, float y);
void Position_Change(float x, float y, int32_t objectIndex, bool performEvents);
