#include <gtest/gtest.h>

#include "actions/action_group.h"
#include "actions/actions.h"
#include "unit/script/builtin_group_check.h"
#include "unit/script/builtins_call.h"

namespace {

class ActionGroup : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    InitActionFunctions();
  }
};

TEST_F(ActionGroup, RegistersItsNamesInTheirOrderWithTheirCounts) {
  const auto names = ExpectGroupRegistered(Action_Group());
  EXPECT_EQ(names.size(), 136u);
  for (const BuiltinGroupName& n : Action_Group().order)
    EXPECT_GE(FunctionRegistry_Find(n.name), 0) << n.name << " has no handler";
}

TEST_F(ActionGroup, RetiredNamesCanBeCalledAndDoNothing) {
  for (const char* name : {"action_path_old", "action_draw_font", "action_draw_font_old", "action_fill_color",
                           "action_fill_colour", "action_line_color", "action_line_colour", "action_highscore"}) {
    const Outcome out = Call(name, {1, 2, 3, 4, 5, 6});
    EXPECT_FALSE(out.reported) << name;
    EXPECT_EQ(out.Real(), 0) << name;
  }
}

TEST_F(ActionGroup, TheRelativeFlagIsSetFromAHalfAndStaysUntilChanged) {
  EXPECT_FALSE(Action_GetRelative());
  Call("action_set_relative", {0.5});
  EXPECT_TRUE(Action_GetRelative());
  Call("action_set_relative", {0.49});
  EXPECT_FALSE(Action_GetRelative());
  EXPECT_TRUE(Action_SetRelative(7));
  EXPECT_TRUE(Action_GetRelative());
  EXPECT_FALSE(Action_SetRelative(0));
  Action_SetRelative(1);
  Action_Reset();
  EXPECT_FALSE(Action_GetRelative());
}

}  // namespace
