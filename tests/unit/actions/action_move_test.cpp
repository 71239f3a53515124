// The movement actions on a known instance, absolute and relative: the
// direction mask of action_move, motion, points, grids, wrapping, contact and
// bounce moves, random places, paths and planner steps.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "actions/actions.h"
#include "core/paths.h"
#include "script/random.h"
#include "unit/actions/action_fixture.h"

namespace {

using actionfix::ActionRoom;
using actionfix::Called;

class ActionMove : public ActionRoom {
 protected:
  // A non-solid box at (100, 100) moving right at 3, gravity 0.2 downwards,
  // friction 0.1, halfway along no path at speed 2.
  CObjInstance* Known() {
    CObjInstance* self = At(ghost_, 100, 100);
    self->SetHSpeed(3);
    self->gravity = 0.2f;
    self->friction = 0.1f;
    self->path_position = 0.5f;
    self->path_speed = 2;
    return self;
  }
};

TEST_F(ActionMove, EachActionFromAKnownStateAbsoluteAndRelative) {
  using F = float CObjInstance::*;
  struct Check {
    F field;
    float value;
  };
  const struct Case {
    const char* action;
    std::vector<double> args;
    bool relative;
    std::vector<Check> expect;
  } cases[] = {
      {"action_set_motion", {90, 4}, false, {{&CObjInstance::hspeed, 0}, {&CObjInstance::vspeed, -4}}},
      {"action_set_motion", {90, 4}, true, {{&CObjInstance::hspeed, 3}, {&CObjInstance::vspeed, -4}, {&CObjInstance::speed, 5}}},
      {"action_set_hspeed", {2}, false, {{&CObjInstance::hspeed, 2}, {&CObjInstance::speed, 2}}},
      {"action_set_hspeed", {2}, true, {{&CObjInstance::hspeed, 5}}},
      {"action_set_vspeed", {-4}, true, {{&CObjInstance::vspeed, -4}, {&CObjInstance::speed, 5}}},
      {"action_set_gravity", {180, 0.5}, false, {{&CObjInstance::gravity_direction, 180}, {&CObjInstance::gravity, 0.5f}}},
      {"action_set_gravity", {10, 0.5}, true, {{&CObjInstance::gravity_direction, 280}, {&CObjInstance::gravity, 0.7f}}},
      {"action_set_friction", {0.25}, false, {{&CObjInstance::friction, 0.25f}}},
      {"action_set_friction", {0.25}, true, {{&CObjInstance::friction, 0.35f}}},
      {"action_move_point", {100, 50, 5}, false, {{&CObjInstance::direction, 90}, {&CObjInstance::speed, 5}}},
      {"action_move_point", {0, 50, 5}, true, {{&CObjInstance::direction, 270}, {&CObjInstance::speed, 5}}},
      {"action_move_to", {10, 20}, false, {{&CObjInstance::x, 10}, {&CObjInstance::y, 20}}},
      {"action_move_to", {10, 20}, true, {{&CObjInstance::x, 110}, {&CObjInstance::y, 120}}},
      {"action_snap", {16, 16}, false, {{&CObjInstance::x, 96}, {&CObjInstance::y, 96}}},
      {"action_snap", {0, 30}, true, {{&CObjInstance::x, 100}, {&CObjInstance::y, 90}}},
      {"action_reverse_xdir", {}, false, {{&CObjInstance::hspeed, -3}, {&CObjInstance::direction, 180}}},
      {"action_reverse_ydir", {}, false, {{&CObjInstance::hspeed, 3}, {&CObjInstance::vspeed, 0}}},
      {"action_path_position", {0.25}, false, {{&CObjInstance::path_position, 0.25f}}},
      {"action_path_position", {0.25}, true, {{&CObjInstance::path_position, 0.75f}}},
      {"action_path_position", {0.75}, true, {{&CObjInstance::path_position, 1}}},
      {"action_path_position", {-2}, false, {{&CObjInstance::path_position, 0}}},
      {"action_path_speed", {3}, false, {{&CObjInstance::path_speed, 3}}},
      {"action_path_speed", {3}, true, {{&CObjInstance::path_speed, 5}}},
  };
  for (const Case& c : cases) {
    CObjInstance* self = Known();
    Action_SetRelative(c.relative);
    std::vector<ScriptValue> values;
    for (double a : c.args) values.push_back(R(a));
    const int index = FunctionRegistry_Find(c.action);
    ASSERT_GE(index, 0) << c.action;
    ScriptValue result;
    FunctionRegistry_Call(index, self, nullptr, &result, int(values.size()), values.data());
    for (const Check& k : c.expect)
      EXPECT_NEAR(self->*k.field, k.value, 1e-4) << c.action << (c.relative ? " relative" : "");
    Action_SetRelative(0);
    room_.DeleteAllInstances();
  }
}

TEST_F(ActionMove, MoveStartGoesBackToTheStartingPlace) {
  CObjInstance* self = Known();
  self->SetPosition(300, 7);
  Call(self, "action_move_start");
  EXPECT_EQ(self->x, 100);
  EXPECT_EQ(self->y, 100);
}

// Slots read as a keypad from the bottom row up.
TEST_F(ActionMove, EachSlotOfTheMaskGivesItsDirection) {
  const float directions[9] = {225, 270, 315, 180, 0, 0, 135, 90, 45};
  for (int slot = 0; slot < 9; ++slot) {
    CObjInstance* self = Known();
    std::string mask(9, '0');
    mask[size_t(slot)] = '1';
    Call(self, "action_move", {S(mask.c_str()), R(4)});
    EXPECT_NEAR(self->direction, directions[slot], 1e-4) << mask;
    EXPECT_NEAR(self->speed, slot == 4 ? 0 : 4, 1e-4) << mask;
    room_.DeleteAllInstances();
  }
}

TEST_F(ActionMove, MoveStopsOnTheMiddleSlotAndIgnoresAnEmptyMask) {
  CObjInstance* self = Known();
  self->SetVSpeed(-3);  // direction 45, speed about 4.24
  const float speed = self->speed;
  Called out = Call(self, "action_move", {S("000000000"), R(4)});
  EXPECT_FALSE(out.reported);
  EXPECT_EQ(self->speed, speed);
  EXPECT_NEAR(self->direction, 45, 1e-4);

  Call(self, "action_move", {S("000010000"), R(4)});
  EXPECT_EQ(self->speed, 0);
  EXPECT_EQ(self->direction, 0);
}

TEST_F(ActionMove, AMaskNotNineLongIsReportedAndChangesNothing) {
  for (const char* mask : {"1", "", "0000100001", "00001000"}) {
    CObjInstance* self = Known();
    Called out = Call(self, "action_move", {S(mask), R(4)});
    EXPECT_TRUE(out.reported) << mask;
    EXPECT_NE(out.report.find("Wrong argument to action_move()."), std::string::npos) << out.report;
    EXPECT_EQ(self->speed, 3) << mask;
    EXPECT_EQ(self->direction, 0) << mask;
    room_.DeleteAllInstances();
  }
  // A real in place of the text is no mask either.
  CObjInstance* self = Known();
  EXPECT_TRUE(Call(self, "action_move", {R(111111111), R(4)}).reported);
}

TEST_F(ActionMove, RelativeMoveAddsTheCurrentSpeed) {
  CObjInstance* self = Known();
  Action_SetRelative(1);
  Call(self, "action_move", {S("000001000"), R(2)});
  EXPECT_NEAR(self->speed, 5, 1e-4);
  EXPECT_NEAR(self->direction, 0, 1e-4);
  // The direct entry point reads the same flag.
  Action_Move(self, "000000010", 1);
  EXPECT_NEAR(self->speed, 6, 1e-4);
  EXPECT_NEAR(self->direction, 90, 1e-4);
}

TEST_F(ActionMove, SeveralSlotsPickOnlyAmongTheMarkedOnes) {
  CObjInstance* self = Known();
  std::set<int> seen;
  for (int i = 0; i < 200; ++i) {
    Action_Move(self, "010000010", 2);
    seen.insert(int(self->direction + 0.5f));
  }
  EXPECT_EQ(seen, (std::set<int>{90, 270}));
}

TEST_F(ActionMove, WrapOnlyOnItsAxesAndInTheDirectionOfMotion) {
  const struct {
    double which;
    float hspeed, vspeed;
    float x, y;
  } cases[] = {
      // The box is 10 wide: leaving the left edge comes back at 640 - 5 + 10.
      {0, -2, -2, 645, -5}, {1, -2, -2, -5, 485}, {2, -2, -2, 645, 485},
      {3, -2, -2, -5, -5},  {0, 2, 0, -5, -5},    {2.5, -2, -2, 645, 485},
  };
  for (const auto& c : cases) {
    CObjInstance* self = At(ghost_, -5, -5);
    self->SetHSpeed(c.hspeed);
    self->SetVSpeed(c.vspeed);
    Call(self, "action_wrap", {R(c.which)});
    EXPECT_EQ(self->x, c.x) << c.which;
    EXPECT_EQ(self->y, c.y) << c.which;
    room_.DeleteAllInstances();
  }
}

TEST_F(ActionMove, BounceAgainstAllOnlyForExactlyOne) {
  const struct {
    double against;
    bool solidInWay;
    float hspeed;
  } cases[] = {
      {1, false, -5}, {2, false, 5}, {0.5, false, 5}, {0, false, 5}, {0, true, -5}, {2, true, -5},
  };
  for (const auto& c : cases) {
    CObjInstance* self = At(ghost_, 100, 100);
    self->SetHSpeed(5);
    At(c.solidInWay ? wall_ : ghost_, 112, 100);
    Call(self, "action_bounce", {R(0), R(c.against)});
    EXPECT_EQ(self->hspeed, c.hspeed) << c.against << " " << c.solidInWay;
    room_.DeleteAllInstances();
  }
}

TEST_F(ActionMove, MoveContactStopsAtTheFirstInstanceItCounts) {
  const struct {
    bool solid;
    double against;
    float x;
  } cases[] = {
      {true, 0, 120},   // a solid wall stops it
      {false, 0, 150},  // a non-solid box does not: the whole 50
      {false, 1, 120},  // unless every instance counts
      {false, 0.5, 120},
  };
  for (const auto& c : cases) {
    CObjInstance* self = At(ghost_, 100, 100);
    At(c.solid ? wall_ : ghost_, 130, 100);
    Call(self, "action_move_contact", {R(0), R(50), R(c.against)});
    EXPECT_EQ(self->x, c.x) << c.solid << " " << c.against;
    EXPECT_EQ(self->y, 100);
    room_.DeleteAllInstances();
  }
}

TEST_F(ActionMove, MovePointRelativeAimsFromSelf) {
  CObjInstance* self = Known();
  Action_SetRelative(1);
  Call(self, "action_move_point", {R(30), R(-40), R(10)});
  EXPECT_NEAR(self->hspeed, 6, 1e-4);
  EXPECT_NEAR(self->vspeed, -8, 1e-4);
}

TEST_F(ActionMove, MoveRandomLandsOnTheGridAndGivesUpAfter99Places) {
  CObjInstance* self = At(ghost_, 0, 0);
  for (int i = 0; i < 20; ++i) {
    Call(self, "action_move_random", {R(32), R(16)});
    EXPECT_EQ(int(self->x) % 32, 0);
    EXPECT_EQ(int(self->y) % 16, 0);
    EXPECT_GE(self->x, 0);
    EXPECT_LE(self->x + 10, 640);
  }
  room_.DeleteAllInstances();

  // A room the box fills, already taken by a wall: no place is free, and
  // each place tried draws twice.
  room_.width = 10;
  room_.height = 10;
  self = At(ghost_, 0, 0);
  At(wall_, 0, 0);
  self->SetPosition(3, 4);
  Random_SetSeed(7);
  Call(self, "action_move_random", {R(0), R(0)});
  const uint32_t after = Random_Next32();
  EXPECT_EQ(self->x, 3);
  EXPECT_EQ(self->y, 4);
  Random_SetSeed(7);
  for (int i = 0; i < 2 * 99; ++i) Random_Next32();
  EXPECT_EQ(after, Random_Next32());
}

TEST_F(ActionMove, PathJumpsToItsStartOnlyWhenAbsolute) {
  const int p = Path_Add();
  CMotionPath* path = Path_Get(p);
  path->SetKind(0);
  path->SetClosed(false);
  path->AddPoint(200, 300, 100);
  path->AddPoint(400, 300, 100);

  CObjInstance* self = At(ghost_, 50, 60);
  Call(self, "action_path", {R(p), R(4), R(1), R(1)});
  EXPECT_EQ(self->path_index, p);
  EXPECT_EQ(self->x, 200);
  EXPECT_EQ(self->y, 300);
  EXPECT_EQ(self->path_speed, 4);
  EXPECT_EQ(self->path_endaction, 1);
  EXPECT_EQ(self->path_scale, 1);

  CObjInstance* other = At(ghost_, 50, 60);
  Call(other, "action_path", {R(p), R(4), R(0), R(0.49)});
  EXPECT_EQ(other->path_index, p);
  EXPECT_EQ(other->x, 50);
  EXPECT_EQ(other->path_xstart, 50);

  Call(self, "action_path_end");
  EXPECT_EQ(self->path_index, -1);
}

TEST_F(ActionMove, PlannerStepsGoTowardsTheGoalAndSayWhenItIsReached) {
  for (const char* action : {"action_linear_step", "action_potential_step"}) {
    CObjInstance* self = At(ghost_, 100, 100);
    EXPECT_EQ(Call(self, action, {R(120), R(100), R(4), R(0)}).real, 0) << action;
    EXPECT_NEAR(self->x, 104, 1e-4) << action;
    Action_SetRelative(1);
    EXPECT_EQ(Call(self, action, {R(3), R(0), R(4), R(0)}).real, 1) << action;
    EXPECT_NEAR(self->x, 107, 1e-4) << action;
    Action_SetRelative(0);
    // A box in the way stops it only when all instances are avoided.
    At(ghost_, 112, 100);
    EXPECT_EQ(Call(self, action, {R(120), R(100), R(4), R(1)}).real, 0) << action;
    EXPECT_FALSE(self->x == 111 && self->y == 100) << action;
    room_.DeleteAllInstances();
  }
}

TEST_F(ActionMove, WithoutAnInstanceNothingHappens) {
  for (const char* action : {"action_set_motion", "action_move_to", "action_wrap", "action_bounce", "action_path",
                             "action_linear_step", "action_move_random", "action_snap", "action_move_contact"}) {
    Called out = Call(nullptr, action, {R(1), R(2), R(3), R(4)});
    EXPECT_FALSE(out.reported) << action;
    EXPECT_EQ(out.real, -12345) << action;
  }
  Action_Move(nullptr, "111111111", 3);
}

}  // namespace
