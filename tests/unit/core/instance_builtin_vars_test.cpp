// The instance built-in variables: their ids, get and set of each family,
// read-only entries, the motion setters keeping both descriptions of motion
// in step, index rules, rounding, and the physics readings through a body
// and a world of the test's own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "physics/physics.h"
#include "core/builtin_vars.h"
#include "script/errors.h"
#include "script/value.h"
#include "unit/world_reset.h"

namespace {

// Sprite 0: 32 × 16 with its origin at (8, 4), 3 frames; sprite 1: 5 frames.
bool Sprites(int32_t sprite, SpriteShape* out) {
  SpriteShape s;
  if (sprite == 0) {
    s.frames = 3, s.right = 31, s.bottom = 15, s.origin_x = 8, s.origin_y = 4, s.width = 32, s.height = 16;
  } else if (sprite == 1) {
    s.frames = 5, s.right = 9, s.bottom = 9, s.width = 10, s.height = 10;
  } else {
    return false;
  }
  *out = s;
  return true;
}

class InstanceBuiltins : public ObjectWorldTest {
 protected:
  InstanceBuiltins() : ObjectWorldTest({.noDialogs = true}) {}
  void SetUp() override {
    ObjectWorldTest::SetUp();
    Instance_SetSpriteLookup(Sprites);
    self_ = std::make_unique<CObjInstance>(10.0f, 20.0f, 100001, 0, false);
  }
  void TearDown() override {
    self_->physics = nullptr;
    PendingDepthChanges.Clear();  // may still list self_
    self_.reset();
    ObjectWorldTest::TearDown();
  }

  static BuiltinVarAccess Of(const char* name) {
    int id = BuiltinVar_Find(name);
    EXPECT_GE(id, 0) << name;
    return BuiltinVar_Access(id);
  }
  // The value read, or NaN when the getter produced nothing.
  double Get(const char* name, int index = -1) {
    ScriptValue v;
    const bool ok = Of(name).get(self_.get(), index, &v);
    const double r = ok ? v.Real() : std::nan("");
    ScriptValue_Free(&v);
    return r;
  }
  bool Set(const char* name, double x, int index = -1) {
    ScriptValue v = ScriptValue::FromReal(x);
    BuiltinVarAccess a = Of(name);
    EXPECT_NE(a.set, nullptr) << name;
    return a.set && a.set(self_.get(), index, &v);
  }

