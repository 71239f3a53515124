// Instance motion: the two descriptions kept in step, friction and gravity,
// path following with its end actions, snap and wrap.
#include <gtest/gtest.h>

#include <cmath>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/paths.h"

namespace {

struct Instance : CObjInstance {
  Instance() : CObjInstance(0, 0, 100001, -1, false) {}
};

TEST(Motion, CartesianToPolar) {
  struct Case {
    float h, v, speed, direction;
  };
  const Case cases[] = {
      {3, 4, 5, 306.8699f}, {0, 0, 0, 0}, {0, 2, 2, 270}, {0, -2, 2, 90}, {-1, 0, 1, 180}, {1, -1, 1.4142135f, 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.h << "," << c.v);
    Instance i;
    i.hspeed = c.h;
    i.vspeed = c.v;
    i.ComputeSpeedDirection();
    EXPECT_NEAR(i.speed, c.speed, 1e-5);
    EXPECT_NEAR(i.direction, c.direction, 1e-4);
  }
}

TEST(Motion, PolarToCartesianSnapsToWholePixels) {
  Instance i;
  i.speed = 2;
  i.SetDirection(90);
  EXPECT_EQ(i.hspeed, 0.0f);
  EXPECT_EQ(i.vspeed, -2.0f);
  struct Case {
    float in, stored;
  };
  const Case directions[] = {{-90, 270}, {720, 0}, {360, 0}, {-720, 0}, {405, 45}};
  for (const Case& c : directions) {
    i.SetDirection(c.in);
    EXPECT_FLOAT_EQ(i.direction, c.stored) << c.in;
    EXPECT_FALSE(std::signbit(i.direction)) << c.in;
  }
  i.SetDirection(NAN);
  EXPECT_EQ(i.direction, 0.0f);
}

TEST(Motion, FrictionStopsAtZeroAndGravityAccumulates) {
  Instance i;
  i.direction = 0;
  i.speed = 0.5f;
  i.friction = 1;
  i.ApplyFrictionGravity();
  EXPECT_EQ(i.speed, 0.0f);
  i.speed = -3;
  i.ApplyFrictionGravity();
  EXPECT_EQ(i.speed, -2.0f);
  Instance g;
  g.gravity = 0.5f;
  g.gravity_direction = 270;
  for (int step = 1; step <= 4; ++step) {
    g.ApplyFrictionGravity();
    EXPECT_FLOAT_EQ(g.vspeed, 0.5f * step);
    EXPECT_FLOAT_EQ(g.direction, 270);
  }
}

class PathFollowing : public ::testing::Test {
 protected:
  void SetUp() override {
    Path_Init();
    int index = Path_Add();
    CMotionPath* p = Path_Get(index);
    p->SetClosed(false);
    p->AddPoint(0, 0, 100);
    p->AddPoint(100, 0, 100);  // length 100
  }
  void TearDown() override { Path_FreeAll(); }
};

TEST_F(PathFollowing, AdvancesByItsSpeedOverTheLength) {
  Instance i;
  i.x = 50;
  i.y = 50;
  i.StartPath(0, 4, 1, 0, true, 0);
  EXPECT_EQ(i.path_index, 0);
  EXPECT_FALSE(i.AdvancePath());
  EXPECT_FLOAT_EQ(i.path_position, 0.04f);
  EXPECT_FLOAT_EQ(i.x, 54);  // relative: starts where the instance stood
  EXPECT_FLOAT_EQ(i.direction, 0);
  EXPECT_EQ(i.speed, 0.0f);
  EXPECT_EQ(i.hspeed, 0.0f);
  Instance twice;
  twice.StartPath(0, 4, 2, 0, false, 0);
  twice.AdvancePath();
  EXPECT_FLOAT_EQ(twice.path_position, 0.02f);
  EXPECT_FLOAT_EQ(twice.x, 4);  // absolute, scaled by 2
  // Turned a quarter anticlockwise, the path heads up the screen.
  Instance turned;
  turned.StartPath(0, 10, 1, 90, false, 0);
  turned.AdvancePath();
  EXPECT_NEAR(turned.x, 0, 1e-4);
  EXPECT_NEAR(turned.y, -10, 1e-4);
}

TEST_F(PathFollowing, EndActions) {
  struct Case {
    int action;
    float start, speed;
    bool ends;
    float position, pathSpeed;
    int index;
  };
  const Case cases[] = {
      {0, 0.98f, 4, true, 1, 4, -1},          // stop
      {1, 0.98f, 4, true, 0.02f, 4, 0},       // restart
      {3, 0.98f, 4, true, 0.98f, -4, 0},      // reverse at the end
      {3, 0.02f, -4, true, 0.02f, 4, 0},      // reverse at the start
      {7, 0.98f, 4, true, 1, 4, -1},          // unknown: stop
      {0, 1.0f, 0, false, 1.0f, 0, 0},        // no speed: never ends
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "action " << c.action << " from " << c.start);
    Instance i;
    i.StartPath(0, c.speed, 1, 0, false, c.action);
    i.path_position = c.start;
    EXPECT_EQ(i.AdvancePath(), c.ends);
    EXPECT_NEAR(i.path_position, c.position, 1e-5);
    EXPECT_EQ(i.path_speed, c.pathSpeed);
    EXPECT_EQ(i.path_index, c.index);
  }
  // Continue: the start moves on by the path's span.
  Instance cont;
  cont.StartPath(0, 4, 1, 0, false, 2);
  cont.path_position = 0.98f;
  EXPECT_TRUE(cont.AdvancePath());
  EXPECT_FLOAT_EQ(cont.path_xstart, 100);
  EXPECT_NEAR(cont.x, 102, 1e-3);
}

