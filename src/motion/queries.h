// Instance queries the collision back ends do not answer: the n-th instance
// of a target, whether a target has a live instance, and the gap between
// bounding boxes. Targets are read as the collision queries read them (-3
// all, an object with its descendants, 100000 and up an id); only live
// instances count.
#pragma once
#include <cstdint>

class CObjInstance;

// What the box distances start from and what a missing instance is away.
constexpr double kBoxDistanceNone = 1000000.0;

// The n-th live instance of the target counted from 0 in list order; for an
// id only n = 0 finds it. Null when there is none.
CObjInstance* Instance_FindNth(int32_t target, int32_t n);
// -1 and -2 stand for self and other here. An object also has an instance
// when one activated this step waits to rejoin its lists.
bool Instance_Exists(CObjInstance* self, CObjInstance* other, int32_t target);
// The gap between the two bounding boxes, 0 where they overlap or touch;
// kBoxDistanceNone when a is missing, dead, deactivated or b itself.
double Instance_BoxDistance(CObjInstance* a, CObjInstance* b);
// The smallest box distance from self to an instance of the target (-2:
// other); kBoxDistanceNone when none is nearer.
double Instance_DistanceToObject(CObjInstance* self, CObjInstance* other, int32_t target);
