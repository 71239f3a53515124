#include "core/instance_collision.h"

#include <algorithm>
#include <cmath>

#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "script/convert.h"
#include "core/precise.h"

namespace {

int32_t Near(float v) { return Real_RoundToInt32(double(v)); }

int32_t ShapeSprite(const CObjInstance* i) { return i->mask_index >= 0 ? i->mask_index : i->sprite_index; }

// The shape sprite exists and has frames.
bool Hittable(const CObjInstance* i, SpriteShape* shape) {
  return Instance_LookUpSprite(ShapeSprite(i), shape) && shape->frames > 0;
}

MaskPlacement Placement(const CObjInstance* i) {
  MaskPlacement p;
  p.frame = Real_ToInt32(std::trunc(double(i->image_index)));
  p.left = i->bbox_left;
  p.top = i->bbox_top;
  p.right = i->bbox_right;
  p.bottom = i->bbox_bottom;
  p.x = Near(i->x);
  p.y = Near(i->y);
  p.xscale = i->image_xscale;
  p.yscale = i->image_yscale;
  p.angle = i->image_angle;
  return p;
}

// The mask view of a precise shape sprite; false when there is none to ask.
bool PreciseMask(const CObjInstance* i, MaskView* view) {
  SpriteShape shape;
  return Hittable(i, &shape) && Precise_LookUpMask(ShapeSprite(i), view);
}

// The box test shared by the rectangle, ellipse and line tests.
bool BoxMisses(CObjInstance* i, float minx, float miny, float maxx, float maxy) {
  i->EnsureBoundingBox();
  return float(i->bbox_right) + 1 <= minx || float(i->bbox_left) > maxx || float(i->bbox_bottom) + 1 <= miny ||
         float(i->bbox_top) > maxy || i->MarkedDead();
}

}  // namespace

bool Ellipse_ContainsPoint(const IntRect& r, double px, double py) {
  // In 64 bits: the rectangle's edges may lie anywhere in 32.
  const int64_t cx = (int64_t(r.left) + r.right) / 2, cy = (int64_t(r.top) + r.bottom) / 2;
  const int64_t rx = (int64_t(r.right) - r.left) / 2, ry = (int64_t(r.bottom) - r.top) / 2;
  // A zero radius is no division, but keeps what the division would give:
  // 0 / 0 is not a number (counted as inside), anything else infinite.
  auto term = [](double d, int64_t radius) {
    if (radius != 0) return (d / radius) * (d / radius);
    return d == 0 ? double(NAN) : INFINITY;
  };
  return !(term(px - double(cx), rx) + term(py - double(cy), ry) > 1.0);
}

bool CObjInstance::CollidesWithPoint(float px, float py, bool precise) {
  EnsureBoundingBox();
  if (px >= float(bbox_right) + 1 || px < float(bbox_left) || py >= float(bbox_bottom) + 1 || py < float(bbox_top) ||
      MarkedDead())
    return false;
  SpriteShape shape;
  if (!Hittable(this, &shape)) return false;
  MaskView view;
  if (precise && shape.precise && Precise_LookUpMask(ShapeSprite(this), &view))
    return Precise_Point(view, Placement(this), Near(px), Near(py));
  return true;
}

bool CObjInstance::CollidesWithRectangle(float x1, float y1, float x2, float y2, bool precise) {
  float minx = std::min(x1, x2), maxx = std::max(x1, x2), miny = std::min(y1, y2), maxy = std::max(y1, y2);
  if (BoxMisses(this, minx, miny, maxx, maxy)) return false;
  if (!precise || !this->precise) return true;
  MaskView view;
  if (!PreciseMask(this, &view)) return false;
  return Precise_Rectangle(view, Placement(this), {Near(minx), Near(miny), Near(maxx), Near(maxy)});
}

bool CObjInstance::CollidesWithEllipse(float x1, float y1, float x2, float y2, bool precise) {
  float minx = std::min(x1, x2), maxx = std::max(x1, x2), miny = std::min(y1, y2), maxy = std::max(y1, y2);
  if (BoxMisses(this, minx, miny, maxx, maxy)) return false;
  if (Near(x1) == Near(x2) || Near(y1) == Near(y2)) return CollidesWithRectangle(x1, y1, x2, y2, precise);
  IntRect e{Near(minx), Near(miny), Near(maxx), Near(maxy)};
  double cx = (double(x1) + x2) / 2, cy = (double(y1) + y2) / 2;
  bool outsideX = cx < bbox_left || cx > bbox_right, outsideY = cy < bbox_top || cy > bbox_bottom;
  if (outsideX && outsideY) {
    const double corners[4][2] = {
        {double(bbox_left), double(bbox_top)},
        {double(bbox_left), double(bbox_bottom)},
        {double(bbox_right), double(bbox_top)},
        {double(bbox_right), double(bbox_bottom)},
    };
    bool any = false;
    for (const auto& c : corners) any = any || Ellipse_ContainsPoint(e, c[0], c[1]);
    if (!any) return false;
  }
  if (!precise || !this->precise) return true;
  MaskView view;
  if (!PreciseMask(this, &view)) return false;
  return Precise_Ellipse(view, Placement(this), {e.left, e.top, e.right, e.bottom});
}

