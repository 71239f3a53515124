// The collision and instance-query built-ins: how each reads its target
// (all, an object with its descendants, an id, self and other where it maps
// them), that only live instances are found and the first in list order
// wins, and the argument conventions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/instance_collision.h"
#include "motion/queries.h"
#include "unit/motion/motion_world.h"

namespace {

class Queries : public motion_world::Room {
 protected:
  // Depth 0 throughout, so the active list keeps the order of creation: a
  // dead and a deactivated instance first, then the child's and the wall's,
  // then self and other, all holding the point (6, 6).
  void SetUp() override {
    Room::SetUp();
    wall_ = Object();
    child_ = Object(0, wall_);
    me_ = Object();
    dead_ = At(wall_, 2, 2);
    dead_->SetMarkedDead(true);
    inactive_ = At(wall_, 3, 3);
    inactive_->deactivated = true;
    kid_ = At(child_, 5, 5);
    wallInstance_ = At(wall_, 0, 0);
    self_ = At(me_, 6, 6);
    other_ = At(me_, 6, 6);
  }

  // The built-in as self with other, its target argument at `at`.
  double Ask(const std::string& name, std::vector<double> args, size_t at, double target) {
    args.insert(args.begin() + std::ptrdiff_t(at), target);
    std::vector<ScriptValue> values(args.size());
    for (size_t i = 0; i < args.size(); ++i) values[i].real = args[i];
    const Outcome out = CallArgs(name, values, self_, other_);
    EXPECT_FALSE(out.reported) << name << ": " << out.report;
    return out.Real();
  }

