// The instance, image, alarm, timeline and test actions on box-shaped
// instances: where instances are made and what they start with, image
// changes, alarms and timelines absolute and relative, and the answers of the
// test actions on their edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "actions/actions.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "input/input.h"
#include "script/random.h"
#include "unit/actions/action_fixture.h"

namespace {

using actionfix::ActionRoom;
using actionfix::Called;

class ActionInstance : public ActionRoom {
 protected:
  int32_t LiveOf(int32_t object) {
    int32_t n = 0;
    for (CObjInstance* i : room_.active)
      if (i->object_index == object && !i->MarkedDead()) ++n;
    return n;
  }
  CObjInstance* LastMade() { return room_.active.Last(); }
};

TEST_F(ActionInstance, CreateObjectPlacesTheInstanceAbsoluteOrRelative) {
  CObjInstance* self = At(ghost_, 100, 50);
  Call(self, "action_create_object", {R(box_), R(10), R(20)});
  CObjInstance* made = LastMade();
  ASSERT_NE(made, self);
  EXPECT_EQ(made->object_index, box_);
  EXPECT_EQ(made->x, 10);
  EXPECT_EQ(made->y, 20);
  EXPECT_TRUE(made->created);

  Action_SetRelative(1);
  made = Action_CreateObject(self, box_, 10, 20);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->x, 110);
  EXPECT_EQ(made->y, 70);
  EXPECT_EQ(LiveOf(box_), 2);
}

TEST_F(ActionInstance, CreatingAMissingObjectIsReportedAndMakesNothing) {
  CObjInstance* self = At(ghost_, 100, 50);
  const Called out = Call(self, "action_create_object", {R(77), R(10), R(20)});
  EXPECT_TRUE(out.reported);
  EXPECT_NE(out.report.find("Creating instance for non-existing object: 77"), std::string::npos) << out.report;
  EXPECT_EQ(room_.active.Count(), 1);
  EXPECT_EQ(Action_CreateObject(self, -1, 0, 0), nullptr);
}

TEST_F(ActionInstance, CreateObjectMotionGivesSpeedThenDirection) {
  CObjInstance* self = At(ghost_, 100, 50);
  Action_SetRelative(1);
  Call(self, "action_create_object_motion", {R(box_), R(5), R(5), R(4), R(90)});
  CObjInstance* made = LastMade();
  ASSERT_NE(made, self);
  EXPECT_EQ(made->x, 105);
  EXPECT_EQ(made->y, 55);
  EXPECT_NEAR(made->speed, 4, 1e-5);
  EXPECT_NEAR(made->direction, 90, 1e-5);
  EXPECT_NEAR(made->vspeed, -4, 1e-5);
  EXPECT_TRUE(made->created);
}

TEST_F(ActionInstance, CreateObjectRandomPicksOnlyExistingObjects) {
  CObjInstance* self = At(ghost_, 0, 0);
  for (int i = 0; i < 20; ++i) Call(self, "action_create_object_random", {R(40), R(41), R(box_), R(-1), R(7), R(8)});
  EXPECT_EQ(LiveOf(box_), 20);
  EXPECT_EQ(LastMade()->x, 7);

  // None of them exists: no instance and no report.
  const Called out = Call(self, "action_create_object_random", {R(40), R(41), R(42), R(-1), R(7), R(8)});
  EXPECT_FALSE(out.reported);
  EXPECT_EQ(room_.active.Count(), 21);

  // Two of them: both come up.
  for (int i = 0; i < 60; ++i) Call(self, "action_create_object_random", {R(wall_), R(41), R(box_), R(-1), R(7), R(8)});
  EXPECT_GT(LiveOf(wall_), 0);
  EXPECT_GT(LiveOf(box_), 20);
}

TEST_F(ActionInstance, KillObjectRunsTheDestroyOnce) {
  CObjInstance* self = At(ghost_, 0, 0);
  Call(self, "action_kill_object");
  EXPECT_TRUE(self->MarkedDead());
  EXPECT_TRUE(self->destroy_done);
  Action_KillObject(self);
  Action_KillObject(nullptr);
  EXPECT_TRUE(self->MarkedDead());
}

