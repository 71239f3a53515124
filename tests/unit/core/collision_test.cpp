// Collision tests of instances against points, rectangles, ellipses, lines
// and each other; the queries over targets and the instance commands built
// on them.
#include <gtest/gtest.h>

#include <cmath>

#include "core/instance_collision.h"
#include "core/instance_commands.h"
#include "graphics/frame_capture.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "object_fixtures.h"
#include "script/errors.h"
#include "core/precise.h"

namespace {

using fixture::AddObject;

// 0: a plain 10x10 box with its origin at the corner. 1: a precise 4x4
// sprite whose only solid cell is (0, 0). 2: exists but has no frames.
bool Sprites(int32_t sprite, SpriteShape* out) {
  switch (sprite) {
    case 0: *out = {1, 0, 0, 9, 9, 0, 0, false, 10, 10}; return true;
    case 1: *out = {1, 0, 0, 3, 3, 0, 0, true, 4, 4}; return true;
    case 2: *out = {0, 0, 0, 3, 3, 0, 0, false, 4, 4}; return true;
    default: return false;
  }
}

const std::vector<std::vector<uint8_t>> kCornerMask = {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};

bool Masks(int32_t sprite, MaskView* out) {
  if (sprite == 0) {
    *out = MaskView{10, 10, 0, 0, 1, false, nullptr};  // no masks: solid
    return true;
  }
  if (sprite != 1) return false;
  *out = MaskView{4, 4, 0, 0, 1, true, &kCornerMask};
  return true;
}

class Collisions : public fixture::Loaded {
 protected:
  void SetUp() override {
    fixture::Loaded::SetUp();
    Instance_SetSpriteLookup(Sprites);
    Precise_SetMaskLookup(Masks);
    g_Run.room = &room_;
    plain_ = AddObject();
    Object_Find(plain_)->sprite_index = 0;
    precise_ = AddObject();
    Object_Find(precise_)->sprite_index = 1;
    bare_ = AddObject();
    child_ = AddObject(plain_);
    Object_Find(child_)->sprite_index = 0;
  }
  void TearDown() override {
    room_.DeleteAllInstances();
    fixture::Loaded::TearDown();
  }
  CObjInstance* At(int32_t object, float x, float y) { return room_.CreateInstance(x, y, object); }

