// The motion family of the "Game.." group: placement tests, contact and
// bounce moves, wrapping, snapping, random placement, motion vectors, the
// distance to a point and path motion, all on the calling instance. Without
// a calling instance a built-in does nothing.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/game_builtins.h"
#include "motion/placement.h"
#include "script/builtin_args.h"
#include "script/targets.h"

namespace {


float Real(int argc, const ScriptValue* args, int i) { return float(Arg(argc, args, i)); }
void ReturnFlag(ScriptValue* result, bool value) { Return(result, value ? 1.0 : 0.0); }

TW_BUILTIN(F_PlaceFree) {
  if (self) ReturnFlag(result, Instance_PlaceFree(self, Real(argc, args, 0), Real(argc, args, 1)));
}

TW_BUILTIN(F_PlaceEmpty) {
  if (self) ReturnFlag(result, Instance_PlaceEmpty(self, Real(argc, args, 0), Real(argc, args, 1)));
}

TW_BUILTIN(F_PlaceMeeting) {
  if (!self) return;
  int32_t target = RoundedArg(argc, args, 2);
  if (target == kInstanceSelf) target = self->id;
  if (target == kInstanceOther && other) target = other->id;
  ReturnFlag(result, Instance_PlaceMeeting(self, target, Real(argc, args, 0), Real(argc, args, 1)));
}

TW_BUILTIN(F_PlaceSnapped) {
  if (self) ReturnFlag(result, Instance_PlaceSnapped(self, Arg(argc, args, 0), Arg(argc, args, 1)));
}

TW_BUILTIN(F_MoveSnap) {
  if (self) Instance_SnapToGrid(self, Real(argc, args, 0), Real(argc, args, 1));
}

TW_BUILTIN(F_MoveTowardsPoint) {
  if (self) Instance_MoveTowardsPoint(self, Real(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2));
}

TW_BUILTIN(F_MoveRandom) {
  if (self) Instance_MoveRandom(self, RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), 100);
}

TW_BUILTIN(F_MoveContact) {
  if (!self) return;
  const float direction = Real(argc, args, 0);
  if (Instance_PlaceFree(self, self->x, self->y)) {
    Instance_MoveContact(self, direction, -1, false);
  } else {
    Instance_MoveOutside(self, direction, -1, false);
  }
}

template <bool kInstanceAll>
TW_BUILTIN(F_MoveContactOf) {
  if (self) Instance_MoveContact(self, Real(argc, args, 0), Real(argc, args, 1), kInstanceAll);
}

template <bool kInstanceAll>
TW_BUILTIN(F_MoveOutsideOf) {
  if (self) Instance_MoveOutside(self, Real(argc, args, 0), Real(argc, args, 1), kInstanceAll);
}

template <bool kInstanceAll>
TW_BUILTIN(F_MoveBounceOf) {
  if (self) Instance_MoveBounce(self, HalfFlagArg(argc, args, 0), kInstanceAll);
}

// One axis of move_wrap: below -margin comes in from the far side, then
// beyond size + margin from the near one.
float Wrapped(float v, float size, float margin) {
  if (v < -margin) v = v + size + 2 * margin;
  if (v > size + margin) v = v - size - 2 * margin;
  return v;
}

TW_BUILTIN(F_MoveWrap) {
  if (!self) return;
  const CGameRoom* room = g_Run.room;
  const float w = room ? float(room->width) : 0, h = room ? float(room->height) : 0;
  const float margin = Real(argc, args, 2);
  float nx = self->x, ny = self->y;
  if (HalfFlagArg(argc, args, 0)) nx = Wrapped(nx, w, margin);
  if (HalfFlagArg(argc, args, 1)) ny = Wrapped(ny, h, margin);
  self->SetPosition(nx, ny);
}

TW_BUILTIN(F_MotionSet) {
  if (!self) return;
  self->SetDirection(Real(argc, args, 0));
  self->SetSpeed(Real(argc, args, 1));
}

TW_BUILTIN(F_MotionAdd) {
  if (self) self->AddMotion(Real(argc, args, 0), Real(argc, args, 1));
}

// How far v lies outside [low, high] (inclusive pixel columns).
double Outside(double v, int32_t low, int32_t high) {
  if (v < low) return v - low;
  if (v > high) return v - high;
  return 0;
}

TW_BUILTIN(F_DistanceToPoint) {
  if (!self) return;
  self->EnsureBoundingBox();
  const double dx = Outside(Arg(argc, args, 0), self->bbox_left, self->bbox_right);
  const double dy = Outside(Arg(argc, args, 1), self->bbox_top, self->bbox_bottom);
  Return(result, std::sqrt(dx * dx + dy * dy));
}

TW_BUILTIN(F_PathStart) {
  if (!self) return;
  self->StartPath(RoundedArg(argc, args, 0), Real(argc, args, 1), 1, 0, !HalfFlagArg(argc, args, 3),
                  RoundedArg(argc, args, 2));
}

TW_BUILTIN(F_PathEnd) {
  if (self) self->StartPath(-1, 0, 1, 0, false, 0);
}

}  // namespace

std::span<const NamedBuiltin> Motion_MoveBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"move_random", F_MoveRandom},
      {"place_free", F_PlaceFree},
      {"place_empty", F_PlaceEmpty},
      {"place_meeting", F_PlaceMeeting},
      {"place_snapped", F_PlaceSnapped},
      {"move_snap", F_MoveSnap},
      {"move_towards_point", F_MoveTowardsPoint},
      {"move_contact", F_MoveContact},
      {"move_contact_solid", F_MoveContactOf<false>},
      {"move_contact_all", F_MoveContactOf<true>},
      {"move_outside_solid", F_MoveOutsideOf<false>},
      {"move_outside_all", F_MoveOutsideOf<true>},
      {"move_bounce", F_MoveBounceOf<false>},
      {"move_bounce_solid", F_MoveBounceOf<false>},
      {"move_bounce_all", F_MoveBounceOf<true>},
      {"move_wrap", F_MoveWrap},
      {"motion_set", F_MotionSet},
      {"motion_add", F_MotionAdd},
      {"distance_to_point", F_DistanceToPoint},
      {"path_start", F_PathStart},
      {"path_end", F_PathEnd},
  };
  return kEntries;
}