bool CObjInstance::CollidesWithLine(float x1, float y1, float x2, float y2, bool precise) {
  float minx = std::min(x1, x2), maxx = std::max(x1, x2), miny = std::min(y1, y2), maxy = std::max(y1, y2);
  if (BoxMisses(this, minx, miny, maxx, maxy)) return false;
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const float left = float(bbox_left), right = float(bbox_right) + 1;
  if (x1 < left && x2 != x1) {
    y1 = y1 + (left - x1) * (y2 - y1) / (x2 - x1);
    x1 = left;
  }
  if (x2 > right && x2 != x1) {
    y2 = y2 + (right - x2) * (y2 - y1) / (x2 - x1);
    x2 = right;
  }
  const float top = float(bbox_top), bottom = float(bbox_bottom) + 1;
  if ((y1 < top && y2 < top) || (y1 >= bottom && y2 >= bottom)) return false;
  if (!precise || !this->precise) return true;
  MaskView view;
  if (!PreciseMask(this, &view)) return false;
  return Precise_Line(view, Placement(this), Near(x1), Near(y1), Near(x2), Near(y2));
}

bool CObjInstance::CollidesWithInstance(CObjInstance* other, bool precise) {
  if (!other || other == this || MarkedDead() || other->MarkedDead()) return false;
  EnsureBoundingBox();
  other->EnsureBoundingBox();
  // Inclusive boxes compared as they are: an edge may be INT32_MAX.
  if (other->bbox_left > bbox_right || bbox_left > other->bbox_right || other->bbox_top > bbox_bottom ||
      bbox_top > other->bbox_bottom)
    return false;
  SpriteShape mine, theirs;
  if (!Hittable(this, &mine) || !Hittable(other, &theirs)) return false;
  if (!precise || (!mine.precise && !theirs.precise)) return true;
  MaskView a, b;
  // Without the masks to ask, the boxes decide.
  if (!Precise_LookUpMask(ShapeSprite(this), &a) || !Precise_LookUpMask(ShapeSprite(other), &b)) return true;
  return Precise_Sprite(a, Placement(this), b, Placement(other));
}

CObjInstance* Target_Find(int32_t target, const std::function<bool(CObjInstance*)>& fn) {
  if (target == kInstanceAll) {
    if (!g_Run.room) return nullptr;
    for (CObjInstance* i : g_Run.room->active)
      if (i->IsLive() && fn(i)) return i;
    return nullptr;
  }
  if (target >= kObjectIndexLimit) {
    CObjInstance* i = g_InstanceIdMap.Find(target);
    return i && i->IsLive() && fn(i) ? i : nullptr;
  }
  CObject* object = Object_Find(target);
  if (!object) return nullptr;
  for (CObjInstance* i : object->AllInstances())
    if (i->IsLive() && fn(i)) return i;
  return nullptr;
}

namespace {

CObjInstance* Query(CObjInstance* self, int32_t target, bool notme,
                    const std::function<bool(CObjInstance*)>& test) {
  if (target >= kObjectIndexLimit && notme && self && self->id == target) return nullptr;
  return Target_Find(target, [&](CObjInstance* i) { return !(notme && i == self) && test(i); });
}

}  // namespace

CObjInstance* Collision_Point(CObjInstance* self, float x, float y, int32_t target, bool precise, bool notme) {
  return Query(self, target, notme, [&](CObjInstance* i) { return i->CollidesWithPoint(x, y, precise); });
}

CObjInstance* Collision_Rectangle(CObjInstance* self, float x1, float y1, float x2, float y2, int32_t target,
                                  bool precise, bool notme) {
  return Query(self, target, notme,
               [&](CObjInstance* i) { return i->CollidesWithRectangle(x1, y1, x2, y2, precise); });
}

CObjInstance* Collision_Ellipse(CObjInstance* self, float x1, float y1, float x2, float y2, int32_t target,
                                bool precise, bool notme) {
  return Query(self, target, notme, [&](CObjInstance* i) { return i->CollidesWithEllipse(x1, y1, x2, y2, precise); });
}

CObjInstance* Collision_Line(CObjInstance* self, float x1, float y1, float x2, float y2, int32_t target,
                             bool precise, bool notme) {
  return Query(self, target, notme, [&](CObjInstance* i) { return i->CollidesWithLine(x1, y1, x2, y2, precise); });
}

CObjInstance* Instance_Position(float x, float y, int32_t target) {
  return Collision_Point(nullptr, x, y, target, true, false);
}

bool Position_Occupied(float x, float y, int32_t target) { return Instance_Position(x, y, target) != nullptr; }
