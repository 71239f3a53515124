// Room changes: the requests room_goto and its neighbours make, the reports
// for rooms that do not exist and for the ends of the room order, the room
// built-ins that ask the order, the room variable, and room assignment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/motion.h"
#include "core/builtin_vars.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/world_reset.h"

namespace {

class RoomChanges : public RoomWorldTest {
 protected:
  RoomChanges() : RoomWorldTest({.noDialogs = true}) {}
  void SetUp() override {
    RoomWorldTest::SetUp();
    for (int i = 0; i < 4; ++i) Room_Add();
    Room_SetOrder({0, 1, 2});
    InitGameFunctions();
  }

  // The request left by `change` in room `current`, and the last error text
  // ("" when none was reported).
  static std::pair<int32_t, std::string> Request(int32_t current, void (*change)()) {
    Error_ResetForTests();
    g_Run.room_index = current;
    g_Run.new_room = kNewRoomNone;
    g_Run.transition_kind = 3;
    testing::internal::CaptureStdout();
    change();
    testing::internal::GetCapturedStdout();
    return {g_Run.new_room, Error_Occurred() ? Error_LastText() : std::string()};
  }

  static double Call(const char* name, double arg) {
    ScriptValue args[1] = {ScriptValue::FromReal(arg)};
    ScriptValue result;
    FunctionRegistry_Call(FunctionRegistry_Find(name), nullptr, nullptr, &result, 1, args);
    return result.Real();
  }

};

int32_t g_target = 0;
void GotoTarget() { Room_Goto(g_target); }

TEST_F(RoomChanges, GotoAsksForAnExistingRoomAndAbortsOnAnyOther) {
  struct Case {
    int32_t room, request;
    const char* error;
  } cases[] = {
      {2, 2, ""},
      {3, 3, ""},  // not in the order, but it exists
      {0, 0, ""},
      {4, kNewRoomAbort, "Unexisting room number: 4"},
      {-1, kNewRoomAbort, "Unexisting room number: -1"},
      {-100, kNewRoomAbort, "Unexisting room number: -100"},  // never the end request
      {2000000000, kNewRoomAbort, "Unexisting room number: 2000000000"},
  };
  for (const Case& c : cases) {
    g_target = c.room;
    auto [request, error] = Request(1, GotoTarget);
    EXPECT_EQ(request, c.request) << c.room;
    EXPECT_EQ(g_Run.transition_kind, 0) << c.room;
    if (*c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_TRUE(Error_Aborting()) << "the report is fatal";
    } else {
      EXPECT_EQ(error, "") << c.room;
    }
  }
}

TEST_F(RoomChanges, NextAndPreviousStopAtTheEndsOfTheOrder) {
  struct Case {
    int32_t current;
    void (*change)();
    int32_t request;
    const char* error;
  } cases[] = {
      {0, Room_GotoNext, 1, ""},
      {1, Room_GotoNext, 2, ""},
      {2, Room_GotoNext, kNewRoomAbort, "Moving to next room after the last room."},
      {2, Room_GotoPrevious, 1, ""},
      {1, Room_GotoPrevious, 0, ""},
      {0, Room_GotoPrevious, kNewRoomAbort, "Moving to previous room before the first room."},
      {1, Room_Restart, 1, ""},
      {3, Room_Restart, 3, ""},
      {2, Game_Restart, kNewRoomRestart, ""},
  };
  for (const Case& c : cases) {
    auto [request, error] = Request(c.current, c.change);
    EXPECT_EQ(request, c.request) << "in room " << c.current << ", wanting " << c.request;
    if (*c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    } else {
      EXPECT_EQ(error, "") << "in room " << c.current;
    }
  }
}

TEST_F(RoomChanges, RestartOfARoomThatNoLongerExistsAborts) {
  auto [request, error] = Request(9, Room_Restart);
  EXPECT_EQ(request, kNewRoomAbort);
  EXPECT_NE(error.find("Unexisting room number: 9"), std::string::npos) << error;
}

TEST_F(RoomChanges, NeighbourBuiltinsAnswerOnlyInsideTheOrder) {
  struct Case {
    double room, previous, next;
  } cases[] = {
      {0, -1, 1},   // the first has no previous
      {1, 0, 2},
      {2, 1, -1},   // the last has no next
      {3, 1, 1},    // exists but outside the order: the order's fallbacks
      {4, -1, -1},  // no such room
      {-1, -1, -1},
      {1.5, 1, -1},  // rounded to 2
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Call("room_previous", c.room), c.previous) << c.room;
    EXPECT_EQ(Call("room_next", c.room), c.next) << c.room;
  }
  Room_SetOrder({1});
  EXPECT_EQ(Call("room_previous", 1), -1);
  EXPECT_EQ(Call("room_next", 1), -1);
}

TEST_F(RoomChanges, GotoBuiltinAndRoomVariableShareTheBackEnd) {
  Call("room_goto", 2.5);  // rounded to 2
  EXPECT_EQ(g_Run.new_room, 2);

  BuiltinVar_RegisterAll();
  BuiltinVarAccess room = BuiltinVar_Access(BuiltinVar_Find("room"));
  ASSERT_NE(room.set, nullptr);
  ScriptValue v = ScriptValue::FromReal(3);
  EXPECT_TRUE(room.set(nullptr, -1, &v));
  EXPECT_EQ(g_Run.new_room, 3);
  v.real = 7;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(room.set(nullptr, -1, &v));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_Run.new_room, kNewRoomAbort);
  EXPECT_NE(Error_LastText().find("Unexisting room number: 7"), std::string::npos) << Error_LastText();
}

TEST_F(RoomChanges, AssignCopiesTheSourceUnderTheTargetsName) {
  Room_Get(2)->width = 1234;
  Room_Get(2)->caption = "source";
  ASSERT_NE(Room_Get(2)->AddDefinitionInstance(5, 6, 0), -1);
  const CGameRoom* before = Room_Get(1);
  EXPECT_TRUE(Room_Assign(1, 2));
  const CGameRoom* after = Room_Get(1);
  EXPECT_NE(after, before);
  EXPECT_EQ(after->width, 1234);
  EXPECT_EQ(after->caption, "source");
  EXPECT_EQ(Room_GetName(1), "__newroom1");
  EXPECT_EQ(after->Name(), "__newroom1");
  EXPECT_EQ(after->Record(), Room_Get(2)->Record()) << "the record is shared";
  EXPECT_EQ(after->active.Count(), 0) << "a definition holds no live instances";
  EXPECT_EQ(g_InstanceIdMap.Count(), 0);

  EXPECT_TRUE(Room_Assign(3, 3));
  EXPECT_FALSE(Room_Assign(4, 0));
  EXPECT_FALSE(Room_Assign(0, 4));
  EXPECT_FALSE(Room_Assign(-1, 0));
  EXPECT_EQ(Room_Count(), 4);
}

}  // namespace
