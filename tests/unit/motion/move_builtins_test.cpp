// The motion family of the "Game.." group on box-shaped instances: snapping,
// wrapping, distances, contact, outside and bounce moves (and that they end
// whatever their arguments), random placement and path motion.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "core/paths.h"
#include "script/random.h"
#include "unit/motion/game_builtins_fixture.h"

namespace {

using gamefix::GameRoom;

class MoveBuiltins : public GameRoom {};

TEST_F(MoveBuiltins, PlaceSnappedWithinAThousandthOfTheGrid) {
  CObjInstance* self = At(ghost_, 0, 0);
  const struct {
    float x, y;
    double h, v;
    bool snapped;
  } cases[] = {
      {13, 7, 0, 0, true},          {32.0005f, 48, 16, 16, true}, {33, 48, 16, 16, false},
      {32, 47, 16, 16, false},      {33, 47, -4, 0, true},        {-32, 48, 16, 16, true},
      {31.9995f, 48, 16, 16, true}, {31.99f, 48, 16, 16, false},
  };
  for (const auto& c : cases) {
    self->SetPosition(c.x, c.y);
    EXPECT_EQ(Call(self, "place_snapped", {R(c.h), R(c.v)}).real, c.snapped ? 1 : 0) << c.x << "," << c.y;
  }
}

TEST_F(MoveBuiltins, WrapComesBackInAtTheOtherSide) {
  CObjInstance* self = At(ghost_, 0, 0);
  const struct {
    float x, y;
    double hor, vert, margin;
    float nx, ny;
  } cases[] = {
      {-1, 5, 1, 1, 0, 639, 5},     {641, 5, 1, 1, 0, 1, 5},     {640, 480, 1, 1, 0, 640, 480},
      {-1, -1, 0, 1, 0, -1, 479},   {-1, -1, 1, 0, 0, 639, -1},  {-11, 5, 0.5, 0, 10, 649, 5},
      {-10, 5, 1, 0, 10, -10, 5},   {651, 491, 1, 1, 10, -9, -9}, {-1, -1, 0.49, 0.49, 0, -1, -1},
  };
  for (const auto& c : cases) {
    self->SetPosition(c.x, c.y);
    Call(self, "move_wrap", {R(c.hor), R(c.vert), R(c.margin)});
    EXPECT_EQ(self->x, c.nx) << c.x << "," << c.y;
    EXPECT_EQ(self->y, c.ny) << c.x << "," << c.y;
  }
}

TEST_F(MoveBuiltins, DistanceToPointIsFromTheBox) {
  CObjInstance* self = At(box_, 10, 10);  // box 10..19
  const struct {
    double x, y, d;
  } cases[] = {{15, 15, 0}, {19, 19, 0}, {19.5, 19, 0.5}, {29, 15, 10}, {10, 0, 10}, {16, 23, 4}, {22, 23, 5}, {7, 6, 5}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(Call(self, "distance_to_point", {R(c.x), R(c.y)}).real, c.d);
}

TEST_F(MoveBuiltins, PlaceTestsTellSolidFromAnyInstance) {
  CObjInstance* self = At(box_, 0, 0);
  At(wall_, 100, 0);
  At(ghost_, 0, 100);
  CObjInstance* target = At(ghost_, 200, 200);
  EXPECT_EQ(Call(self, "place_free", {R(95), R(0)}).real, 0);
  EXPECT_EQ(Call(self, "place_free", {R(0), R(95)}).real, 1);  // not solid
  EXPECT_EQ(Call(self, "place_empty", {R(0), R(95)}).real, 0);
  EXPECT_EQ(Call(self, "place_empty", {R(50), R(50)}).real, 1);
  EXPECT_EQ(self->x, 0);  // put back after each test
  EXPECT_EQ(Call(self, "place_meeting", {R(195), R(195), R(-2)}, target).real, 1);
  EXPECT_EQ(Call(self, "place_meeting", {R(195), R(195), R(-2)}).real, 0);  // no other
  EXPECT_EQ(Call(self, "place_meeting", {R(195), R(195), R(target->id)}).real, 1);
  EXPECT_EQ(Call(self, "place_meeting", {R(0), R(0), R(-1)}).real, 0);  // never meets itself
  EXPECT_EQ(Call(self, "place_meeting", {R(95), R(0), R(wall_)}).real, 1);
  EXPECT_EQ(Call(self, "place_meeting", {R(95), R(0), R(-3)}).real, 1);
}

TEST_F(MoveBuiltins, ContactStopsAtTheWallAndOutsideLeavesIt) {
  At(wall_, 100, 0);  // 100..109
  CObjInstance* self = At(box_, 0, 0);
  Call(self, "move_contact_solid", {R(0), R(0)});  // up to 1000 steps
  EXPECT_EQ(self->x, 90);
  Call(self, "move_contact_solid", {R(0), R(0)});
  EXPECT_EQ(self->x, 90);
  self->SetPosition(0, 0);
  Call(self, "move_contact_solid", {R(0), R(30.4)});  // 30 steps
  EXPECT_EQ(self->x, 30);
  // Started inside a solid instance it does not move.
  self->SetPosition(95, 0);
  Call(self, "move_contact_solid", {R(0), R(0)});
  EXPECT_EQ(self->x, 95);
  // Outside: out of the wall the way asked, at most the steps given.
  Call(self, "move_outside_solid", {R(180), R(2)});
  EXPECT_EQ(self->x, 93);
  Call(self, "move_outside_solid", {R(180), R(0)});
  EXPECT_EQ(self->x, 90);
  // move_contact picks the move by whether the place is free.
  self->SetPosition(104, 0);
  Call(self, "move_contact", {R(0)});
  EXPECT_EQ(self->x, 110);
  Call(self, "move_contact", {R(180)});
  EXPECT_EQ(self->x, 110);  // touching already
  // Non-solid instances stop only the all forms.
  CObjInstance* ghost = At(ghost_, 300, 0);
  self->SetPosition(200, 0);
  Call(self, "move_contact_solid", {R(0), R(50)});
  EXPECT_EQ(self->x, 250);
  Call(self, "move_contact_all", {R(0), R(100)});
  EXPECT_EQ(self->x, 290);
  self->SetPosition(ghost->x, 0);
  Call(self, "move_outside_all", {R(90), R(0)});
  EXPECT_EQ(self->y, -10);
}

TEST_F(MoveBuiltins, ContactAndOutsideMovesEndWhateverTheirArguments) {
  At(wall_, 100, 0);
  CObjInstance* self = At(box_, 0, 0);
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const auto start = std::chrono::steady_clock::now();
  // A huge count still meets the wall; beyond it there is nothing to meet.
  Call(self, "move_contact_solid", {R(0), R(1e300)});
  EXPECT_EQ(self->x, 90);
  self->SetPosition(120, 0);
  Call(self, "move_contact_solid", {R(0), R(1e12)});
  EXPECT_FLOAT_EQ(self->x, 120 + 2147483647.0f);
  self->SetPosition(0, 0);
  Call(self, "move_contact_all", {R(270), R(inf)});
  EXPECT_FLOAT_EQ(self->y, 2147483647.0f);
  // No direction to go in: nothing moves.
  for (double direction : {nan, inf, -inf, 1e300}) {
    self->SetPosition(0, 0);
    Call(self, "move_contact_solid", {R(direction), R(1e9)});
    Call(self, "move_contact_all", {R(direction), R(0)});
    EXPECT_EQ(self->x, 0) << direction;
    self->SetPosition(95, 0);
    Call(self, "move_outside_solid", {R(direction), R(1e9)});
    EXPECT_EQ(self->x, 95) << direction;
  }
  // A NaN count is no steps.
  self->SetPosition(0, 0);
  Call(self, "move_contact_solid", {R(0), R(nan)});
  EXPECT_EQ(self->x, 0);
  // Out of a wall too wide to leave before the steps stop moving the
  // instance (a unit step is lost at 2^24): the walk ends there.
  CObjInstance* huge = At(wall_, -1e9f, 1000);
  huge->SetImageXScale(3e8f);
  self->SetPosition(16777000, 1000);
  Call(self, "move_outside_solid", {R(0), R(1e12)});
  EXPECT_EQ(self->x + 1, self->x);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(MoveBuiltins, PlainBounceTurnsTheBlockedComponents) {
  const struct {
    float wx, wy;  // the wall
    float hspeed, vspeed;
    float nh, nv;
  } cases[] = {
      {13, 0, 4, 0, -4, 0},    // a wall to the right
      {13, -3, 4, 1, -4, 1},   // a vertical wall: hspeed only
      {-3, 13, 1, 4, 1, -4},   // a floor: vspeed only
      {13, 13, 4, 4, -4, -4},  // a corner met diagonally
      {40, 40, 4, 4, 4, 4},    // nothing in the way
  };
  for (const auto& c : cases) {
    CObjInstance* wall = At(wall_, c.wx, c.wy);
    CObjInstance* self = At(box_, 0, 0);
    self->SetHSpeed(c.hspeed);
    self->SetVSpeed(c.vspeed);
    Call(self, "move_bounce_solid", {R(0)});
    EXPECT_FLOAT_EQ(self->hspeed, c.nh) << c.wx << "," << c.wy;
    EXPECT_FLOAT_EQ(self->vspeed, c.nv) << c.wx << "," << c.wy;
    wall->SetMarkedDead(true);
    self->SetMarkedDead(true);
    room_.RemoveDeadInstances();
  }
}

TEST_F(MoveBuiltins, BounceStepsBackOutOfAWallAndTheAllFormSeesEveryInstance) {
  At(ghost_, 13, 0);
  CObjInstance* self = At(box_, 5, 0);
  self->xprevious = 1;
  self->SetHSpeed(4);
  Call(self, "move_bounce", {R(0)});
  EXPECT_EQ(self->hspeed, 4);  // the ghost is not solid
  Call(self, "move_bounce_all", {R(0)});
  EXPECT_EQ(self->x, 1);  // back where it was
  EXPECT_EQ(self->hspeed, -4);
}

TEST_F(MoveBuiltins, AdvancedBounceOffAFloorMirrorsTheDirection) {
  CObjInstance* floor = At(wall_, 0, 20);
  floor->SetImageXScale(20);
  CObjInstance* self = At(box_, 50, 6);
  self->SetDirection(300);
  self->SetSpeed(5);
  Call(self, "move_bounce_solid", {R(1)});
  EXPECT_EQ(self->speed, 5);
  EXPECT_NEAR(self->direction, 60, 10.01);
  EXPECT_LT(self->direction, 180);  // away from the floor
  // Nothing in the way: the direction stays.
  CObjInstance* open = At(box_, 300, 100);
  open->SetDirection(45);
  open->SetSpeed(5);
  Call(open, "move_bounce_solid", {R(1)});
  EXPECT_FLOAT_EQ(open->direction, 45);
}

TEST_F(MoveBuiltins, RandomPlacementKeepsTheBoxInTheRoomOrStays) {
  Random_SetSeed(7);
  CObjInstance* self = At(box_, 3, 3);
  for (int i = 0; i < 50; ++i) {
    Call(self, "move_random", {R(16), R(8)});
    EXPECT_EQ(std::fmod(self->x, 16.0f), 0) << self->x;
    EXPECT_EQ(std::fmod(self->y, 8.0f), 0) << self->y;
    self->EnsureBoundingBox();
    EXPECT_GE(self->bbox_left, 0);
    EXPECT_LE(self->bbox_right, 639);
    EXPECT_LE(self->bbox_bottom, 479);
  }
  // A room with no free spot: the instance stays after its tries.
  CObjInstance* cover = At(wall_, 0, 0);
  cover->SetImageXScale(64);
  cover->SetImageYScale(48);
  self->SetPosition(3, 3);
  Call(self, "move_random", {R(0), R(0)});
  EXPECT_EQ(self->x, 3);
  EXPECT_EQ(self->y, 3);
  cover->SetMarkedDead(true);
  room_.RemoveDeadInstances();
  // A box one pixel wider than the room leaves an empty range: still a pick.
  CObjInstance* wide = At(ghost_, 0, 0);
  wide->SetSpriteIndex(1);
  room_.width = 699;
  Call(wide, "move_random", {R(0), R(0)});
  EXPECT_EQ(wide->x, 0);
}

TEST_F(MoveBuiltins, MotionVectorsAndTowardsAPoint) {
  CObjInstance* self = At(ghost_, 10, 10);
  Call(self, "motion_set", {R(90), R(3)});
  EXPECT_FLOAT_EQ(self->vspeed, -3);
  Call(self, "motion_add", {R(0), R(4)});
  EXPECT_FLOAT_EQ(self->speed, 5);
  Call(self, "move_towards_point", {R(13), R(14), R(10)});
  EXPECT_FLOAT_EQ(self->hspeed, 6);
  EXPECT_FLOAT_EQ(self->vspeed, 8);
  Call(self, "move_snap", {R(16), R(0)});
  EXPECT_EQ(self->x, 16);
  EXPECT_EQ(self->y, 10);
}

TEST_F(MoveBuiltins, PathStartAndEnd) {
  const int32_t path = Path_Add();
  Path_Get(path)->AddPoint(100, 100, 100);
  Path_Get(path)->AddPoint(200, 100, 100);
  CObjInstance* self = At(ghost_, 5, 5);
  Call(self, "path_start", {R(path), R(4), R(3), R(1)});  // absolute
  EXPECT_EQ(self->path_index, path);
  EXPECT_EQ(self->path_endaction, 3);
  EXPECT_EQ(self->x, 100);
  Call(self, "path_end");
  EXPECT_EQ(self->path_index, -1);
  self->SetPosition(5, 5);
  Call(self, "path_start", {R(path), R(4), R(0), R(0.49)});  // relative: stays
  EXPECT_EQ(self->x, 5);
  Call(self, "path_start", {R(path + 1), R(4), R(0), R(1)});
  EXPECT_EQ(self->path_index, -1);
  Path_FreeAll();
}

TEST_F(MoveBuiltins, WithoutACallingInstanceNothingHappens) {
  for (const char* name : {"place_free", "move_contact_solid", "move_random", "move_bounce", "distance_to_point",
                           "path_start", "move_wrap", "motion_set"}) {
    const auto out = Call(nullptr, name, {R(1), R(1), R(1), R(1)});
    EXPECT_EQ(out.real, -12345) << name;
    EXPECT_FALSE(out.reported) << name;
  }
}

}  // namespace
