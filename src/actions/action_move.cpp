// The movement actions: speeds and directions, gravity and friction, moving
// to points, random places and grids, wrapping, contact and bounce moves,
// paths and the motion planners' steps. Without an instance to act on an
// action does nothing.
#include <cstring>

#include "actions/action_group.h"
#include "actions/actions.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "motion/placement.h"
#include "motion/planning.h"
#include "actions/action_args.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/random.h"
#include "script/targets.h"

namespace {

// The mask's nine slots read as a keypad from the bottom row up; slot 4,
// the middle, stops.
constexpr int kStopSlot = 4;
constexpr float kSlotDirection[9] = {225, 270, 315, 180, 0, 0, 135, 90, 45};

TW_BUILTIN(action_move) { Action_Move(self, TextArg(argc, args, 0), Arg(argc, args, 1)); }

TW_BUILTIN(action_set_motion) {
  if (!self) return;
  if (Action_GetRelative()) {
    self->AddMotion(FloatArg(argc, args, 0), FloatArg(argc, args, 1));
  } else {
    self->SetDirection(FloatArg(argc, args, 0));
    self->SetSpeed(FloatArg(argc, args, 1));
  }
}

TW_BUILTIN(action_set_hspeed) {
  if (self) self->SetHSpeed(RelativeArg(argc, args, 0, self->hspeed));
}

TW_BUILTIN(action_set_vspeed) {
  if (self) self->SetVSpeed(RelativeArg(argc, args, 0, self->vspeed));
}

TW_BUILTIN(action_set_gravity) {
  if (!self) return;
  self->gravity_direction = RelativeArg(argc, args, 0, self->gravity_direction);
  self->gravity = RelativeArg(argc, args, 1, self->gravity);
}

TW_BUILTIN(action_set_friction) {
  if (self) self->friction = RelativeArg(argc, args, 0, self->friction);
}

TW_BUILTIN(action_move_point) {
  if (!self) return;
  Instance_MoveTowardsPoint(self, RelativeArg(argc, args, 0, self->x), RelativeArg(argc, args, 1, self->y), FloatArg(argc, args, 2));
}

TW_BUILTIN(action_move_to) {
  if (self) self->SetPosition(RelativeArg(argc, args, 0, self->x), RelativeArg(argc, args, 1, self->y));
}

TW_BUILTIN(action_move_start) {
  if (self) self->SetPosition(self->xstart, self->ystart);
}

// move_random gives up after 100 places; the action after 99.
TW_BUILTIN(action_move_random) {
  if (self) Instance_MoveRandom(self, RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), 99);
}

TW_BUILTIN(action_snap) {
  if (self) Instance_SnapToGrid(self, FloatArg(argc, args, 0), FloatArg(argc, args, 1));
}

TW_BUILTIN(action_wrap) {
  if (!self) return;
  const int32_t which = RoundedArg(argc, args, 0);
  Instance_Wrap(self, which == 0 || which == 2, which == 1 || which == 2);
}

TW_BUILTIN(action_reverse_xdir) {
  if (self) self->SetHSpeed(-self->hspeed);
}

TW_BUILTIN(action_reverse_ydir) {
  if (self) self->SetVSpeed(-self->vspeed);
}

TW_BUILTIN(action_move_contact) {
  if (self) Instance_MoveContact(self, FloatArg(argc, args, 0), FloatArg(argc, args, 1), HalfFlagArg(argc, args, 2));
}

// Only exactly 1 bounces against every instance.
TW_BUILTIN(action_bounce) {
  if (self) Instance_MoveBounce(self, HalfFlagArg(argc, args, 0), Arg(argc, args, 1) == 1.0);
}

TW_BUILTIN(action_path) {
  if (!self) return;
  self->StartPath(RoundedArg(argc, args, 0), FloatArg(argc, args, 1), 1, 0, !HalfFlagArg(argc, args, 3),
                  RoundedArg(argc, args, 2));
}

TW_BUILTIN(action_path_end) {
  if (self) self->StartPath(-1, 0, 1, 0, false, 0);
}

TW_BUILTIN(action_path_position) {
  if (self) self->SetPathPosition(RelativeArg(argc, args, 0, self->path_position));
}

TW_BUILTIN(action_path_speed) {
  if (self) self->SetPathSpeed(RelativeArg(argc, args, 0, self->path_speed));
}

using PlannerStep = bool (*)(CObjInstance*, float, float, float, int32_t, bool);

// One step of the planner towards the (relative) goal, avoiding every
// instance; true when the goal was within reach.
template <PlannerStep kStep>
TW_BUILTIN(PlannerAction) {
  if (!self) return;
  const bool reached = kStep(self, RelativeArg(argc, args, 0, self->x), RelativeArg(argc, args, 1, self->y), FloatArg(argc, args, 2),
                             kInstanceAll, HalfFlagArg(argc, args, 3));
  Return(result, reached ? 1 : 0);
}

const NamedBuiltin kMove[] = {
    {"action_move", action_move},
    {"action_set_motion", action_set_motion},
    {"action_set_hspeed", action_set_hspeed},
    {"action_set_vspeed", action_set_vspeed},
    {"action_set_gravity", action_set_gravity},
    {"action_set_friction", action_set_friction},
    {"action_move_point", action_move_point},
    {"action_move_to", action_move_to},
    {"action_move_start", action_move_start},
    {"action_move_random", action_move_random},
    {"action_snap", action_snap},
    {"action_wrap", action_wrap},
    {"action_reverse_xdir", action_reverse_xdir},
    {"action_reverse_ydir", action_reverse_ydir},
    {"action_move_contact", action_move_contact},
    {"action_bounce", action_bounce},
    {"action_path", action_path},
    {"action_path_end", action_path_end},
    {"action_path_position", action_path_position},
    {"action_path_speed", action_path_speed},
    {"action_linear_step", PlannerAction<Motion_LinearStep>},
    {"action_potential_step", PlannerAction<Motion_PotentialStep>},
};

}  // namespace

std::span<const NamedBuiltin> Action_MoveBuiltins() { return kMove; }

void Action_Move(CObjInstance* self, const char* mask, double speed) {
  if (!mask || std::strlen(mask) != 9) {
    Action_Report("Wrong argument to action_move().");
    return;
  }
  if (!self || !std::strchr(mask, '1')) return;
  if (Action_GetRelative()) speed += self->speed;
  self->SetSpeed(float(speed));
  int slot = 0;
  do {
    slot = Random_Int(9);
  } while (mask[slot] != '1');
  if (slot == kStopSlot) {
    self->SetDirection(0);
    self->SetSpeed(0);
  } else {
    self->SetDirection(kSlotDirection[slot]);
  }
}