TEST_F(ActionInstance, KillPositionIsRelativeToSelfUnderTheFlag) {
  CObjInstance* self = At(ghost_, 200, 200);
  CObjInstance* target = At(box_, 100, 100);
  Call(self, "action_kill_position", {R(-95), R(-95)});
  EXPECT_FALSE(target->MarkedDead());
  Action_SetRelative(1);
  Call(self, "action_kill_position", {R(-95), R(-95)});
  EXPECT_TRUE(target->MarkedDead());
  EXPECT_FALSE(self->MarkedDead());
}

TEST_F(ActionInstance, SetSpriteScalesOnlyWithAPositiveScale) {
  CObjInstance* self = At(ghost_, 0, 0);
  Call(self, "action_set_sprite", {R(1), R(2)});
  EXPECT_EQ(self->sprite_index, 1);
  EXPECT_EQ(self->image_xscale, 2);
  EXPECT_EQ(self->image_yscale, 2);
  Call(self, "action_set_sprite", {R(0), R(0)});
  EXPECT_EQ(self->sprite_index, 0);
  EXPECT_EQ(self->image_xscale, 2);
  // A missing sprite is reported and changes nothing else.
  const Called out = Call(self, "action_set_sprite", {R(9), R(3)});
  EXPECT_TRUE(out.reported);
  EXPECT_EQ(self->sprite_index, 0);
  EXPECT_EQ(self->image_xscale, 2);
}

TEST_F(ActionInstance, SpriteSetKeepsTheFrameForANegativeSubimage) {
  CObjInstance* self = At(ghost_, 0, 0);
  Call(self, "action_sprite_set", {R(1), R(3), R(0.5)});
  EXPECT_EQ(self->sprite_index, 1);
  EXPECT_EQ(self->image_index, 3);
  EXPECT_EQ(self->image_speed, 0.5f);
  // Every test sprite has one frame: the index stays below it.
  self->image_index = 0.5f;
  Call(self, "action_sprite_set", {R(0), R(-1), R(2)});
  EXPECT_EQ(self->sprite_index, 0);
  EXPECT_EQ(self->image_index, 0.5f);
  EXPECT_EQ(self->image_speed, 2);
  EXPECT_TRUE(Call(self, "action_sprite_set", {R(9), R(0), R(7)}).reported);
  EXPECT_EQ(self->image_speed, 2);
}

TEST_F(ActionInstance, SpriteTransformMirrors) {
  const struct {
    double mirror;
    float xs, ys;
  } cases[] = {{0, 2, 1}, {1, -2, 1}, {2, 2, -1}, {3, -2, -1}, {2.5, 2, -1}, {4, 2, 1}};
  for (const auto& c : cases) {
    CObjInstance* self = At(ghost_, 0, 0);
    Call(self, "action_sprite_transform", {R(2), R(1), R(30), R(c.mirror)});
    EXPECT_EQ(self->image_xscale, c.xs) << c.mirror;
    EXPECT_EQ(self->image_yscale, c.ys) << c.mirror;
    EXPECT_EQ(self->image_angle, 30) << c.mirror;
  }
}

TEST_F(ActionInstance, SpriteColourSetsBlendAndAlphaUnderBothNames) {
  CObjInstance* self = At(ghost_, 0, 0);
  Call(self, "action_sprite_color", {R(0x00FF00), R(0.25)});
  EXPECT_EQ(self->image_blend, 0x00FF00u);
  EXPECT_EQ(self->image_alpha, 0.25f);
  Call(self, "action_sprite_colour", {R(255.5), R(1)});
  EXPECT_EQ(self->image_blend, 256u);
  EXPECT_EQ(self->image_alpha, 1);
}

