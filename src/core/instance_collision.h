// Collision queries over a target: -3 every active instance, 100000 and up an
// instance id, anything else an object with its descendants.
#pragma once
#include <cstdint>
#include <functional>

#include "script/targets.h"

class CObjInstance;

struct IntRect {
  int32_t left, top, right, bottom;
};
// Whether the point lies in the ellipse inscribed in the rectangle.
bool Ellipse_ContainsPoint(const IntRect& r, double px, double py);

CObjInstance* Collision_Point(CObjInstance* self, float x, float y, int32_t target, bool precise, bool notme);
CObjInstance* Collision_Rectangle(CObjInstance* self, float x1, float y1, float x2, float y2, int32_t target,
                                  bool precise, bool notme);
CObjInstance* Collision_Ellipse(CObjInstance* self, float x1, float y1, float x2, float y2, int32_t target,
                                bool precise, bool notme);
CObjInstance* Collision_Line(CObjInstance* self, float x1, float y1, float x2, float y2, int32_t target,
                             bool precise, bool notme);
CObjInstance* Instance_Position(float x, float y, int32_t target);
bool Position_Occupied(float x, float y, int32_t target);

// The first live instance of the target, in order, that fn accepts; null
// when none does.
CObjInstance* Target_Find(int32_t target, const std::function<bool(CObjInstance*)>& fn);
