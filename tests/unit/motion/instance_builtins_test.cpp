// The instance family of the "Game.." group: creation and its misuse,
// copies, deactivation and activation by object, id and region with the
// pending list that the room lists follow at the flush, transitions and
// sleep.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>

#include "core/instance_commands.h"
#include "core/instance_vars.h"
#include "graphics/transitions.h"
#include "platform/clock.h"
#include "script/scripts.h"
#include "script/variable_names.h"
#include "unit/motion/game_builtins_fixture.h"

namespace {

using gamefix::GameRoom;

class GameInstanceBuiltins : public GameRoom {
 protected:
  void TearDown() override {
    Transition_ClearDefined();
    GameRoom::TearDown();
  }
  static bool InList(const InstanceList& list, const CObjInstance* i) { return list.Contains(i); }
  static ScriptValue T(const char* text) {
    ScriptValue v;
    ScriptValue_SetText(&v, text);
    return v;
  }
  static std::vector<CObjInstance*> ActiveOf(int32_t object) {
    std::vector<CObjInstance*> out;
    for (CObjInstance* i : Object_Find(object)->AllInstances()) out.push_back(i);
    return out;
  }
};

TEST_F(GameInstanceBuiltins, CreateReturnsTheNewIdOrMinusOneWithItsReport) {
  const auto made = Call(nullptr, "instance_create", {R(5), R(6), R(box_ + 0.9)});  // truncated
  CObjInstance* i = Instance_FindByID(int32_t(made.real));
  ASSERT_NE(i, nullptr);
  EXPECT_EQ(i->object_index, box_);
  EXPECT_EQ(i->x, 5);
  EXPECT_TRUE(i->created);
  EXPECT_TRUE(InList(room_.active, i));
  const auto missing = Call(nullptr, "instance_create", {R(0), R(0), R(99)});
  EXPECT_EQ(missing.real, -1);
  EXPECT_NE(missing.report.find("Creating instance for non-existing object: 99"), std::string::npos);
  for (int at = 0; at < 3; ++at) {
    std::vector<ScriptValue> args = {R(1), R(2), R(box_)};
    ScriptValue_Free(&args[size_t(at)]);
    args[size_t(at)] = T("1");
    const int32_t before = room_.active.Count();
    ScriptValue result;
    Error_ResetForTests();
    testing::internal::CaptureStdout();
    FunctionRegistry_Call(FunctionRegistry_Find("instance_create"), nullptr, nullptr, &result, 3, args.data());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(result.Real(), -1) << at;
    EXPECT_NE(Error_LastText().find("instance_create( ) error: Illegal type"), std::string::npos) << at;
    EXPECT_EQ(room_.active.Count(), before) << at;
    for (ScriptValue& v : args) ScriptValue_Free(&v);
  }
}

TEST_F(GameInstanceBuiltins, CopyTakesSelfsStateButAnIdOfItsOwn) {
  CObjInstance* self = At(box_, 10, 20);
  self->SetHSpeed(3);
  self->SetAlarm(4, 17);
  self->SetDepth(-7);
  ScriptValue v = ScriptValue::FromReal(42);
  const int32_t var = VariableName_ToID("carried");
  Instance_SetVar(self, var, -1, &v);
  const auto quiet = Call(self, "instance_copy", {R(0.49)});
  CObjInstance* copy = Instance_FindByID(int32_t(quiet.real));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->id, self->id);
  EXPECT_EQ(Instance_FindByID(self->id), self);
  EXPECT_EQ(copy->x, 10);
  EXPECT_EQ(copy->hspeed, 3);
  EXPECT_EQ(copy->GetAlarm(4), 17);
  EXPECT_EQ(copy->depth, -7);
  EXPECT_FALSE(copy->created);  // no create event
  ScriptValue out;
  ASSERT_TRUE(Instance_GetVar(copy, var, -1, &out));
  EXPECT_EQ(out.Real(), 42);
  const auto ActiveHas = [&](CObjInstance* i) {
    auto all = ActiveOf(box_);
    return std::count(all.begin(), all.end(), i);
  };
  EXPECT_EQ(ActiveHas(copy), 1);
  const auto loud = Call(self, "instance_copy", {R(0.5)});
  EXPECT_TRUE(Instance_FindByID(int32_t(loud.real))->created);
  EXPECT_EQ(Call(nullptr, "instance_copy", {R(1)}).real, -1);
}

