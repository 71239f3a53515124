// A room for the "Game.." group's tests: the group registered, sprites whose
// shapes the tests know, and instances made straight in the room.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "core/instances.h"
#include "core/objects.h"
#include "core/paths.h"
#include "core/precise.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/motion.h"
#include "unit/motion/motion_objects.h"
#include "unit/script/builtins_call.h"

namespace motion_world {

struct Pt {
  float x, y;
  bool operator==(const Pt&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Pt& p) { return os << "(" << p.x << ", " << p.y << ")"; }

// The control points of a path; none for a path that does not exist.
inline std::vector<Pt> Points(int path) {
  std::vector<Pt> out;
  const CMotionPath* p = Path_Get(path);
  for (int i = 0; p && i < p->GetNumber(); ++i) out.push_back({p->GetPoint(i).x, p->GetPoint(i).y});
  return out;
}

// Sprite 0: a 10 x 10 box with its origin at the corner. Sprite 1: the same
// box, precise, whose only solid pixel is its bottom right one, (9, 9).
inline bool Sprites(int32_t sprite, SpriteShape* out) {
  if (sprite == 0) *out = {1, 0, 0, 9, 9, 0, 0, false, 10, 10};
  else if (sprite == 1) *out = {1, 0, 0, 9, 9, 0, 0, true, 10, 10};
  else return false;
  return true;
}

inline bool Masks(int32_t sprite, MaskView* out) {
  static const std::vector<std::vector<uint8_t>> kCorner = [] {
    std::vector<uint8_t> m(100, 0);
    m[99] = 1;
    return std::vector<std::vector<uint8_t>>{m};
  }();
  if (sprite == 0) *out = MaskView{10, 10, 0, 0, 1, false, nullptr};
  else if (sprite == 1) *out = MaskView{10, 10, 0, 0, 1, true, &kCorner};
  else return false;
  return true;
}

// The group and the path built-ins registered; no objects and no paths.
class GameGroupTest : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    Objects_Reset();
    InitGameFunctions();
    Path_RegisterResourceFunctions();
    Path_FreeAll();
  }
  void TearDown() override {
    Path_FreeAll();
    Objects_Reset();
    BuiltinsTest::TearDown();
  }
};

class Room : public GameGroupTest {
 protected:
  void SetUp() override {
    GameGroupTest::SetUp();
    Instance_SetSpriteLookup(Sprites);
    Precise_SetMaskLookup(Masks);
    g_Run.room = &room_;
  }
  void TearDown() override {
    room_.DeleteAllInstances();
    room_.DeleteAllDeactivated();
    g_Run.room = nullptr;
    GameGroupTest::TearDown();
  }

  // A new object with sprite 0 (the box), or none with sprite -1.
  static int32_t Object(int32_t sprite = 0, int32_t parent = -1, bool solid = false) {
    return Motion_AddObject(sprite, parent, solid);
  }
  CObjInstance* At(int32_t object, float x, float y) { return room_.CreateInstance(x, y, object); }

  CGameRoom room_;
};

}  // namespace motion_world
