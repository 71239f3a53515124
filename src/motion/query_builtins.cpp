// The collision and instance-query family of the "Game.." group. Found
// instances are answered by id, -4 when there is none. Only live instances
// are ever found; -1 and -2 mean self and other only where a built-in says
// so (instance_number, instance_exists, position_meeting,
// distance_to_object).
#include "core/instance_collision.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "motion/game_builtins.h"
#include "motion/queries.h"
#include "script/builtin_args.h"
#include "script/bytecode.h"

namespace {

float Coord(int argc, const ScriptValue* args, int i) { return float(Arg(argc, args, i)); }

void ReturnInstance(ScriptValue* result, const CObjInstance* found) {
  Return(result, found ? found->id : kInstanceNoone);
}

// The arguments x1, y1, x2, y2, obj, prec, notme of the shape queries.
template <typename Query>
void BoxQuery(ScriptValue* result, CObjInstance* self, int argc, const ScriptValue* args, Query query) {
  ReturnInstance(result,
                 query(self, Coord(argc, args, 0), Coord(argc, args, 1), Coord(argc, args, 2), Coord(argc, args, 3),
                       RoundedArg(argc, args, 4), HalfFlagArg(argc, args, 5), HalfFlagArg(argc, args, 6)));
}

TW_BUILTIN(F_CollisionPoint) {
  ReturnInstance(result, Collision_Point(self, Coord(argc, args, 0), Coord(argc, args, 1), RoundedArg(argc, args, 2),
                                         HalfFlagArg(argc, args, 3), HalfFlagArg(argc, args, 4)));
}

TW_BUILTIN(F_CollisionRectangle) { BoxQuery(result, self, argc, args, Collision_Rectangle); }
TW_BUILTIN(F_CollisionEllipse) { BoxQuery(result, self, argc, args, Collision_Ellipse); }
TW_BUILTIN(F_CollisionLine) { BoxQuery(result, self, argc, args, Collision_Line); }

TW_BUILTIN(F_CollisionCircle) {
  const double xc = Arg(argc, args, 0), yc = Arg(argc, args, 1), r = Arg(argc, args, 2);
  ReturnInstance(result, Collision_Ellipse(self, float(xc - r), float(yc - r), float(xc + r), float(yc + r),
                                           RoundedArg(argc, args, 3), HalfFlagArg(argc, args, 4),
                                           HalfFlagArg(argc, args, 5)));
}

TW_BUILTIN(F_InstanceFind) {
  ReturnInstance(result, Instance_FindNth(TruncatedArg(argc, args, 0), TruncatedArg(argc, args, 1)));
}

TW_BUILTIN(F_InstanceExists) { Return(result, Instance_Exists(self, other, TruncatedArg(argc, args, 0)) ? 1 : 0); }

TW_BUILTIN(F_InstanceNumber) {
  const int32_t target = RoundedArg(argc, args, 0);
  if (target == kInstanceSelf || target == kInstanceOther) {
    const CObjInstance* one = target == kInstanceSelf ? self : other;
    Return(result, one && one->IsLive() ? 1 : 0);
    return;
  }
  Return(result, Instance_Number(target));
}

TW_BUILTIN(F_InstancePosition) {
  ReturnInstance(result, Instance_Position(Coord(argc, args, 0), Coord(argc, args, 1), RoundedArg(argc, args, 2)));
}

TW_BUILTIN(F_InstanceNearest) {
  ReturnInstance(result, Instance_Nearest(Coord(argc, args, 0), Coord(argc, args, 1), RoundedArg(argc, args, 2)));
}

TW_BUILTIN(F_InstanceFurthest) {
  ReturnInstance(result, Instance_Furthest(Coord(argc, args, 0), Coord(argc, args, 1), RoundedArg(argc, args, 2)));
}

TW_BUILTIN(F_InstancePlace) {
  if (!self) {
    ReturnInstance(result, nullptr);
    return;
  }
  ReturnInstance(result,
                 Instance_Place(self, Coord(argc, args, 0), Coord(argc, args, 1), RoundedArg(argc, args, 2)));
}

TW_BUILTIN(F_PositionEmpty) {
  Return(result, Position_Occupied(Coord(argc, args, 0), Coord(argc, args, 1), kInstanceAll) ? 0 : 1);
}

TW_BUILTIN(F_PositionMeeting) {
  int32_t target = TruncatedArg(argc, args, 2);
  if (target == kInstanceSelf && self) target = self->id;
  if (target == kInstanceOther && other) target = other->id;
  Return(result, Position_Occupied(Coord(argc, args, 0), Coord(argc, args, 1), target) ? 1 : 0);
}

TW_BUILTIN(F_DistanceToObject) {
  Return(result, Instance_DistanceToObject(self, other, TruncatedArg(argc, args, 0)));
}

}  // namespace

std::span<const NamedBuiltin> Motion_QueryBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"distance_to_object", F_DistanceToObject},
      {"collision_point", F_CollisionPoint},
      {"collision_rectangle", F_CollisionRectangle},
      {"collision_circle", F_CollisionCircle},
      {"collision_ellipse", F_CollisionEllipse},
      {"collision_line", F_CollisionLine},
      {"instance_find", F_InstanceFind},
      {"instance_exists", F_InstanceExists},
      {"instance_number", F_InstanceNumber},
      {"instance_position", F_InstancePosition},
      {"instance_nearest", F_InstanceNearest},
      {"instance_furthest", F_InstanceFurthest},
      {"instance_place", F_InstancePlace},
      {"position_empty", F_PositionEmpty},
      {"position_meeting", F_PositionMeeting},
  };
  return kEntries;
}