TEST_F(ActionInstance, AlarmsAbsoluteAndRelative) {
  CObjInstance* self = At(ghost_, 0, 0);
  self->SetAlarm(0, -1);
  self->SetAlarm(1, 5);
  Call(self, "action_set_alarm", {R(2.5), R(2.5)});  // halves to even: alarm 2 = 2
  EXPECT_EQ(self->GetAlarm(2), 2);
  Action_SetRelative(1);
  Call(self, "action_set_alarm", {R(10), R(0)});
  Call(self, "action_set_alarm", {R(10), R(1)});
  EXPECT_EQ(self->GetAlarm(0), 10);
  EXPECT_EQ(self->GetAlarm(1), 15);
  Action_SetAlarm(self, 3, 1);
  EXPECT_EQ(self->GetAlarm(1), 18);
  // Alarms beyond the twelve, and sums beyond the range, are held.
  Call(self, "action_set_alarm", {R(4), R(12)});
  self->SetAlarm(3, 2147483000);
  Action_SetAlarm(self, 1e6, 3);
  EXPECT_EQ(self->GetAlarm(3), 2147483647);
  Action_SetRelative(0);
  Action_SetAlarm(self, 7, 0);
  EXPECT_EQ(self->GetAlarm(0), 7);
}

TEST_F(ActionInstance, TimelineActions) {
  CObjInstance* self = At(ghost_, 0, 0);
  Call(self, "action_set_timeline", {R(3), R(4.5)});
  EXPECT_EQ(self->timeline_index, 3);
  EXPECT_EQ(self->timeline_position, 4);
  EXPECT_TRUE(self->timeline_running);

  Action_SetRelative(1);
  Call(self, "action_set_timeline_position", {R(2.6)});
  EXPECT_EQ(self->timeline_position, 7);
  Call(self, "action_set_timeline_speed", {R(0.5)});
  EXPECT_EQ(self->timeline_speed, 1.5f);
  Action_SetRelative(0);
  Call(self, "action_set_timeline_position", {R(2.6)});
  EXPECT_EQ(self->timeline_position, 3);
  Call(self, "action_set_timeline_speed", {R(0.5)});
  EXPECT_EQ(self->timeline_speed, 0.5f);

  Call(self, "action_timeline_pause");
  EXPECT_FALSE(self->timeline_running);
  Call(self, "action_timeline_start");
  EXPECT_TRUE(self->timeline_running);
  Call(self, "action_timeline_stop");
  EXPECT_FALSE(self->timeline_running);
  EXPECT_EQ(self->timeline_position, 0);

  // A start argument of 0 starts; only a loop of 1 loops.
  const struct {
    double start, loop;
    bool running, looping;
  } cases[] = {{1, 0, false, false}, {0, 1, true, true}, {0.4, 1.4, true, true}, {2, 2, false, false}};
  for (const auto& c : cases) {
    Call(self, "action_timeline_set", {R(6), R(2), R(c.start), R(c.loop)});
    EXPECT_EQ(self->timeline_index, 6);
    EXPECT_EQ(self->timeline_position, 2);
    EXPECT_EQ(self->timeline_running, c.running) << c.start;
    EXPECT_EQ(self->timeline_loop, c.looping) << c.loop;
  }
}

TEST_F(ActionInstance, IfAnswersItsValueUnchanged) {
  EXPECT_EQ(Call(nullptr, "action_if", {R(0.25)}).real, 0.25);
  const int index = FunctionRegistry_Find("action_if");
  ScriptValue arg = S("yes");
  ScriptValue result;
  FunctionRegistry_Call(index, nullptr, nullptr, &result, 1, &arg);
  EXPECT_TRUE(result.IsString());
  EXPECT_STREQ(result.Text(), "yes");
  ScriptValue_Free(&result);
  ScriptValue_Free(&arg);
}

TEST_F(ActionInstance, IfEmptyAndIfCollisionAreOpposites) {
  CObjInstance* self = At(ghost_, 100, 100);
  At(wall_, 120, 100);
  At(ghost_, 100, 130);
  const struct {
    double x, y, objects;
    bool relative, empty;
  } cases[] = {
      {115, 100, 0, false, false},  // the solid wall
      {100, 125, 0, false, true},   // a non-solid box is no obstacle ...
      {100, 125, 1, false, false},  // ... unless all objects count
      {100, 125, 0.4, false, true},
      {15, 0, 0, true, false},      // relative: at (115, 100)
      {0, 25, 1, true, false},
      {0, -50, 1, true, true},
  };
  for (const auto& c : cases) {
    Action_SetRelative(c.relative);
    EXPECT_EQ(Call(self, "action_if_empty", {R(c.x), R(c.y), R(c.objects)}).real, c.empty ? 1 : 0) << c.x << "," << c.y;
    EXPECT_EQ(Call(self, "action_if_collision", {R(c.x), R(c.y), R(c.objects)}).real, c.empty ? 0 : 1);
  }
}

