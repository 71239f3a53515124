// Every unit test runs in a process whose script runtime knows the world, as
// the runner's start-up arranges.
#include <gtest/gtest.h>

#include "runner/startup.h"

namespace {
class WorldEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { Runner_InstallWorld(); }
};

[[maybe_unused]] ::testing::Environment* const kWorld = ::testing::AddGlobalTestEnvironment(new WorldEnvironment);
}  // namespace
