// Motion planning: the direction helpers, the linear and potential steps
// against what blocks them, the settings, and the paths the planners fill
// (which always end, and leave the instance as it was).
#include "motion/planning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/instance_commands.h"
#include "unit/motion/motion_world.h"

namespace {

using motion_world::Points;
using motion_world::Pt;

TEST(MotionDirections, PointDirectionTurnsAgainstTheScreen) {
  struct Case {
    float x2, y2, d;
  } cases[] = {{0, 10, 270}, {10, -10, 45}, {0, -10, 90}, {0, 0, 0}, {-10, 0, 180}, {10, 0, 0}, {-10, 10, 225}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(Motion_PointDirection(0, 0, c.x2, c.y2), c.d) << c.x2 << ", " << c.y2;
  // Just below the x axis the angle would round up to 360.
  const float d = Motion_PointDirection(0, 0, 1e8f, 1e-3f);
  EXPECT_GE(d, 0);
  EXPECT_LT(d, 360);
}

TEST(MotionDirections, AngleDifferenceEndsForEveryAngle) {
  struct Case {
    float a, b, d;
  } cases[] = {
      {0, 350, 10},       {10, 200, 170},    {-30, 30, 60},   {720, 0, 0},
      {360, -360, 0},     {-0.0f, 180, 180}, {90, 270, 180},  {1e9f, 0, 80},  // 280 past 2777777 turns
      {INFINITY, 90, 90}, {-INFINITY, 0, 0}, {NAN, 180, 180}, {5, NAN, 5},
  };
  for (const Case& c : cases) {
    const float d = Motion_AngleDifference(c.a, c.b);
    EXPECT_NEAR(d, c.d, 1e-3) << c.a << " and " << c.b;
    EXPECT_FLOAT_EQ(Motion_AngleDifference(c.b, c.a), d) << "symmetric";
  }
  // The largest angles, which no subtraction of 360 would ever change.
  for (float huge : {3e38f, -3e38f, 16777216.0f * 360}) {
    const float d = Motion_AngleDifference(huge, 0);
    EXPECT_GE(d, 0) << huge;
    EXPECT_LE(d, 180) << huge;
  }
}

class Planning : public motion_world::Room {
 protected:
  void SetUp() override {
    Room::SetUp();
    Motion_ResetPotentialSettings();
    wall_ = Object(0, -1, true);
    ghost_ = Object();  // not solid
    walker_ = Object();
  }
  void TearDown() override {
    Motion_ResetPotentialSettings();
    Room::TearDown();
  }
  double Do(CObjInstance* self, const std::string& name, std::initializer_list<Arg> args) {
    const Outcome out = CallAs(self, nullptr, name, args);
    EXPECT_FALSE(out.reported) << name << ": " << out.report;
    return out.Real();
  }
  // A solid wall of boxes from (x, y1) down to y2.
  void Wall(float x, float y1, float y2) {
    for (float y = y1; y <= y2; y += 10) At(wall_, x, y);
  }
  int NewPath() { return int(Real("path_add")); }

  int32_t wall_ = 0, ghost_ = 0, walker_ = 0;
};

TEST_F(Planning, LinearStepsStopShortOfWhatBlocks) {
  CObjInstance* w = At(walker_, 0, 0);
  EXPECT_EQ(Do(w, "mp_linear_step", {10, 0, 4, 0}), 0);
  EXPECT_EQ(w->x, 4);
  EXPECT_EQ(Do(w, "mp_linear_step", {10, 0, 12, 0}), 1);
  EXPECT_EQ(w->x, 10);
  EXPECT_EQ(Do(w, "mp_linear_step", {10, 0, 12, 0}), 1) << "on the goal";
  // Heading down towards a solid wall that stands on the goal.
  At(wall_, 10, 30);
  w->SetDirection(0);
  EXPECT_EQ(Do(w, "mp_linear_step", {10, 30, 12, 0}), 0);
  EXPECT_EQ(w->y, 12);
  EXPECT_FLOAT_EQ(w->direction, 270);
  EXPECT_EQ(Do(w, "mp_linear_step", {10, 30, 30, 0}), 1) << "within reach";
  EXPECT_EQ(w->y, 12) << "but the goal is taken";
  // A ghost: in the way only when every instance counts.
  At(ghost_, 35, 12);
  EXPECT_EQ(Do(w, "mp_linear_step", {40, 12, 30, 1}), 1);
  EXPECT_EQ(w->x, 10);
  EXPECT_EQ(Do(w, "mp_linear_step_object", {40, 12, 30, wall_}), 1);
  EXPECT_EQ(w->x, 40) << "only walls block the object form";
  EXPECT_EQ(Do(w, "mp_linear_step_object", {80, 12, 30, ghost_}), 0);
  EXPECT_EQ(w->x, 70);
}

TEST_F(Planning, StepsTowardsNoNumberGoNowhere) {
  CObjInstance* w = At(walker_, 5, 5);
  struct Case {
    const char* name;
    double x, y, step;
  } cases[] = {
      {"mp_linear_step", NAN, 0, 4},          {"mp_linear_step", 0, INFINITY, 4},
      {"mp_linear_step", 0, 0, NAN},          {"mp_linear_step", 0, 0, -INFINITY},
      {"mp_potential_step", NAN, 0, 4},       {"mp_potential_step", -INFINITY, 0, 4},
      {"mp_potential_step", 0, 0, -INFINITY}, {"mp_potential_step", 0, 0, NAN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Do(w, c.name, {c.x, c.y, c.step, 0}), 0) << c.name << " " << c.x << " " << c.y << " " << c.step;
    EXPECT_EQ(Pt({w->x, w->y}), Pt({5, 5})) << c.name;
  }
  // An endless step reaches any goal.
  EXPECT_EQ(Do(w, "mp_potential_step", {1e6, 0, INFINITY, 0}), 1);
  EXPECT_EQ(Pt({w->x, w->y}), Pt({1e6, 0}));
}

TEST_F(Planning, SettingsBelowOneAreOne) {
  Do(nullptr, "mp_potential_settings", {0, 0, 0, 0});
  const MotionPotentialSettings& s = Motion_PotentialSettings();
  EXPECT_EQ(s.maxrot, 1);
  EXPECT_EQ(s.rotstep, 1);
  EXPECT_EQ(s.ahead, 1);
  EXPECT_FALSE(s.onspot);
  Do(nullptr, "mp_potential_settings", {45, 2.5, NAN, 0.5});
  EXPECT_EQ(s.maxrot, 45);
  EXPECT_EQ(s.rotstep, 2.5);
  EXPECT_EQ(s.ahead, 1) << "no number: 1";
  EXPECT_TRUE(s.onspot);
}

TEST_F(Planning, APotentialStepTurnsOnTheSpotWhenNoDirectionIsNearEnough) {
  // Facing left into a wall, goal to the right: the free directions are more
  // than 30 degrees away, so it turns 30 degrees a step without moving.
  CObjInstance* w = At(walker_, 100, 100);
  w->SetDirection(180);
  Wall(85, 40, 160);
  Do(w, "mp_potential_settings", {30, 10, 3, 1});
  EXPECT_EQ(Do(w, "mp_potential_step", {300, 100, 10, 0}), 0);
  EXPECT_EQ(w->x, 100);
  EXPECT_FLOAT_EQ(w->direction, 210);
  // Later steps turn on until a free direction is within reach, then move.
  int steps = 1;
  while (w->x == 100 && w->y == 100 && steps < 20) {
    Do(w, "mp_potential_step", {300, 100, 10, 0});
    ++steps;
  }
  EXPECT_LT(steps, 20);
  EXPECT_NE(Pt({w->x, w->y}), Pt({100, 100}));
  // Without turning on the spot it stays as it was.
  CObjInstance* stuck = At(walker_, 100, 100);
  stuck->SetDirection(180);
  Do(w, "mp_potential_settings", {30, 10, 3, 0});
  Do(stuck, "mp_potential_step", {300, 100, 10, 0});
  EXPECT_EQ(stuck->x, 100);
  EXPECT_FLOAT_EQ(stuck->direction, 180);
}

TEST_F(Planning, APotentialStepFindsTheWayAroundAWall) {
  // A wall from y = 60 to 149 between the walker and its goal.
  Wall(100, 60, 140);
  CObjInstance* w = At(walker_, 40, 100);
  int steps = 0;
  bool reached = false;
  while (!reached && steps < 200) {
    reached = Do(w, "mp_potential_step", {180, 100, 4, 0}) != 0;
    ++steps;
    ASSERT_TRUE(Instance_PlaceFree(w, w->x, w->y)) << "walked into the wall at step " << steps;
  }
  EXPECT_TRUE(reached);
  EXPECT_EQ(Pt({w->x, w->y}), Pt({180, 100}));
  // The object form counts only that object: ghosts do not turn it aside.
  CObjInstance* g = At(walker_, 40, 300);
  At(ghost_, 80, 300);
  EXPECT_EQ(Do(g, "mp_potential_step_object", {180, 300, 4, wall_}), 0);
  EXPECT_EQ(Pt({g->x, g->y}), Pt({44, 300}));
}

TEST_F(Planning, PathsThroughOpenSpaceAndIntoAWall) {
  CObjInstance* w = At(walker_, 0, 0);
  w->SetSpeed(3);
  w->SetDirection(77);
  const float h = w->hspeed, v = w->vspeed;
  const int p = NewPath();
  EXPECT_EQ(Do(w, "mp_linear_path", {p, 10, 0, 4, 0}), 1);
  EXPECT_EQ(Points(p), (std::vector<Pt>{{0, 0}, {4, 0}, {8, 0}, {10, 0}}));
  EXPECT_FALSE(Path_Get(p)->GetClosed());
  EXPECT_EQ(Path_Get(p)->GetKind(), 0);
  EXPECT_FLOAT_EQ(Path_Get(p)->GetLength(), 10);
  // The instance is left exactly as it was.
  EXPECT_EQ(Pt({w->x, w->y}), Pt({0, 0}));
  EXPECT_EQ(w->direction, 77);
  EXPECT_EQ(w->hspeed, h);
  EXPECT_EQ(w->vspeed, v);
  // Into a wall: the points reached, then no progress.
  At(wall_, 19, -5);
  EXPECT_EQ(Do(w, "mp_linear_path", {p, 40, 0, 4, 0}), 0);
  EXPECT_EQ(Points(p), (std::vector<Pt>{{0, 0}, {4, 0}, {8, 0}}));
  EXPECT_EQ(Pt({w->x, w->y}), Pt({0, 0}));
  EXPECT_EQ(Do(w, "mp_linear_path_object", {p, 40, 0, 4, ghost_}), 1) << "walls do not count";
  EXPECT_EQ(Points(p).size(), 11u);
}

TEST_F(Planning, PotentialPathsGoAroundAndKeepWithinTheirLimit) {
  Wall(100, 60, 140);
  CObjInstance* w = At(walker_, 40, 100);
  const int p = NewPath();
  EXPECT_EQ(Do(w, "mp_potential_path", {p, 180, 100, 4, 4, 0}), 1);
  const std::vector<Pt> points = Points(p);
  ASSERT_GT(points.size(), 36u) << "longer than the straight way";
  EXPECT_EQ(points.front(), Pt({40, 100}));
  EXPECT_EQ(points.back(), Pt({180, 100}));
  for (const Pt& q : points) EXPECT_TRUE(Instance_PlaceFree(w, q.x, q.y)) << q;
  EXPECT_LE(Path_Get(p)->GetLength(), 4 * 140 + 4);
  EXPECT_EQ(Pt({w->x, w->y}), Pt({40, 100}));
  // A limit the way around exceeds: it gives up once the path is longer.
  EXPECT_EQ(Do(w, "mp_potential_path", {p, 180, 100, 4, 1, 0}), 0);
  EXPECT_GT(Path_Get(p)->GetLength(), 140);
  EXPECT_LT(Path_Get(p)->GetLength(), 140 + 8);
  // A factor below 1 fails at once and leaves the path alone.
  const std::vector<Pt> before = Points(p);
  EXPECT_EQ(Do(w, "mp_potential_path", {p, 180, 100, 4, 0.5, 0}), 0);
  EXPECT_EQ(Do(w, "mp_potential_path", {p, 180, 100, 0, 2, 0}), 0) << "a step of 0";
  EXPECT_EQ(Do(w, "mp_potential_path", {p, 180, 100, NAN, 2, 0}), 0);
  EXPECT_EQ(Points(p), before);
}

TEST_F(Planning, APotentialPathOfAnInstanceThatCannotMoveEnds) {
  // Walled in on every side: every step stands still. The walk ends, both
  // when it turns on the spot and when it does not.
  CObjInstance* w = At(walker_, 100, 100);
  for (float x = 80; x <= 120; x += 10) {
    At(wall_, x, 85);
    At(wall_, x, 115);
  }
  for (float y = 95; y <= 105; y += 10) {
    At(wall_, 85, y);
    At(wall_, 115, y);
  }
  ASSERT_TRUE(Instance_PlaceFree(w, 100, 100));
  const int p = NewPath();
  for (double onspot : {1.0, 0.0}) {
    Do(w, "mp_potential_settings", {30, 10, 3, onspot});
    EXPECT_EQ(Do(w, "mp_potential_path", {p, 300, 100, 4, 2, 0}), 0) << onspot;
    EXPECT_LE(Points(p).size(), 14u) << "a turn on the spot at most";
    EXPECT_EQ(Pt({w->x, w->y}), Pt({100, 100}));
  }
}

TEST_F(Planning, AVeryLongPlanIsGivenUp) {
  // 1,000,000 pixels in steps of 2: more steps than a plan may take.
  CObjInstance* w = At(walker_, 0, 0);
  const int p = NewPath();
  EXPECT_EQ(Do(w, "mp_linear_path", {p, 1e6, 0, 2, 0}), 0);
  EXPECT_EQ(Path_Get(p)->GetNumber(), kMotionPlanMaxSteps);
  EXPECT_EQ(w->x, 0);
}

TEST_F(Planning, PathBuiltinsReportAMissingPath) {
  CObjInstance* w = At(walker_, 0, 0);
  for (const char* name :
       {"mp_linear_path", "mp_linear_path_object", "mp_potential_path", "mp_potential_path_object"}) {
    const Outcome out = CallAs(w, nullptr, name, {7, 10, 0, 4, 2, 0});
    EXPECT_TRUE(out.reported) << name;
    EXPECT_NE(out.report.find("Trying to assign to a non-existing path."), std::string::npos) << out.report;
    EXPECT_FALSE(out.IsReal() && out.Real() != 0) << name << " leaves the result alone";
  }
  // Without a caller nothing moves and nothing is planned.
  const int p = NewPath();
  EXPECT_EQ(Call("mp_potential_step", {10, 0, 4, 0}).Real(), 0);
  EXPECT_EQ(Call("mp_linear_path", {p, 10, 0, 4, 0}).Real(), 0);
  EXPECT_EQ(Path_Get(p)->GetNumber(), 0);
}

}  // namespace