TEST_F(GameInstanceBuiltins, DeactivationFlagsAtOnceAndTheListsFollowAtTheFlush) {
  CObjInstance* a = At(box_, 0, 0);
  CObjInstance* b = At(box_, 50, 0);
  CObjInstance* w = At(wall_, 100, 0);
  Call(a, "instance_deactivate_object", {R(box_)});
  EXPECT_TRUE(a->deactivated);
  EXPECT_TRUE(b->deactivated);
  EXPECT_FALSE(w->deactivated);
  EXPECT_EQ(PendingActivationChanges.Count(), 2);
  EXPECT_EQ(Instance_Number(box_), 0);  // queries see the flag at once
  EXPECT_TRUE(InList(room_.active, a));  // the lists wait for the flush
  Call(a, "instance_deactivate_object", {R(box_)});
  Call(a, "instance_deactivate_object", {R(b->id)});
  EXPECT_EQ(PendingActivationChanges.Count(), 2);  // nothing more is listed
  room_.ApplyActivationChanges();
  PendingActivationChanges.Clear();
  EXPECT_TRUE(InList(room_.deactivated, a));
  EXPECT_TRUE(InList(room_.deactivated, b));
  EXPECT_TRUE(ActiveOf(box_).empty());
  // Back with the same ids, in the active list and the object's list.
  Call(w, "instance_activate_object", {R(a->id)});
  Call(w, "instance_activate_object", {R(a->id)});
  EXPECT_EQ(PendingActivationChanges.Count(), 1);
  room_.ApplyActivationChanges();
  PendingActivationChanges.Clear();
  EXPECT_TRUE(InList(room_.active, a));
  EXPECT_EQ(Instance_FindByID(a->id), a);
  EXPECT_EQ(ActiveOf(box_), std::vector<CObjInstance*>{a});
  Call(w, "instance_activate_all");
  EXPECT_FALSE(b->deactivated);
}

TEST_F(GameInstanceBuiltins, TargetsOfTheObjectBuiltins) {
  const int32_t child = Object(0, false, box_);
  CObjInstance* parent = At(box_, 0, 0);
  CObjInstance* kid = At(child, 0, 0);
  CObjInstance* w = At(wall_, 0, 0);
  CObjInstance* g = At(ghost_, 0, 0);
  const struct {
    double target;
    bool parent, kid, wall, ghost;
  } cases[] = {
      {double(box_), true, true, false, false},  // with descendants
      {double(child), false, true, false, false},
      {-1, true, false, false, false},           // self
      {-2, false, false, true, false},           // other
      {-3, true, true, true, true},
      {-4, false, false, false, false},
      {99, false, false, false, false},  // no such object
  };
  for (const auto& c : cases) {
    Call(parent, "instance_deactivate_object", {R(c.target)}, w);
    EXPECT_EQ(parent->deactivated, c.parent) << c.target;
    EXPECT_EQ(kid->deactivated, c.kid) << c.target;
    EXPECT_EQ(w->deactivated, c.wall) << c.target;
    EXPECT_EQ(g->deactivated, c.ghost) << c.target;
    Call(parent, "instance_activate_object", {R(c.target)}, w);
    for (CObjInstance* i : {parent, kid, w, g}) EXPECT_FALSE(i->deactivated) << c.target;
  }
}

TEST_F(GameInstanceBuiltins, DeactivateAllSparesTheCallerOnlyWhenAsked) {
  CObjInstance* self = At(box_, 0, 0);
  CObjInstance* rest = At(wall_, 0, 0);
  Call(self, "instance_deactivate_all", {R(1)});
  EXPECT_FALSE(self->deactivated);
  EXPECT_TRUE(rest->deactivated);
  Call(self, "instance_deactivate_all", {R(0)});
  EXPECT_TRUE(self->deactivated);
}

