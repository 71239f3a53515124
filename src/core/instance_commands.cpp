#include "core/instance_commands.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/event_dispatch.h"
#include "core/instance_collision.h"
#include "core/events.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "script/convert.h"
#include "script/errors.h"

CObjInstance* Instance_Create(int32_t objectIndex, float x, float y) {
  if (!Object_Exists(objectIndex)) {
    Error_ReportRuntime(ErrorSeverity::kError,
                        ("Creating instance for non-existing object: " + std::to_string(objectIndex)).c_str());
    return nullptr;
  }
  if (!g_Run.room) return nullptr;
  CObjInstance* instance = g_Run.room->CreateInstance(x, y, objectIndex);
  Instance_PerformEvent(instance, instance, kEventCreate, 0);
  instance->created = true;
  return instance;
}

void Instance_Destroy(CObjInstance* instance) {
  if (!instance || instance->destroy_done) return;
  instance->destroy_done = true;
  Instance_PerformEvent(instance, instance, kEventDestroy, 0);
  instance->SetMarkedDead(true);
}

int32_t Instance_CreateAt(float x, float y, int32_t objectIndex) {
  const CObjInstance* made = Instance_Create(objectIndex, x, y);
  return made ? made->id : -1;
}

void Instance_DestroySelf(CObjInstance* instance) { Instance_Destroy(instance); }

CObjInstance* Instance_Copy(CObjInstance* self, bool performEvent) {
  if (!self || !g_Run.room || !Object_Exists(self->object_index)) return nullptr;
  CObjInstance* copy = g_Run.room->CreateInstance(self->x, self->y, self->object_index);
  const int32_t id = copy->id;
  const float depth = self->depth;
  copy->CopyFrom(*self, true);
  copy->id = id;
  // Placed in the room by the object's depth: self's depth takes it to its
  // place at the next flush.
  copy->depth = copy->sort_key;
  copy->SetDepth(depth);
  if (performEvent) {
    Instance_PerformEvent(copy, copy, kEventCreate, 0);
    copy->created = true;
  }
  return copy;
}

void Instance_Deactivate(CObjInstance* instance) {
  if (!instance) return;
  instance->deactivated = true;
  PendingActivationChanges.AddUnique(instance);
}

void Instance_Activate(CObjInstance* instance) {
  if (!instance) return;
  instance->deactivated = false;
  PendingActivationChanges.AddUnique(instance);
}

namespace {
std::vector<CObjInstance*> Collect(bool deactivated) {
  std::vector<CObjInstance*> out;
  if (!g_Run.room) return out;
  for (const InstanceList* list : {&g_Run.room->active, &g_Run.room->deactivated})
    for (CObjInstance* i : *list)
      if (!i->MarkedDead() && i->deactivated == deactivated) out.push_back(i);
  return out;
}
}  // namespace

std::vector<CObjInstance*> Instance_CollectActive() { return Collect(false); }
std::vector<CObjInstance*> Instance_CollectDeactivated() { return Collect(true); }

bool Instance_OutsideRegion(CObjInstance* i, float left, float top, float right, float bottom) {
  SpriteShape shape;
  if (Instance_LookUpSprite(i->mask_index >= 0 ? i->mask_index : i->sprite_index, &shape)) {
    i->EnsureBoundingBox();
    return left > float(i->bbox_right) || float(i->bbox_left) > right || top > float(i->bbox_bottom) ||
           float(i->bbox_top) > bottom;
  }
  return left > i->x || i->x > right || top > i->y || i->y > bottom;
}

namespace {

constexpr float kPi = 3.1415927f;

int32_t Near(float v) { return Real_RoundToInt32(double(v)); }

// Moves self to (x, y) for the test and back again afterwards.
template <typename Fn>
auto TriedAt(CObjInstance* self, float x, float y, Fn&& test) {
  float ox = self->x, oy = self->y;
  self->SetPosition(x, y);
  auto result = test();
  self->SetPosition(ox, oy);
  return result;
}

bool FreeAt(CObjInstance* self, float x, float y, bool all) {
  return all ? Instance_PlaceEmpty(self, x, y) : Instance_PlaceFree(self, x, y);
}

// Every live instance of the target except an id (ids have no distance
// search).
template <typename Fn>
void ForEachOfTarget(int32_t target, Fn&& fn) {
  if (target >= kObjectIndexLimit) return;
  Target_Find(target, [&](CObjInstance* i) {
    fn(i);
    return false;
  });
}

}  // namespace