  std::unique_ptr<CObjInstance> self_;
};

TEST_F(InstanceBuiltins, InstanceVariablesTakeTheLowestIdsInTheirOrder) {
  const char* order[] = {
      "x", "y", "xprevious", "yprevious", "xstart", "ystart", "hspeed", "vspeed", "direction", "speed",
      "friction", "gravity", "gravity_direction", "object_index", "id", "alarm", "solid", "visible", "persistent",
      "depth", "bbox_left", "bbox_right", "bbox_top", "bbox_bottom", "sprite_index", "image_index", "image_single",
      "image_number", "sprite_width", "sprite_height", "sprite_xoffset", "sprite_yoffset", "image_xscale",
      "image_yscale", "image_angle", "image_alpha", "image_blend", "image_speed", "mask_index", "path_index",
      "path_position", "path_positionprevious", "path_speed", "path_scale", "path_orientation", "path_endaction",
      "timeline_index", "timeline_position", "timeline_speed", "timeline_running", "timeline_loop", "async_load",
      "phy_rotation", "phy_position_x", "phy_position_y", "phy_angular_velocity", "phy_linear_velocity_x",
      "phy_linear_velocity_y", "phy_speed_x", "phy_speed_y", "phy_angular_damping", "phy_linear_damping",
      "phy_bullet", "phy_fixed_rotation", "phy_active", "phy_mass", "phy_inertia", "phy_com_x", "phy_com_y",
      "phy_speed", "phy_dynamic", "phy_kinematic", "phy_sleeping", "phy_position_xprevious",
      "phy_position_yprevious", "phy_collision_points", "phy_collision_x", "phy_collision_y", "phy_col_normal_x",
      "phy_col_normal_y", "display_aa", "delta_time", "webgl_enabled"};
  ASSERT_EQ(std::size(order), 83u);
  for (size_t i = 0; i < std::size(order); ++i) EXPECT_EQ(BuiltinVar_Find(order[i]), int(i)) << order[i];
  EXPECT_EQ(BuiltinVar_Find("argument_relative"), 83) << "the general variables follow";
  EXPECT_EQ(BuiltinVar_Find("instance_count"), BuiltinVar_Find("program_directory") + 1);
  EXPECT_EQ(BuiltinVar_Find("instance_id"), BuiltinVar_Find("program_directory") + 2);
  EXPECT_EQ(BuiltinVar_Find("view_surface_id"), BuiltinVar_Find("view_object") + 1);
}

TEST_F(InstanceBuiltins, ReadOnlyVariablesRefuseWrites) {
  const char* readOnly[] = {"object_index", "id", "bbox_left", "bbox_right", "bbox_top", "bbox_bottom",
                            "image_number", "sprite_width", "sprite_height", "sprite_xoffset", "sprite_yoffset",
                            "path_index", "async_load", "phy_mass", "phy_inertia", "phy_com_x", "phy_com_y",
                            "phy_speed", "phy_dynamic", "phy_kinematic", "phy_sleeping", "phy_position_xprevious",
                            "phy_position_yprevious", "phy_collision_points", "phy_collision_x", "phy_collision_y",
                            "phy_col_normal_x", "phy_col_normal_y", "display_aa", "delta_time", "webgl_enabled",
                            "instance_count", "instance_id"};
  for (const char* name : readOnly) {
    EXPECT_EQ(Of(name).set, nullptr) << name;
    ScriptValue v = ScriptValue::FromReal(7);
    EXPECT_FALSE(Instance_SetVar(self_.get(), BuiltinVar_Find(name), -1, &v)) << name;
  }
  EXPECT_EQ(Get("id"), 100001);
  const char* writable[] = {"x", "alarm", "depth", "image_single", "path_position", "timeline_loop",
                            "phy_rotation", "view_surface_id"};
  for (const char* name : writable) EXPECT_NE(Of(name).set, nullptr) << name;
}

TEST_F(InstanceBuiltins, PlainFieldsReadBackWhatWasWritten) {
  struct Case {
    const char* name;
    double set, read;
  } cases[] = {
      {"x", 12.25, 12.25},          {"y", -3.5, -3.5},
      {"xprevious", 4, 4},          {"ystart", 0.1, double(0.1f)},  // single precision
      {"friction", 0.5, 0.5},       {"gravity_direction", 180, 180},
      {"image_index", 1.5, 1.5},    {"image_alpha", 0.25, 0.25},
      {"image_speed", -2, -2},      {"image_angle", 45, 45},
      {"image_xscale", 2, 2},       {"path_speed", 3, 3},
      {"path_orientation", 90, 90}, {"timeline_position", 7.5, 7.5},
      {"sprite_index", 2.5, 2},     {"sprite_index", 3.5, 4},  // halves to even
      {"mask_index", 1.4999999999, 2},  // narrowed to single precision first: 1.5
      {"image_blend", 255.5, 256},  {"path_endaction", 1.5, 2},
      {"timeline_index", -0.5, 0},  {"path_position", 1.5, 1},
      {"path_position", -1, 0},     {"path_positionprevious", 0.25, 0.25},
      {"path_position", std::nan(""), 0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Set(c.name, c.set)) << c.name;
    EXPECT_EQ(Get(c.name), c.read) << c.name << " = " << c.set;
  }
}

TEST_F(InstanceBuiltins, PositionWritesMoveTheBoundingBox) {
  ASSERT_TRUE(Set("sprite_index", 0));
  EXPECT_EQ(Get("bbox_left"), 2);  // 10 - 8
  EXPECT_EQ(Get("bbox_top"), 16);  // 20 - 4
  ASSERT_TRUE(Set("x", 100));
  ASSERT_TRUE(Set("y", 50));
  EXPECT_EQ(Get("bbox_left"), 92);
  EXPECT_EQ(Get("bbox_right"), 123);
  EXPECT_EQ(Get("bbox_top"), 46);
  EXPECT_EQ(Get("bbox_bottom"), 61);
  EXPECT_EQ(self_->x, 100);
  EXPECT_EQ(self_->y, 50) << "one coordinate written keeps the other";
}

TEST_F(InstanceBuiltins, MotionSettersKeepBothDescriptionsInStep) {
  struct Step {
    const char* name;
    double value;
  };
  struct Case {
    std::vector<Step> steps;
    double speed, direction, hspeed, vspeed;
  } cases[] = {
      {{{"speed", 5}}, 5, 0, 5, 0},
      {{{"speed", 5}, {"direction", 90}}, 5, 90, 0, -5},
      {{{"direction", 180}, {"speed", 2}}, 2, 180, -2, 0},
      {{{"hspeed", 3}, {"vspeed", 4}}, 5, 360 - 53.130104, 3, 4},
      {{{"vspeed", -4}}, 4, 90, 0, -4},
      {{{"hspeed", -1}}, 1, 180, -1, 0},
      {{{"speed", 4}, {"direction", -90}}, 4, 270, 0, 4},
      {{{"speed", 3}, {"direction", 450}}, 3, 90, 0, -3},
      {{{"speed", 2}, {"direction", 45}, {"speed", 0}}, 0, 45, 0, 0},
      {{{"speed", 1}, {"direction", std::nan("")}}, 1, 0, 1, 0},
  };
  for (const Case& c : cases) {
    self_ = std::make_unique<CObjInstance>(0.0f, 0.0f, 100001, 0, false);
    std::string what;
    for (const Step& s : c.steps) {
      ASSERT_TRUE(Set(s.name, s.value));
      what += std::string(s.name) + "=" + std::to_string(s.value) + " ";
    }
    EXPECT_NEAR(Get("speed"), c.speed, 1e-4) << what;
    EXPECT_NEAR(Get("direction"), c.direction, 1e-3) << what;
    EXPECT_NEAR(Get("hspeed"), c.hspeed, 1e-4) << what;
    EXPECT_NEAR(Get("vspeed"), c.vspeed, 1e-4) << what;
  }
}

TEST_F(InstanceBuiltins, AlarmsAreAddressedByIndexAndStrayIndicesMeanAlarmZero) {
  for (int i = 0; i < kAlarmCount; ++i) ASSERT_TRUE(Set("alarm", 10 + i, i));
  for (int i = 0; i < kAlarmCount; ++i) EXPECT_EQ(self_->alarm[i], 10 + i) << i;
  EXPECT_EQ(Get("alarm", 11), 21);
  EXPECT_EQ(Get("alarm", -1), 10);
  EXPECT_EQ(Get("alarm", 12), 10);
  ASSERT_TRUE(Set("alarm", 5, 12));
  EXPECT_EQ(self_->alarm[0], 5);
  EXPECT_EQ(self_->alarm[11], 21);
  ASSERT_TRUE(Set("alarm", 7, -1));
  EXPECT_EQ(self_->alarm[0], 7);
  ASSERT_TRUE(Set("alarm", 2.5, 3));
  EXPECT_EQ(self_->alarm[3], 2);
  ASSERT_TRUE(Set("alarm", 1e300, 4));
  EXPECT_EQ(self_->alarm[4], INT32_MAX);
  ASSERT_TRUE(Set("alarm", std::nan(""), 5));
  EXPECT_EQ(self_->alarm[5], 0);
}

TEST_F(InstanceBuiltins, FlagsFollowTheirOwnRoundingRules) {
  struct Case {
    const char* name;
    double set, read;
  } cases[] = {
      {"solid", 0.4, 0},     {"solid", 0.6, 1},           {"solid", 0.5, 0},
      {"solid", -0.6, 1},    {"visible", 1, 1},           {"persistent", 0.50000000001, 0},
      {"timeline_running", 0.6, 1}, {"timeline_running", 0.4, 0},
      // rounded without narrowing: just above a half is 1
      {"timeline_running", 0.50000000001, 1}, {"timeline_loop", 0.5, 0},
      {"timeline_loop", -3, 0}, {"timeline_loop", 2, 1},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Set(c.name, c.set));
    EXPECT_EQ(Get(c.name), c.read) << c.name << " = " << c.set;
  }
}

