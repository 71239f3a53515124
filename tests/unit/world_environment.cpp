// Every unit test runs in a process whose script runtime knows the world, as
// the runner's start-up arranges; tests of the runtime alone reset it.
#include <gtest/gtest.h>

#include "core/script_world.h"
#include "ext/extensions.h"
#include "script/world.h"

namespace {
class WorldEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    World_InstallScriptHooks();
    g_ScriptWorld.callExternal = Extension_CallExternal;
  }
};

[[maybe_unused]] ::testing::Environment* const kWorld = ::testing::AddGlobalTestEnvironment(new WorldEnvironment);
}  // namespace