void Instance_ChangeObject(CObjInstance* instance, int32_t objectIndex, bool performEvents) {
  if (!Object_Exists(objectIndex)) {
    Error_ReportRuntime(ErrorSeverity::kError,
                        ("Asking to change into non-existing object: " + std::to_string(objectIndex)).c_str());
    return;
  }
  if (!instance || instance->object_index == objectIndex) return;
  if (performEvents && !instance->destroy_done) Instance_PerformEvent(instance, instance, kEventDestroy, 0);
  instance->ChangeObject(objectIndex);
  if (performEvents) Instance_PerformEvent(instance, instance, kEventCreate, 0);
}

void Instance_SetSprite(CObjInstance* instance, int32_t spriteIndex) {
  SpriteShape shape;
  if (!Instance_LookUpSprite(spriteIndex, &shape)) {
    Error_ReportRuntime(ErrorSeverity::kError,
                        ("Setting instance to non-existing sprite: " + std::to_string(spriteIndex)).c_str());
    return;
  }
  instance->SetSpriteIndex(spriteIndex);
}

int32_t Instance_Number(int32_t target) {
  // Changed into the object, or activated, this step: live, but in the
  // object's lists only after the next flush. `with` and instance_exists
  // already see them, so the count does too.
  std::vector<const CObjInstance*> late;
  if (target >= 0 && target < kObjectIndexLimit) {
    auto note = [&](CObjInstance* i) {
      if (i->IsLive() && i->object_index == target) late.push_back(i);
      return true;
    };
    PendingObjectChanges.ForEach(note);
    PendingActivationChanges.ForEach(note);
  }
  int32_t count = 0;
  std::unordered_set<const CObjInstance*> found;
  Target_Find(target, [&](CObjInstance* i) {
    ++count;
    if (!late.empty()) found.insert(i);
    return false;
  });
  for (const CObjInstance* i : late) {
    if (found.insert(i).second) ++count;
  }
  return count;
}

namespace {

// The first live instance of the target whose squared distance from (x, y)
// beats every earlier one by `better`, starting from `bound`.
template <typename Better>
CObjInstance* ByDistance(float x, float y, int32_t target, double bound, Better better) {
  CObjInstance* found = nullptr;
  ForEachOfTarget(target, [&](CObjInstance* i) {
    double d = (double(i->x) - x) * (double(i->x) - x) + (double(i->y) - y) * (double(i->y) - y);
    if (better(d, bound)) {
      bound = d;
      found = i;
    }
  });
  return found;
}

}  // namespace

CObjInstance* Instance_Nearest(float x, float y, int32_t target) {
  // From infinity: an instance however far away is still the nearest.
  return ByDistance(x, y, target, INFINITY, [](double d, double best) { return d < best; });
}

CObjInstance* Instance_Furthest(float x, float y, int32_t target) {
  return ByDistance(x, y, target, -1, [](double d, double best) { return d > best; });
}

CObjInstance* Instance_Place(CObjInstance* self, float x, float y, int32_t target) {
  return TriedAt(self, x, y, [&] {
    return Target_Find(target, [&](CObjInstance* i) { return self->CollidesWithInstance(i, true); });
  });
}

bool Instance_PlaceMeeting(CObjInstance* self, int32_t target, float x, float y) {
  return Instance_Place(self, x, y, target) != nullptr;
}

bool Instance_PlaceEmpty(CObjInstance* self, float x, float y) {
  return TriedAt(self, x, y, [&] {
    return !Target_Find(kInstanceAll, [&](CObjInstance* i) { return i->CollidesWithInstance(self, true); });
  });
}

bool Instance_PlaceFree(CObjInstance* self, float x, float y) {
  return TriedAt(self, x, y, [&] {
    return !Target_Find(kInstanceAll,
                        [&](CObjInstance* i) { return i->solid && i->CollidesWithInstance(self, true); });
  });
}