TEST_F(InstanceBuiltins, ImageSingleSwitchesAnimation) {
  ASSERT_TRUE(Set("image_speed", 0.5));
  EXPECT_EQ(Get("image_single"), -1);
  ASSERT_TRUE(Set("image_single", 3));
  EXPECT_EQ(self_->image_index, 3);
  EXPECT_EQ(self_->image_speed, 0);
  EXPECT_EQ(Get("image_single"), 3);
  ASSERT_TRUE(Set("image_single", -1));
  EXPECT_EQ(self_->image_speed, 1);
  EXPECT_EQ(self_->image_index, 3);
  EXPECT_EQ(Get("image_single"), -1);
}

TEST_F(InstanceBuiltins, DepthQueuesOnlyAChange) {
  self_->depth = 5;
  ASSERT_TRUE(Set("depth", 5));
  EXPECT_FALSE(PendingDepthChanges.Contains(self_.get()));
  ASSERT_TRUE(Set("depth", 5.00000001));  // the same in single precision
  EXPECT_FALSE(PendingDepthChanges.Contains(self_.get()));
  ASSERT_TRUE(Set("depth", -10));
  EXPECT_TRUE(PendingDepthChanges.Contains(self_.get()));
  EXPECT_EQ(Get("depth"), -10);
}