  int32_t wall_ = 0, child_ = 0, me_ = 0;
  CObjInstance *dead_ = nullptr, *inactive_ = nullptr, *kid_ = nullptr, *wallInstance_ = nullptr;
  CObjInstance *self_ = nullptr, *other_ = nullptr;
};

TEST_F(Queries, EveryTargetCodeSkipsTheDeadAndInactiveInListOrder) {
  const double none = -4;
  const double kid = kid_->id, wall = wallInstance_->id, self = self_->id, other = other_->id;
  // The targets, in the columns of the table below.
  const std::vector<double> targets = {
      -3, double(wall_), double(child_), wall, double(dead_->id), double(inactive_->id), -1, -2, 999, double(me_)};
  struct Row {
    const char* name;
    std::vector<double> args;  // without the target
    size_t at;                 // where the target goes
    std::vector<double> expect;
  };
  const std::vector<double> firstHit = {kid, kid, kid, wall, none, none, none, none, none, self};
  const Row rows[] = {
      {"collision_point", {6, 6, 1, 0}, 2, firstHit},
      {"collision_rectangle", {5, 5, 7, 7, 1, 0}, 4, firstHit},
      {"collision_ellipse", {0, 0, 12, 12, 1, 0}, 4, firstHit},
      {"collision_circle", {6, 6, 6, 1, 0}, 3, firstHit},
      {"collision_line", {0, 6, 12, 6, 1, 0}, 4, firstHit},
      {"instance_position", {6, 6}, 2, firstHit},
      // Self never meets itself: the first of its object is other.
      {"instance_place", {6, 6}, 2, {kid, kid, kid, wall, none, none, none, none, none, other}},
      // -1 and -2 name self and other.
      {"position_meeting", {6, 6}, 2, {1, 1, 1, 1, 0, 0, 1, 1, 0, 1}},
      {"instance_number", {}, 0, {4, 2, 1, 1, 0, 0, 1, 1, 0, 2}},
      {"instance_exists", {}, 0, {1, 1, 1, 1, 0, 0, 1, 1, 0, 1}},
      {"instance_find", {0}, 0, {kid, kid, kid, wall, none, none, none, none, none, self}},
      {"instance_find", {1}, 0, {wall, wall, none, none, none, none, none, none, none, other}},
      // Nearest and furthest by position; an id finds nothing; ties keep
      // the first.
      {"instance_nearest", {6, 6}, 2, {self, kid, kid, none, none, none, none, none, none, self}},
      {"instance_furthest", {6, 6}, 2, {wall, wall, kid, none, none, none, none, none, none, self}},
  };
  for (const Row& r : rows) {
    ASSERT_EQ(r.expect.size(), targets.size()) << r.name;
    for (size_t t = 0; t < targets.size(); ++t)
      EXPECT_EQ(Ask(r.name, r.args, r.at, targets[t]), r.expect[t]) << r.name << " of target " << targets[t];
  }
  // notme passes over the caller, and the caller's own id finds nothing.
  EXPECT_EQ(Ask("collision_point", {6, 6, 1, 1}, 2, me_), other);
  EXPECT_EQ(Ask("collision_point", {6, 6, 1, 1}, 2, self), none);
  EXPECT_EQ(Ask("collision_point", {6, 6, 1, 0}, 2, self), self);
  // position_empty asks every live instance.
  EXPECT_EQ(Ask("position_empty", {6}, 0, 6), 0);
  EXPECT_EQ(Ask("position_empty", {3}, 0, 10), 1) << "only the dead and the inactive stand there";
}

TEST_F(Queries, ArgumentsRoundTruncateAndSaturate) {
  // Index arguments round halves to even, the truncated ones do not round;
  // reals too large for an index find nothing rather than wrap.
  EXPECT_EQ(Ask("instance_number", {}, 0, child_ - 0.4), 1) << "rounds to the child";
  EXPECT_EQ(Ask("instance_exists", {}, 0, me_ + 0.9), 1) << "truncated to self's object";
  EXPECT_EQ(Ask("instance_find", {1.9}, 0, -3), wallInstance_->id) << "n truncated to 1: the second live instance";
  EXPECT_EQ(Ask("collision_point", {6, 6, 1, 0}, 2, 1e30), -4);
  EXPECT_EQ(Ask("collision_point", {6, 6, 1, 0}, 2, -1e30), -4);
  EXPECT_EQ(Ask("instance_number", {}, 0, NAN), Ask("instance_number", {}, 0, 0));
  EXPECT_EQ(Ask("distance_to_object", {}, 0, 1e30), kBoxDistanceNone);
  // Flags hold from 0.5: precise checking against the corner-pixel sprite.
  const int32_t corner = Object(1);
  CObjInstance* c = At(corner, 100, 100);
  EXPECT_EQ(Ask("collision_point", {105, 105, 0.5, 0}, 2, corner), -4) << "precise: the pixel is clear";
  EXPECT_EQ(Ask("collision_point", {105, 105, 0.49, 0}, 2, corner), c->id) << "not precise: the box decides";
  EXPECT_EQ(Ask("collision_point", {109, 109, 1, 0}, 2, corner), c->id);
}

TEST_F(Queries, TheBoxEndsAtItsRightColumn) {
  // The wall's box is (0, 0)-(9, 9): x = 9.9 is in it, x = 10 is not.
  const int32_t lone = Object();
  CObjInstance* i = At(lone, 0, 0);
  EXPECT_EQ(Ask("collision_point", {9.9, 5, 1, 0}, 2, lone), i->id);
  EXPECT_EQ(Ask("collision_point", {10, 5, 1, 0}, 2, lone), -4);
}

TEST_F(Queries, ACircleIsTheEllipseOverItsSquare) {
  const int32_t lone = Object();
  CObjInstance* i = At(lone, 20, 20);  // box (20, 20)-(29, 29)
  struct Circle {
    double x, y, r;
  };
  // Near the box's corner a square reaches it where the circle does not.
  const Circle circles[] = {{14, 14, 8}, {16, 16, 6}, {25, 10, 10.5}, {35, 35, 5}, {24.5, 24.5, 0}, {10, 25, 9.6}};
  int hits = 0;
  for (const Circle& c : circles) {
    const double circle = Ask("collision_circle", {c.x, c.y, c.r, 1, 0}, 3, lone);
    const double ellipse = Ask("collision_ellipse", {c.x - c.r, c.y - c.r, c.x + c.r, c.y + c.r, 1, 0}, 4, lone);
    EXPECT_EQ(circle, ellipse) << c.x << ", " << c.y << " r " << c.r;
    hits += circle == i->id;
  }
  EXPECT_GT(hits, 0);
  EXPECT_LT(hits, 6);
  EXPECT_EQ(Ask("collision_circle", {14, 14, 8, 1, 0}, 3, lone), -4) << "the corner lies outside the circle";
  EXPECT_EQ(Ask("collision_rectangle", {6, 6, 22, 22, 1, 0}, 4, lone), i->id) << "but inside its square";
}

TEST_F(Queries, InstancesDeactivatedOrActivatedThisStep) {
  const int32_t obj = Object();
  CObjInstance* a = At(obj, 50, 50);
  // Deactivated this step: still in the lists, but no longer counted.
  a->deactivated = true;
  PendingActivationChanges.AddUnique(a);
  EXPECT_EQ(Ask("instance_exists", {}, 0, obj), 0);
  EXPECT_EQ(Ask("instance_number", {}, 0, obj), 0);
  // Once the lists are updated it waits in the deactivated list; activated
  // again in a later step, it exists before it rejoins the object's lists.
  Instance_ApplyActivationChanges(room_.active, room_.deactivated);
  PendingActivationChanges.Clear();
  a->deactivated = false;
  PendingActivationChanges.AddUnique(a);
  EXPECT_EQ(Object_Find(obj)->AllInstances().Count(), 0);
  EXPECT_EQ(Ask("instance_exists", {}, 0, obj), 1);
  EXPECT_EQ(Ask("instance_exists", {}, 0, me_), 1);
  EXPECT_EQ(Ask("instance_exists", {}, 0, Object()), 0) << "an object without instances";
  PendingActivationChanges.Clear();
}

TEST_F(Queries, DistanceToObjectMeasuresBetweenBoxes) {
  // Self's box is (6, 6)-(15, 15).
  const int32_t far = Object(), touching = Object(), empty = Object();
  CObjInstance* f = At(far, 46, 36);      // box (46, 36)-(55, 45): gap 31 across, 21 down
  CObjInstance* t = At(touching, 15, 0);  // shares column 15
  const double gap = std::sqrt(31.0 * 31 + 21 * 21);
  struct Case {
    double target;
    double distance;
  } cases[] = {
      {double(far), gap},
      {double(f->id), gap},
      {double(touching), 0},
      {double(t->id), 0},
      {double(empty), kBoxDistanceNone},
      {999, kBoxDistanceNone},
      {-3, 0},
      {double(self_->id), kBoxDistanceNone},  // the instance itself counts as missing
      {-1, kBoxDistanceNone},                 // an object index naming none
      {-2, 0},                                // other stands on self
      {double(dead_->id), kBoxDistanceNone},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(Ask("distance_to_object", {}, 0, c.target), c.distance) << c.target;
  other_->SetPosition(6, 100);  // box (6, 100)-(15, 109)
  EXPECT_DOUBLE_EQ(Ask("distance_to_object", {}, 0, -2), 85);
}

TEST_F(Queries, WithoutACallerNothingIsFoundAndNothingBreaks) {
  struct Case {
    const char* name;
    std::vector<double> args;
    double expect;
  } cases[] = {
      {"instance_place", {6, 6, -3}, -4},
      {"distance_to_object", {-3}, kBoxDistanceNone},
      {"instance_number", {-1}, 0},
      {"instance_exists", {-2}, 0},
      {"position_meeting", {6, 6, -1}, 0},
      {"collision_point", {6, 6, -3, 1, 1}, double(kid_->id)},
      {"instance_find", {}, double(kid_->id)},  // missing arguments read as 0: object 0, the first
  };
  for (const Case& c : cases) {
    std::vector<ScriptValue> values(c.args.size());
    for (size_t i = 0; i < c.args.size(); ++i) values[i].real = c.args[i];
    EXPECT_EQ(CallArgs(c.name, values).Real(), c.expect) << c.name;
  }
}

}  // namespace
