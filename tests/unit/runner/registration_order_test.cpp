#include <gtest/gtest.h>

#include "runner/startup.h"
#include "script/function_registry.h"
#include "unit/world_reset.h"

namespace {

using Registration = WorldTest;

// The resource group's families come in one order: sprites and backgrounds,
// sounds, fonts, then scripts, paths and time lines.
TEST_F(Registration, TheResourceFamiliesComeInTheirOrder) {
  InitTWSFunctions();
  const char* order[] = {"sprite_add", "sound_name", "sound_exists", "sound_delete", "font_name", "path_name"};
  int last = -1;
  for (const char* name : order) {
    const int index = FunctionRegistry_Find(name);
    ASSERT_GE(index, 0) << name;
    EXPECT_GT(index, last) << name;
    last = index;
  }
  EXPECT_GT(FunctionRegistry_Find("action_move"), FunctionRegistry_Find("draw_text"));
  EXPECT_LT(FunctionRegistry_Find("action_effect"), FunctionRegistry_Find("file_exists"));
}

}  // namespace