TEST_F(InstanceBuiltins, SpriteSizesComeFromTheOwnSpriteScaled) {
  self_->mask_index = 0;  // a mask does not stand in for the sprite
  EXPECT_EQ(Get("sprite_width"), 0);
  EXPECT_EQ(Get("sprite_yoffset"), 0);
  EXPECT_EQ(Get("image_number"), 0);
  ASSERT_TRUE(Set("sprite_index", 0));
  ASSERT_TRUE(Set("image_xscale", 2));
  ASSERT_TRUE(Set("image_yscale", -0.5));
  EXPECT_EQ(Get("sprite_width"), 64);
  EXPECT_EQ(Get("sprite_height"), -8);
  EXPECT_EQ(Get("sprite_xoffset"), 16);
  EXPECT_EQ(Get("sprite_yoffset"), -2);
  EXPECT_EQ(Get("image_number"), 3);
  ASSERT_TRUE(Set("sprite_index", 9));  // no existence check
  EXPECT_EQ(Get("sprite_index"), 9);
  EXPECT_EQ(Get("sprite_width"), 0);
}

TEST_F(InstanceBuiltins, OthersInTheList) {
  EXPECT_EQ(Get("object_index"), 0);
  EXPECT_EQ(Get("path_index"), -1);
  EXPECT_EQ(Get("async_load"), -1);
  g_Run.async_load = 4;
  EXPECT_EQ(Get("async_load"), 4);
  EXPECT_EQ(Get("webgl_enabled"), 1);
  EXPECT_GE(Get("delta_time"), 0);
  EXPECT_FALSE(std::isnan(Get("display_aa")));
}

TEST_F(InstanceBuiltins, WithoutAnInstanceNothingIsReadOrWritten) {
  for (const char* name : {"x", "alarm", "depth", "bbox_left", "sprite_width", "timeline_loop", "phy_mass"}) {
    ScriptValue v = ScriptValue::FromReal(1);
    EXPECT_FALSE(Of(name).get(nullptr, -1, &v)) << name;
    if (Of(name).set) {
      EXPECT_FALSE(Of(name).set(nullptr, -1, &v)) << name;
    }
  }
}

TEST_F(InstanceBuiltins, RoomInstancesByCountAndPosition) {
  CGameRoom room;
  g_Run.room = &room;
  EXPECT_EQ(Get("instance_count"), 0);
  EXPECT_EQ(Get("instance_id", 0), -4);
  CObjInstance* a = room.CreateInstance(0, 0, 0);
  CObjInstance* b = room.CreateInstance(0, 0, 0);
  b->SetMarkedDead(true);  // destroyed this step: still counted
  EXPECT_EQ(Get("instance_count"), 2);
  EXPECT_EQ(Get("instance_id", 0), a->id);
  EXPECT_EQ(Get("instance_id", 1), b->id);
  EXPECT_EQ(Get("instance_id", 2), -4);
  EXPECT_EQ(Get("instance_id", -1), -4);
  g_Run.room = nullptr;
  EXPECT_EQ(Get("instance_count"), 0);
  EXPECT_EQ(Get("instance_id", 0), -4);
}

