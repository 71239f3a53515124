#include "motion/queries.h"

#include <algorithm>
#include <cmath>

#include "core/instance_collision.h"
#include "core/instances.h"
#include "core/objects.h"
#include "script/bytecode.h"

CObjInstance* Instance_FindNth(int32_t target, int32_t n) {
  if (n < 0) return nullptr;
  if (target >= kObjectIndexLimit) {
    // An id is one instance at most: only the first can be asked for.
    return n == 0 ? Target_Find(target, [](CObjInstance*) { return true; }) : nullptr;
  }
  int32_t seen = 0;
  return Target_Find(target, [&](CObjInstance*) { return seen++ == n; });
}

bool Instance_Exists(CObjInstance* self, CObjInstance* other, int32_t target) {
  if (target == kInstanceSelf || target == kInstanceOther) {
    CObjInstance* one = target == kInstanceSelf ? self : other;
    return one && one->IsLive();
  }
  if (target < 0 && target != kInstanceAll) return false;
  auto any = [](CObjInstance*) { return true; };
  if (target == kInstanceAll || target >= kObjectIndexLimit) return Target_Find(target, any) != nullptr;
  if (!Object_Find(target)) return false;
  if (Target_Find(target, any)) return true;
  // Activated this step: live again, but back in the object's lists only at
  // the next flush.
  bool waiting = false;
  PendingActivationChanges.ForEach([&](CObjInstance* i) {
    waiting = i->IsLive() && i->object_index == target;
    return !waiting;
  });
  return waiting;
}

double Instance_BoxDistance(CObjInstance* a, CObjInstance* b) {
  if (!a || !b || a == b || !a->IsLive()) return kBoxDistanceNone;
  a->EnsureBoundingBox();
  b->EnsureBoundingBox();
  // In doubles: the edges may lie anywhere in 32 bits.
  auto gap = [](double lowA, double highA, double lowB, double highB) {
    if (highA < lowB) return highA - lowB;
    if (highB < lowA) return lowA - highB;
    return 0.0;
  };
  const double dx = gap(a->bbox_left, a->bbox_right, b->bbox_left, b->bbox_right);
  const double dy = gap(a->bbox_top, a->bbox_bottom, b->bbox_top, b->bbox_bottom);
  return std::sqrt(dx * dx + dy * dy);
}

double Instance_DistanceToObject(CObjInstance* self, CObjInstance* other, int32_t target) {
  double best = kBoxDistanceNone;
  if (!self) return best;
  if (target == kInstanceOther) return std::min(best, Instance_BoxDistance(other, self));
  Target_Find(target, [&](CObjInstance* i) {
    best = std::min(best, Instance_BoxDistance(i, self));
    return false;
  });
  return best;
}