TEST_F(ActionInstance, IfObjectMeetsAnObjectAtThePlace) {
  CObjInstance* self = At(ghost_, 100, 100);
  At(box_, 120, 100);
  EXPECT_EQ(Call(self, "action_if_object", {R(box_), R(115), R(100)}).real, 1);
  EXPECT_EQ(Call(self, "action_if_object", {R(wall_), R(115), R(100)}).real, 0);
  EXPECT_EQ(Call(self, "action_if_object", {R(box_), R(100), R(100)}).real, 0);
  Action_SetRelative(1);
  EXPECT_EQ(Call(self, "action_if_object", {R(box_), R(15), R(0)}).real, 1);
  // -1 is no stand-in for self here.
  EXPECT_EQ(Call(self, "action_if_object", {R(-1), R(0), R(0)}).real, 0);
}

TEST_F(ActionInstance, IfNumberComparesTheCount) {
  At(box_, 0, 0);
  At(box_, 50, 0);
  const struct {
    double number, comparison;
    bool answer;
  } cases[] = {{2, 0, true}, {3, 0, false}, {3, 1, true}, {2, 1, false}, {1, 2, true},
               {2, 2, false}, {2, 3, true}, {1, 4, false}, {2, 9, true}, {2, -1, true}};
  for (const auto& c : cases)
    EXPECT_EQ(Call(nullptr, "action_if_number", {R(box_), R(c.number), R(c.comparison)}).real, c.answer ? 1 : 0)
        << c.number << " " << c.comparison;
}

TEST_F(ActionInstance, IfDiceIsAlwaysTrueForOneSideOrFewer) {
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(Call(nullptr, "action_if_dice", {R(1)}).real, 1);
    EXPECT_EQ(Call(nullptr, "action_if_dice", {R(0.5)}).real, 1);
    EXPECT_EQ(Call(nullptr, "action_if_dice", {R(-3)}).real, 1);
  }
  Random_SetSeed(3);
  int yes = 0;
  for (int i = 0; i < 2000; ++i) yes += int(Call(nullptr, "action_if_dice", {R(4)}).real);
  EXPECT_GT(yes, 400);
  EXPECT_LT(yes, 620);
  // Beyond the integer range, and no number: an answer, no failure.
  Call(nullptr, "action_if_dice", {R(1e300)});
  Call(nullptr, "action_if_dice", {R(std::numeric_limits<double>::quiet_NaN())});
}

TEST_F(ActionInstance, IfVariableComparesLikeKindsOnly) {
  const struct {
    ScriptValue a, b;
    double op;
    bool answer, reported;
  } cases[] = {
      {R(3), S("3"), 0, false, true},       {S("3"), R(3), 0, false, true},
      {S("abc"), S("abd"), 1, true, false}, {S("abd"), S("abc"), 1, false, false},
      {S("abc"), S("abc"), 7, true, false}, {R(2), R(2), 7, true, false},
      {R(2), R(2.5), 7, false, false},      {R(2), R(3), 2, false, false},
      {R(3), R(3), 3, true, false},         {R(4), R(3), 3, false, false},
      {R(3), R(3), 4, true, false},         {R(2), R(3), 4, false, false},
      {S("\xC3\xA9"), S("z"), 2, true, false},  // bytes compare unsigned
      {S("ab"), S("abc"), 1, true, false},  {S(""), S(""), 0, true, false},
      {R(std::numeric_limits<double>::infinity()), R(std::numeric_limits<double>::infinity()), 0, true, false},
      {R(2), R(2), 0.5, true, false},       {R(2), R(3), 1.5, false, false},  // 1.5 rounds to 2
  };
  // Each call takes its arguments over (and frees their texts).
  int n = 0;
  for (const auto& c : cases) {
    const Called out = Call(nullptr, "action_if_variable", {c.a, c.b, R(c.op)});
    EXPECT_EQ(out.real, c.answer ? 1 : 0) << "case " << n;
    EXPECT_EQ(out.reported, c.reported) << "case " << n;
    if (c.reported) {
      EXPECT_NE(out.report.find("Cannot compare arguments."), std::string::npos) << out.report;
    }
    ++n;
  }
}