TEST_F(GameInstanceBuiltins, RegionsChangeOverlappingOrWhollyOutsideInstances) {
  // The region is x 100..200, y 100..200.
  CObjInstance* left = At(box_, 80, 150);      // 80..89: wholly left
  CObjInstance* touching = At(box_, 91, 150);  // 91..100: touches the left edge
  CObjInstance* in = At(box_, 150, 150);
  CObjInstance* below = At(wall_, 150, 211);
  CObjInstance* bare = At(box_, 0, 0);
  bare->SetSpriteIndex(-1);  // a point at its position
  bare->SetPosition(200, 200);
  Call(in, "instance_deactivate_region", {R(100), R(100), R(100), R(100), R(0), R(0)});
  EXPECT_TRUE(left->deactivated);
  EXPECT_FALSE(touching->deactivated);
  EXPECT_FALSE(in->deactivated);
  EXPECT_TRUE(below->deactivated);
  EXPECT_FALSE(bare->deactivated);
  Call(in, "instance_activate_region", {R(0), R(0), R(95), R(300), R(1)});
  EXPECT_FALSE(left->deactivated);
  EXPECT_TRUE(below->deactivated);
  // Inside: those overlapping; notme keeps the caller.
  Call(in, "instance_deactivate_region", {R(100), R(100), R(100), R(100), R(1), R(1)});
  EXPECT_TRUE(touching->deactivated);
  EXPECT_TRUE(bare->deactivated);
  EXPECT_FALSE(in->deactivated);
  EXPECT_FALSE(left->deactivated);
}

TEST_F(GameInstanceBuiltins, PositionDestroyLeavesDeactivatedInstancesAlone) {
  CObjInstance* asleep = At(box_, 0, 0);
  CObjInstance* awake = At(wall_, 0, 0);
  Instance_Deactivate(asleep);
  Call(nullptr, "position_destroy", {R(5), R(5)});
  EXPECT_FALSE(asleep->destroy_done);
  EXPECT_FALSE(asleep->MarkedDead());
  EXPECT_TRUE(awake->MarkedDead());
  Call(nullptr, "position_change", {R(5), R(5), R(ghost_), R(0)});
  EXPECT_EQ(asleep->object_index, box_);
  const auto missing = Call(nullptr, "position_change", {R(5), R(5), R(99), R(0)});
  EXPECT_NE(missing.report.find("Asking to change into non-existing object: 99"), std::string::npos);
}

TEST_F(GameInstanceBuiltins, ChangeSpriteAndDestroyReportMisuse) {
  CObjInstance* self = At(box_, 0, 0);
  EXPECT_NE(Call(self, "instance_change", {R(77), R(1)}).report.find("Asking to change into non-existing object: 77"),
            std::string::npos);
  EXPECT_NE(Call(nullptr, "instance_change", {R(77), R(1)}).report.find("non-existing object: 77"), std::string::npos);
  EXPECT_NE(Call(self, "instance_sprite", {R(5)}).report.find("Setting instance to non-existing sprite: 5"),
            std::string::npos);
  EXPECT_FALSE(Call(self, "instance_sprite", {R(1)}).reported);
  EXPECT_EQ(self->sprite_index, 1);
  Call(self, "instance_change", {R(ghost_), R(0)});
  EXPECT_EQ(self->object_index, ghost_);
  Call(self, "instance_destroy");
  EXPECT_TRUE(self->MarkedDead());
  Call(nullptr, "instance_destroy");  // nothing to destroy
}

TEST_F(GameInstanceBuiltins, TransitionsBuiltInAndDefined) {
  for (double kind : {1.0, 21.0, 20.6}) EXPECT_EQ(Call(nullptr, "transition_exists", {R(kind)}).real, 1) << kind;
  for (double kind : {0.0, 22.0, -1.0, 40.0}) EXPECT_EQ(Call(nullptr, "transition_exists", {R(kind)}).real, 0) << kind;
  EXPECT_EQ(Call(nullptr, "transition_define", {R(40), T("scr_fade")}).real, 0);
  auto script = std::make_unique<CScript>("scr_fade");
  script->SetText("");
  Script_AddForTests(std::move(script));
  EXPECT_EQ(Call(nullptr, "transition_define", {R(40), T("scr_fade")}).real, 1);
  EXPECT_EQ(Call(nullptr, "transition_exists", {R(40)}).real, 1);
  EXPECT_EQ(Transition_Script(40), Script_Find("scr_fade"));
}

TEST_F(GameInstanceBuiltins, SleepWaitsRoundedMicrosecondsUpToThreeSeconds) {
  Clock_SetVirtual(true);
  const struct {
    double ms;
    int64_t us;
  } cases[] = {{1.5, 1500}, {5000, 3000000}, {-1, 0}, {0, 0}, {0.0004, 0}, {0.0006, 1},
               {std::numeric_limits<double>::quiet_NaN(), 0}, {1e300, 3000000}};
  for (const auto& c : cases) {
    const int64_t before = Clock_Microseconds();
    Call(nullptr, "sleep", {R(c.ms)});
    EXPECT_EQ(Clock_Microseconds() - before, c.us) << c.ms;
  }
  Clock_SetVirtual(false);
}

}  // namespace