TEST_F(PathFollowing, StartRefusals) {
  Instance i;
  i.StartPath(0, 4, -1, 0, true, 0);
  EXPECT_EQ(i.path_index, -1);
  EXPECT_EQ(i.path_scale, -1.0f);
  i.StartPath(5, 4, 1, 0, true, 0);
  EXPECT_EQ(i.path_index, -1);
  Path_Add();  // empty: length 0
  i.StartPath(1, 4, 1, 0, true, 0);
  EXPECT_EQ(i.path_index, -1);
  // A zero scale never divides by zero: the path ends where it began.
  Instance z;
  z.StartPath(0, 4, 0, 0, true, 0);
  EXPECT_TRUE(z.AdvancePath());
  EXPECT_EQ(z.path_index, -1);
  EXPECT_TRUE(std::isfinite(z.x));
  EXPECT_TRUE(std::isfinite(z.path_position));
}

TEST(Motion, SnapWrapAndTowards) {
  Instance i;
  i.x = 47;
  i.y = 48;
  Instance_SnapToGrid(&i, 32, 32);
  EXPECT_EQ(i.x, 32);
  EXPECT_EQ(i.y, 64);  // 1.5 rounds to the even 2
  Instance_SnapToGrid(&i, 0, -5);
  EXPECT_EQ(i.x, 32);
  CGameRoom room;
  room.width = 200;
  room.height = 100;
  CGameRoom* saved = g_Run.room;
  g_Run.room = &room;
  Instance w;
  w.x = -3;
  w.hspeed = -2;
  Instance_Wrap(&w, true, false);
  EXPECT_EQ(w.x, 197);
  w.x = 205;
  w.hspeed = 2;
  Instance_Wrap(&w, true, true);
  EXPECT_EQ(w.x, 5);
  g_Run.room = saved;
  Instance t;
  Instance_MoveTowardsPoint(&t, 30, 40, 10);
  EXPECT_FLOAT_EQ(t.hspeed, 6);
  EXPECT_FLOAT_EQ(t.vspeed, 8);
}

}  // namespace