TEST_F(ActionInstance, ScoreLivesAndHealthTests) {
  g_Run.score = 10;
  g_Run.lives = 3;
  g_Run.health = 42.5;
  const struct {
    const char* action;
    double value, comparison;
    bool answer;
  } cases[] = {
      {"action_if_score", 10, 0, true},    {"action_if_score", 11, 1, true},  {"action_if_score", 10, 1, false},
      {"action_if_score", 9, 2, true},     {"action_if_score", 10, 3, true},  {"action_if_score", 11, 3, false},
      {"action_if_score", 9, 4, false},    {"action_if_score", 9.5, 0, false},
      {"action_if_life", 3, 0, true},      {"action_if_life", 2, 2, true},    {"action_if_life", 3, 2, false},
      {"action_if_health", 42.5, 0, true}, {"action_if_health", 42, 0, false}, {"action_if_health", 50, 1, true},
      {"action_if_health", 42.5, 1.5, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Call(nullptr, c.action, {R(c.value), R(c.comparison)}).real, c.answer ? 1 : 0)
        << c.action << " " << c.value << " " << c.comparison;
}

TEST_F(ActionInstance, IfMouseSeesHeldAndReleasedButtons) {
  IO_Init();
  IO_Update();
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(0)}).real, 1);
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(1)}).real, 0);
  Input_OnMouseDown(1, 0, 0);
  IO_Update();
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(1)}).real, 1);
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(2)}).real, 0);
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(0)}).real, 0);
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(7)}).real, 0);
  Input_OnMouseUp(1, 0, 0);
  IO_Update();
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(1)}).real, 1);  // released this step
  IO_Update();
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(1)}).real, 0);
  EXPECT_EQ(Call(nullptr, "action_if_mouse", {R(-1)}).real, 1);
  IO_Clear();
}

TEST_F(ActionInstance, IfAlignedIsPlaceSnapped) {
  CObjInstance* self = At(ghost_, 32, 48);
  EXPECT_EQ(Call(self, "action_if_aligned", {R(16), R(16)}).real, 1);
  EXPECT_EQ(Call(self, "action_if_aligned", {R(16), R(32)}).real, 0);
  EXPECT_EQ(Call(self, "action_if_aligned", {R(0), R(-1)}).real, 1);
}

TEST_F(ActionInstance, PreviousAndNextRoomTestsFollowTheRoomOrder) {
  for (int i = 0; i < 3; ++i) Room_Add();
  Room_SetOrder({2, 0, 1});
  const struct {
    int32_t room;
    bool previous, next;
  } cases[] = {{Room_First(), false, true}, {Room_Next(Room_First()), true, true}, {Room_Last(), true, false}};
  for (const auto& c : cases) {
    g_Run.room_index = c.room;
    EXPECT_EQ(Call(nullptr, "action_if_previous_room").real, c.previous ? 1 : 0) << c.room;
    EXPECT_EQ(Call(nullptr, "action_if_next_room").real, c.next ? 1 : 0) << c.room;
  }
  Room_FreeAll();
}

TEST_F(ActionInstance, AnUnansweredQuestionIsNoAndClearsInput) {
  IO_Init();
  Input_OnMouseDown(1, 0, 0);
  IO_Update();
  EXPECT_EQ(Call(nullptr, "action_if_question", {S("Sure?#Really")}).real, 0);
  EXPECT_FALSE(IO_MouseIsDown(1, 0));
}

TEST_F(ActionInstance, WithoutAnInstanceInstanceActionsDoNothing) {
  for (const char* action : {"action_set_alarm", "action_sprite_transform", "action_timeline_set",
                             "action_if_empty", "action_if_object", "action_if_aligned", "action_kill_object",
                             "action_sprite_set"}) {
    const Called out = Call(nullptr, action, {R(1), R(0), R(0), R(0)});
    EXPECT_EQ(out.real, -12345) << action;
  }
}

}  // namespace