TEST_F(InstanceBuiltins, ViewSurfaceIdByViewIndex) {
  CGameRoom room;
  g_Run.room = &room;
  ASSERT_TRUE(Set("view_surface_id", 3.5, 2));
  EXPECT_EQ(room.views[2].surface, 4);
  ASSERT_TRUE(Set("view_surface_id", 6, 8));
  EXPECT_EQ(room.views[0].surface, 6);
  EXPECT_EQ(Get("view_surface_id", -1), 6);
  EXPECT_EQ(Get("view_surface_id", 2), 4);
  g_Run.room = nullptr;
}

// ---- Physics ------------------------------------------------------------------------

struct FakeBody : CInstancePhysics {
  PhysicsBodyState state;
  std::vector<std::string> calls;
  PhysicsBodyState Body() const override { return state; }
  void SetRotation(float d) override { calls.push_back("rotation " + Num(d)); }
  void SetPosition(float x, float y) override { calls.push_back("position " + Num(x) + " " + Num(y)); }
  void SetAngularVelocity(float d) override { calls.push_back("angular " + Num(d)); }
  void SetLinearVelocity(float x, float y) override { calls.push_back("velocity " + Num(x) + " " + Num(y)); }
  void SetDamping(float l, float a) override { calls.push_back("damping " + Num(l) + " " + Num(a)); }
  void SetFlag(uint32_t flag, bool on) override { calls.push_back("flag " + std::to_string(flag) + " " + Num(on)); }
  static std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }
};

float g_worldScale = 0;
float WorldScale(CGameRoom*) { return g_worldScale; }
int32_t PointCount(CGameRoom*, CObjInstance*) { return 2; }
bool Point(CGameRoom*, CObjInstance*, int32_t n, float* x, float* y) {
  if (n < 0 || n > 1) return false;
  *x = 10.0f + n;
  *y = 20.0f + n;
  return true;
}
bool Normal(CGameRoom*, CObjInstance*, int32_t n, float* x, float* y) {
  if (n != 0) return false;
  *x = 0;
  *y = -1;
  return true;
}

class PhysicsVars : public InstanceBuiltins {
 protected:
  void SetUp() override {
    InstanceBuiltins::SetUp();
    room_.speed = 30;
    g_Run.room = &room_;
    g_worldScale = 0.1f;
    InstancePhysicsHooks hooks;
    hooks.world_scale = WorldScale;
    hooks.collision_point_count = PointCount;
    hooks.collision_point = Point;
    hooks.collision_normal = Normal;
    Instance_SetPhysicsHooks(hooks);
    body_.state.type = 2;
    body_.state.angle = 3.1415927f / 2;
    body_.state.x = 1;
    body_.state.y = 2;
    body_.state.vx = 9;   // metres per second: 90 px/s, 3 px per step at 30
    body_.state.vy = 12;  // 4 px per step
    body_.state.angular_velocity = 3.1415927f;
    body_.state.linear_damping = 0.25f;
    body_.state.angular_damping = 0.5f;
    body_.state.flags = kBodyBullet | kBodyActive;
    body_.state.mass = 2;
    body_.state.inertia = 1;
    body_.state.local_cx = 1;
    body_.state.local_cy = 2;
    body_.state.world_cx = 3;
    body_.state.world_cy = 4;
    body_.previous_x = 0.5f;
    body_.previous_y = 0.25f;
  }
  CGameRoom room_;
  FakeBody body_;
};

TEST_F(PhysicsVars, WithoutABodyNothingIsReadOrWritten) {
  for (const char* name : {"phy_mass", "phy_rotation", "phy_position_x", "phy_speed", "phy_sleeping"}) {
    EXPECT_TRUE(std::isnan(Get(name))) << name;
  }
  EXPECT_FALSE(Set("phy_rotation", 10));
  EXPECT_FALSE(Set("phy_position_x", 10));
}

