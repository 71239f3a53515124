// A room of box-shaped instances for the motion and instance built-ins of
// the "Game.." group, called by name on a calling instance.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/motion.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/motion/motion_objects.h"
#include "unit/world_reset.h"

namespace gamefix {

// Sprite 0: a 10x10 box with its origin at the corner. Sprite 1: a 700x10
// box, wider than the room.
inline bool Sprites(int32_t sprite, SpriteShape* out) {
  switch (sprite) {
    case 0: *out = {1, 0, 0, 9, 9, 0, 0, false, 10, 10}; return true;
    case 1: *out = {1, 0, 0, 699, 9, 0, 0, false, 700, 10}; return true;
    default: return false;
  }
}

struct Called {
  double real = 0;
  bool reported = false;
  std::string report;
};

class GameRoom : public RoomWorldTest {
 protected:
  GameRoom() : RoomWorldTest({.noDialogs = true}) {}
  void SetUp() override {
    RoomWorldTest::SetUp();
    Instance_SetSpriteLookup(Sprites);
    InitGameFunctions();
    room_.width = 640;
    room_.height = 480;
    g_Run.room = &room_;
    box_ = Object(0, true);
    wall_ = Object(0, true);
    ghost_ = Object(0, false);
  }
  void TearDown() override {
    room_.DeleteAllInstances();
    room_.DeleteAllDeactivated();
    g_Run.room = nullptr;
    RoomWorldTest::TearDown();
  }

  // A new object with the sprite and solidity, and optionally a parent.
  static int32_t Object(int32_t sprite, bool solid, int32_t parent = -1) {
    return Motion_AddObject(sprite, parent, solid);
  }
  CObjInstance* At(int32_t object, float x, float y) {
    return room_.CreateInstance(x, y, object);
  }

  static Called Call(CObjInstance* self, const char* name, std::initializer_list<ScriptValue> args = {},
                     CObjInstance* other = nullptr) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name;
    std::vector<ScriptValue> values(args.begin(), args.end());
    ScriptValue result = ScriptValue::FromReal(-12345);
    Error_ResetForTests();
    testing::internal::CaptureStdout();
    FunctionRegistry_Call(index, self, other, &result, int(values.size()), values.data());
    testing::internal::GetCapturedStdout();
    Called out{result.Real(), Error_Occurred(), Error_Occurred() ? Error_LastText() : std::string()};
    ScriptValue_Free(&result);
    // The call owns its arguments: texts made for it are freed here.
    for (ScriptValue& v : values) ScriptValue_Free(&v);
    return out;
  }
  static ScriptValue R(double x) { return ScriptValue::FromReal(x); }

  CGameRoom room_;
  int32_t box_ = 0, wall_ = 0, ghost_ = 0;
};

}  // namespace gamefix