namespace {

// Counts and steps of the contact and outside moves.
int32_t StepCount(float maxDistance) { return maxDistance <= 0 ? 1000 : Near(maxDistance); }

bool UnitStep(float direction, float* dx, float* dy) {
  float r = direction * kPi / 180.0f;
  *dx = std::cos(r);
  *dy = -std::sin(r);
  return std::isfinite(*dx) && std::isfinite(*dy);
}

// Steps a move takes one at a time however far it may go; past them, a move
// that has left every obstacle behind finishes in one jump.
constexpr int32_t kWalkedSteps = 1000;

// The box around every instance that could block self (solid ones unless
// all); `any` is false when nothing could.
struct Obstacles {
  bool any = false;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

Obstacles ObstaclesOf(CObjInstance* self, bool all) {
  Obstacles o;
  if (!g_Run.room) return o;
  for (CObjInstance* i : g_Run.room->active) {
    if (i == self || !i->IsLive() || (!all && !i->solid)) continue;
    i->EnsureBoundingBox();
    if (!o.any) {
      o = {true, i->bbox_left, i->bbox_top, i->bbox_right, i->bbox_bottom};
      continue;
    }
    o.left = std::min(o.left, i->bbox_left);
    o.top = std::min(o.top, i->bbox_top);
    o.right = std::max(o.right, i->bbox_right);
    o.bottom = std::max(o.bottom, i->bbox_bottom);
  }
  return o;
}

// Whether self, going on by (dx, dy), can never meet an obstacle again: its
// box only moves away from theirs.
bool LeftBehind(CObjInstance* self, const Obstacles& o, float dx, float dy) {
  if (!o.any) return true;
  self->EnsureBoundingBox();
  return (dx > 0 && self->bbox_left > o.right) || (dx < 0 && self->bbox_right < o.left) ||
         (dy > 0 && self->bbox_top > o.bottom) || (dy < 0 && self->bbox_bottom < o.top);
}

}  // namespace

void Instance_MoveContact(CObjInstance* self, float direction, float maxDistance, bool all) {
  const int32_t n = StepCount(maxDistance);
  float dx, dy;
  if (!UnitStep(direction, &dx, &dy)) return;
  if (!FreeAt(self, self->x, self->y, all)) return;
  Obstacles obstacles;
  bool known = false;
  for (int32_t i = 0; i < n; ++i) {
    float nx = self->x + dx, ny = self->y + dy;
    // A step too small to change the position: every later one is the same.
    if (nx == self->x && ny == self->y) return;
    const int32_t left = n - i;
    if (left > kWalkedSteps) {
      if (!known) obstacles = ObstaclesOf(self, all);
      known = true;
      if (LeftBehind(self, obstacles, dx, dy)) {
        self->SetPosition(float(self->x + double(dx) * left), float(self->y + double(dy) * left));
        return;
      }
    }
    if (!FreeAt(self, nx, ny, all)) return;
    self->SetPosition(nx, ny);
  }
}

bool Instance_MoveOutside(CObjInstance* self, float direction, float maxDistance, bool all) {
  const int32_t n = StepCount(maxDistance);
  bool free = FreeAt(self, self->x, self->y, all);
  float dx, dy;
  if (!UnitStep(direction, &dx, &dy)) return free;
  // Ends: each step leaves the obstacles further behind, and one that no
  // longer moves the instance stops the walk.
  for (int32_t steps = 0; !free && steps < n; ++steps) {
    float nx = self->x + dx, ny = self->y + dy;
    if (nx == self->x && ny == self->y) break;
    self->SetPosition(nx, ny);
    free = FreeAt(self, self->x, self->y, all);
  }
  return free;
}

void Instance_MoveBounce(CObjInstance* self, bool advanced, bool all) {
  bool blocked = false;
  if (!FreeAt(self, self->x, self->y, all)) {
    self->SetPosition(self->xprevious, self->yprevious);
    blocked = true;
  }
  float fx = self->x, fy = self->y;
  if (advanced) {
    float a0 = std::nearbyint(self->direction / 10.0f) * 10.0f;
    auto search = [&](float sign) {
      float a = a0;
      for (int i = 1; i <= 35; ++i) {
        a = a0 + sign * 10.0f * float(i);
        float r = a * kPi / 180.0f;
        if (FreeAt(self, fx + std::cos(r) * self->speed, fy - std::sin(r) * self->speed, all)) return a;
        blocked = true;
      }
      return a;
    };
    float a = search(-1), b = search(1);
    if (blocked) self->SetDirection(b + a + 180.0f - a0);
    return;
  }
  bool h = FreeAt(self, self->x + self->hspeed, self->y, all);
  bool v = FreeAt(self, self->x, self->y + self->vspeed, all);
  bool hv = FreeAt(self, self->x + self->hspeed, self->y + self->vspeed, all);
  if (!h) {
    self->SetHSpeed(-self->hspeed);
    if (!v) self->SetVSpeed(-self->vspeed);
  } else if (v) {
    if (!hv) {
      self->SetHSpeed(-self->hspeed);
      self->SetVSpeed(-self->vspeed);
    }
  } else {
    self->SetVSpeed(-self->vspeed);
  }
}

void Position_Destroy(float x, float y) {
  if (!g_Run.room) return;
  for (CObjInstance* i : g_Run.room->active) {
    // Deactivated instances get no events, even before they leave the list.
    if (!i->IsLive() || i->destroy_done || !i->CollidesWithPoint(x, y, true)) continue;
    Instance_Destroy(i);
  }
}

void Position_Change(float x, float y, int32_t objectIndex, bool performEvents) {
  if (!Object_Exists(objectIndex)) {
    Instance_ChangeObject(nullptr, objectIndex, performEvents);  // reports the missing object
    return;
  }
  if (!g_Run.room) return;
  for (CObjInstance* i : g_Run.room->active)
    if (i->IsLive() && i->CollidesWithPoint(x, y, true)) Instance_ChangeObject(i, objectIndex, performEvents);
}