TEST_F(PhysicsVars, ReadingsOfTheBody) {
  self_->physics = &body_;
  struct Case {
    const char* name;
    double read;
  } cases[] = {
      {"phy_rotation", 90},          {"phy_position_x", 10},       {"phy_position_y", 20},
      {"phy_angular_velocity", 180}, {"phy_linear_velocity_x", 90}, {"phy_linear_velocity_y", 120},
      {"phy_speed_x", 3},            {"phy_speed_y", 4},           {"phy_speed", 5},
      {"phy_angular_damping", 0.5},  {"phy_linear_damping", 0.25}, {"phy_bullet", 1},
      {"phy_fixed_rotation", 0},     {"phy_active", 1},            {"phy_mass", 2},
      {"phy_inertia", 11},           {"phy_com_x", 30},            {"phy_com_y", 40},
      {"phy_dynamic", 1},            {"phy_kinematic", 0},         {"phy_sleeping", 1},
      {"phy_position_xprevious", 5}, {"phy_position_yprevious", 2.5},
  };
  for (const Case& c : cases) EXPECT_NEAR(Get(c.name), c.read, 1e-4) << c.name;
  body_.state.flags = kBodyAwake | kBodyFixedRotation;
  body_.state.type = 1;
  EXPECT_EQ(Get("phy_sleeping"), 0);
  EXPECT_EQ(Get("phy_fixed_rotation"), 1);
  EXPECT_EQ(Get("phy_kinematic"), 1);
  EXPECT_EQ(Get("phy_dynamic"), 0);
}

TEST_F(PhysicsVars, ScaledReadingsNeedTheWorld) {
  self_->physics = &body_;
  g_worldScale = 0;
  for (const char* name : {"phy_position_x", "phy_speed", "phy_com_y", "phy_position_xprevious",
                           "phy_collision_points", "phy_collision_x"}) {
    EXPECT_TRUE(std::isnan(Get(name))) << name;
  }
  EXPECT_FALSE(Set("phy_position_x", 1));
  EXPECT_FALSE(Set("phy_speed_y", 1));
  EXPECT_EQ(Get("phy_mass"), 2) << "the body alone needs no world";
  EXPECT_TRUE(Set("phy_rotation", 1));
}

TEST_F(PhysicsVars, WritesReachTheBodyInItsUnits) {
  self_->physics = &body_;
  struct Case {
    const char* name;
    double value;
    const char* call;
  } cases[] = {
      {"phy_rotation", 45, "rotation 45"},
      {"phy_position_x", 50, "position 5 2"},
      {"phy_position_y", 50, "position 1 5"},
      {"phy_angular_velocity", 90, "angular 90"},
      {"phy_linear_velocity_x", 10, "velocity 1 12"},
      {"phy_linear_velocity_y", 10, "velocity 9 1"},
      {"phy_speed_x", 2, "velocity 6 12"},
      {"phy_speed_y", 2, "velocity 9 6"},
      {"phy_angular_damping", 0.75, "damping 0.25 0.75"},
      {"phy_linear_damping", 0.75, "damping 0.75 0.5"},
      {"phy_bullet", 0.5, "flag 8 0"},
      {"phy_fixed_rotation", 0.6, "flag 16 1"},
      {"phy_active", 0, "flag 32 0"},
  };
  for (const Case& c : cases) {
    body_.calls.clear();
    EXPECT_TRUE(Set(c.name, c.value)) << c.name;
    ASSERT_EQ(body_.calls.size(), 1u) << c.name;
    EXPECT_EQ(body_.calls[0], c.call) << c.name;
  }
}

TEST_F(PhysicsVars, ContactPointsByIndex) {
  EXPECT_EQ(Get("phy_collision_points"), 2) << "no body is needed";
  EXPECT_EQ(Get("phy_collision_x", 1), 11);
  EXPECT_EQ(Get("phy_collision_y", 0), 20);
  EXPECT_TRUE(std::isnan(Get("phy_collision_x", 2)));
  EXPECT_TRUE(std::isnan(Get("phy_collision_y", -1)));
  EXPECT_EQ(Get("phy_col_normal_y", 0), -1);
  EXPECT_TRUE(std::isnan(Get("phy_col_normal_x", 1)));
}

}  // namespace
