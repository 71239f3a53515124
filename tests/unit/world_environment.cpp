// Every unit test runs in a process whose script runtime knows the world, as
// the runner's start-up arranges.
#include <gtest/gtest.h>

#include <cstdlib>

#include "runner/startup.h"
#include "script/vm.h"

namespace {
class WorldEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // No test ever waits on a dialog window.
    setenv("TARNWICKE_NO_DIALOGS", "1", 0);
    // As start-up's world and machine steps do.
    Runner_InstallWorld();
    VM_Init();
  }
};

[[maybe_unused]] ::testing::Environment* const kWorld = ::testing::AddGlobalTestEnvironment(new WorldEnvironment);
}  // namespace