  CGameRoom room_;
  int32_t plain_ = 0, precise_ = 0, bare_ = 0, child_ = 0;
};

TEST_F(Collisions, PointsAndRectanglesAgainstTheBox) {
  CObjInstance* i = At(plain_, 10, 10);  // box (10, 10, 19, 19)
  struct Case {
    float x, y;
    bool hit;
  };
  const Case points[] = {{19.9f, 19.9f, true}, {20, 10, false}, {10, 10, true}, {9.99f, 15, false}};
  for (const Case& c : points) EXPECT_EQ(i->CollidesWithPoint(c.x, c.y, true), c.hit) << c.x << "," << c.y;
  EXPECT_FALSE(i->CollidesWithRectangle(20, 10, 30, 30, true));
  EXPECT_TRUE(i->CollidesWithRectangle(19.5f, 10, 30, 30, true));
  EXPECT_TRUE(i->CollidesWithRectangle(30, 30, 19.5f, 10, true)) << "any corner order";
  // Without a sprite: no point hits, a covering rectangle does.
  CObjInstance* b = At(bare_, 50, 50);
  EXPECT_FALSE(b->CollidesWithPoint(50, 50, true));
  EXPECT_TRUE(b->CollidesWithRectangle(45, 45, 55, 55, true));
}

TEST_F(Collisions, EllipsesAndLines) {
  EXPECT_TRUE(Ellipse_ContainsPoint({0, 0, 10, 10}, 5, 0));
  EXPECT_FALSE(Ellipse_ContainsPoint({0, 0, 10, 10}, 9, 9));
  CObjInstance* far = At(plain_, 9, 9);  // box (9, 9, 18, 18): only its corner is near
  EXPECT_FALSE(far->CollidesWithEllipse(0, 0, 10, 10, true));
  CObjInstance* beside = At(plain_, 8, 0);  // rows 0..9 take the centre's y
  EXPECT_TRUE(beside->CollidesWithEllipse(0, 0, 10, 10, true));
  CObjInstance* box = At(plain_, 0, 40);  // (0, 40, 9, 49)
  EXPECT_TRUE(box->CollidesWithLine(5, 0, 5, 100, true));
  EXPECT_FALSE(box->CollidesWithLine(12, 0, 12, 100, true));
  EXPECT_TRUE(box->CollidesWithLine(-20, 30, 30, 60, true)) << "a slanted line through the box";
  EXPECT_FALSE(box->CollidesWithLine(-20, 0, 30, 10, true)) << "passes above it";
}

TEST_F(Collisions, InstancesAndPreciseMasks) {
  CObjInstance* a = At(plain_, 0, 0);
  CObjInstance* b = At(plain_, 9, 9);
  CObjInstance* c = At(plain_, 10, 10);
  EXPECT_TRUE(a->CollidesWithInstance(b, true));
  EXPECT_FALSE(a->CollidesWithInstance(c, true)) << "boxes that only touch";
  EXPECT_FALSE(a->CollidesWithInstance(a, true));
  b->SetMarkedDead(true);
  EXPECT_FALSE(a->CollidesWithInstance(b, true));
  // The precise sprite is solid only in its corner pixel at (20, 20).
  CObjInstance* p = At(precise_, 20, 20);
  EXPECT_TRUE(p->CollidesWithPoint(20, 20, true));
  EXPECT_FALSE(p->CollidesWithPoint(21, 20, true));
  EXPECT_TRUE(p->CollidesWithPoint(21, 20, false)) << "without precise checking the box decides";
  CObjInstance* q = At(plain_, 21, 21);
  EXPECT_FALSE(p->CollidesWithInstance(q, true));
  EXPECT_TRUE(p->CollidesWithInstance(q, false));
  CObjInstance* r = At(plain_, 15, 15);
  EXPECT_TRUE(p->CollidesWithInstance(r, true));
}

// A huge scale or position saturates a box edge at the ends of 32 bits;
// the tests compare such boxes without stepping past them.
TEST_F(Collisions, BoxesReachingTheEndsOfThirtyTwoBits) {
  CObjInstance* wide = At(plain_, 0, 0);
  wide->SetImageXScale(1e12f);
  wide->SetImageYScale(1e12f);
  wide->EnsureBoundingBox();
  ASSERT_EQ(wide->bbox_right, INT32_MAX);
  ASSERT_EQ(wide->bbox_bottom, INT32_MAX);
  struct Case {
    float x, y;
    bool hits;
  } cases[] = {
      {100, 100, true},     // inside the wide box
      {3e9f, 3e9f, true},   // its own box saturates at the far corner
      {-3e9f, 0, false},    // wholly left of it
      {0, -3e9f, false},    // wholly above it
  };
  for (const Case& c : cases) {
    CObjInstance* other = At(plain_, c.x, c.y);
    EXPECT_EQ(wide->CollidesWithInstance(other, true), c.hits) << c.x << ", " << c.y;
    EXPECT_EQ(other->CollidesWithInstance(wide, true), c.hits) << c.x << ", " << c.y;
  }
  EXPECT_TRUE(Instance_PlaceMeeting(At(plain_, 50, 50), plain_, 60, 60));

  const IntRect all{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_TRUE(Ellipse_ContainsPoint(all, 0, 0));
  EXPECT_FALSE(Ellipse_ContainsPoint(all, 2.2e9, 2.2e9));

  // The precise tests against the corner pixel at (0, 0), from far away.
  MaskView corner;
  ASSERT_TRUE(Masks(1, &corner));
  MaskPlacement at{0, 0, 0, 3, 3, 0, 0, 1, 1, 0};
  EXPECT_TRUE(Precise_Line(corner, at, INT32_MIN, 0, INT32_MAX, 1));
  EXPECT_TRUE(Precise_Line(corner, at, 0, INT32_MIN, 1, INT32_MAX));
  EXPECT_TRUE(Precise_Ellipse(corner, at, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}));
  MaskPlacement scaled = at;
  scaled.x = INT32_MIN;
  scaled.xscale = 2;
  EXPECT_FALSE(Precise_Point(corner, scaled, INT32_MAX, 0));
}

TEST_F(Collisions, QueriesOverTargets) {
  CObjInstance* a = At(plain_, 0, 0);
  CObjInstance* kid = At(child_, 5, 5);
  EXPECT_EQ(Collision_Point(nullptr, 6, 6, kInstanceAll, true, false), a);
  EXPECT_EQ(Collision_Point(a, 6, 6, kInstanceAll, true, true), kid) << "notme skips the caller";
  EXPECT_EQ(Collision_Point(a, 6, 6, plain_, true, true), kid) << "an object includes its descendants";
  EXPECT_EQ(Collision_Point(a, 6, 6, a->id, true, true), nullptr);
  EXPECT_EQ(Collision_Point(nullptr, 6, 6, kid->id, true, false), kid);
  EXPECT_EQ(Collision_Point(nullptr, 6, 6, 999, true, false), nullptr);
  EXPECT_TRUE(Position_Occupied(1, 1, kInstanceAll));
  EXPECT_FALSE(Position_Occupied(100, 1, kInstanceAll));
  kid->deactivated = true;
  EXPECT_EQ(Collision_Rectangle(nullptr, 12, 12, 13, 13, kInstanceAll, true, false), nullptr);
}

TEST_F(Collisions, CountsNearestAndFurthest) {
  At(plain_, 0, 0);
  CObjInstance* far = At(plain_, 100, 0);
  CObjInstance* kid = At(child_, 20000, 0);
  EXPECT_EQ(Instance_Number(kInstanceAll), 3);
  EXPECT_EQ(Instance_Number(plain_), 3);
  EXPECT_EQ(Instance_Number(child_), 1);
  EXPECT_EQ(Instance_Number(far->id), 1);
  EXPECT_EQ(Instance_Number(bare_), 0);
  EXPECT_EQ(Instance_Furthest(0, 0, plain_), kid);
  // However far, the only instance is the nearest.
  EXPECT_EQ(Instance_Nearest(0, 0, child_), kid);
  EXPECT_EQ(Instance_Nearest(90, 0, kInstanceAll), far);
  EXPECT_EQ(Instance_Nearest(90, 0, far->id), nullptr);
  // Changed into an object this step: counted before it joins the lists.
  CObjInstance* b = At(bare_, 500, 500);
  Instance_ChangeObject(b, child_, false);
  EXPECT_EQ(Instance_Number(child_), 2);
}

TEST_F(Collisions, PlacesAndMoves) {
  CObjInstance* wall = At(plain_, 50, 0);
  wall->solid = true;
  CObjInstance* ghost = At(plain_, 0, 40);  // not solid
  CObjInstance* mover = At(plain_, 0, 0);
  EXPECT_FALSE(Instance_PlaceFree(mover, 45, 0));
  EXPECT_TRUE(Instance_PlaceFree(mover, 0, 35));
  EXPECT_FALSE(Instance_PlaceEmpty(mover, 0, 35));
  EXPECT_EQ(Instance_Place(mover, 0, 35, kInstanceAll), ghost);
  EXPECT_EQ(mover->x, 0);  // moved back
  EXPECT_TRUE(Instance_PlaceMeeting(mover, wall->id, 45, 0));
  Instance_MoveContact(mover, 0, 0, false);
  EXPECT_EQ(mover->x, 40) << "stops against the wall";
  mover->SetPosition(45, 0);
  EXPECT_TRUE(Instance_MoveOutside(mover, 180, 20, false));
  EXPECT_EQ(mover->x, 40);
  // A simple bounce off a wall to the right keeps the vertical speed.
  mover->SetPosition(38, 0);
  mover->SetHSpeed(4);
  mover->SetVSpeed(1);
  Instance_MoveBounce(mover, false, false);
  EXPECT_EQ(mover->hspeed, -4);
  EXPECT_EQ(mover->vspeed, 1);
}

TEST_F(Collisions, ChangesDestroysAndErrors) {
  CObjInstance* a = At(plain_, 0, 0);
  CObjInstance* b = At(plain_, 2, 2);
  At(plain_, 40, 40);
  Position_Destroy(3, 3);
  EXPECT_TRUE(a->MarkedDead());
  EXPECT_TRUE(b->MarkedDead());
  EXPECT_EQ(Instance_Number(kInstanceAll), 1);
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  Error_ResetForTests();
  EXPECT_EQ(Instance_Create(777, 0, 0), nullptr);
  EXPECT_NE(Error_LastText().find("Creating instance for non-existing object: 777"), std::string::npos);
  Instance_ChangeObject(a, 777, true);
  EXPECT_NE(Error_LastText().find("Asking to change into non-existing object: 777"), std::string::npos);
  Instance_SetSprite(a, 55);
  EXPECT_NE(Error_LastText().find("Setting instance to non-existing sprite: 55"), std::string::npos);
  Screen_Save("");
  EXPECT_NE(Error_LastText().find("Trying to save screen to empty image file name."), std::string::npos);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  Error_ResetForTests();
  EXPECT_EQ(a->object_index, plain_);
}

}  // namespace
