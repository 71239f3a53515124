#include "runner/startup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "script/console.h"
#include "script/errors.h"

namespace {

std::string g_said;

template <char Name, bool Ok = true>
bool Start() {
  const std::string said = std::string("start ") + Name + "\n";
  g_said += said;
  Log(said.c_str());
  return Ok;
}
template <char Name>
void Stop() {
  g_said += std::string("stop ") + Name + "\n";
}

// Two base steps (one with nothing to stop), then three start-up steps of
// which the middle one fails.
constexpr RunnerStep kSteps[] = {
    {"a", RunnerPhase::kBase, nullptr, Start<'A'>, Stop<'A'>},
    {"b", RunnerPhase::kBase, nullptr, Start<'B'>, nullptr},
    {"c", RunnerPhase::kStartUp, "line C\n", Start<'C'>, Stop<'C'>},
    {"d", RunnerPhase::kStartUp, "line D\n", Start<'D', false>, Stop<'D'>},
    {"e", RunnerPhase::kStartUp, "line E\n", Start<'E'>, Stop<'E'>},
};

class StepWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    g_said.clear();
    testing::internal::CaptureStdout();
  }
  void TearDown() override { Printed(); }
  // What the steps wrote to the debug console so far (once).
  std::string Printed() {
    if (taken_) return {};
    taken_ = true;
    return testing::internal::GetCapturedStdout();
  }
  bool taken_ = false;
};

TEST_F(StepWalk, StopsOnlyTheStartedStepsLastFirstAndEachOnce) {
  struct Case {
    bool startUp;
    bool started;
    const char* said;
  } cases[] = {
      // Base services only: the start-up never ran.
      {false, true, "start A\nstart B\nstop A\n"},
      // The failing step counts as started and is stopped; the one after it
      // never starts.
      {true, false, "start A\nstart B\nstart C\nstart D\nstop D\nstop C\nstop A\n"},
  };
  for (const Case& c : cases) {
    g_said.clear();
    RunnerSteps steps(kSteps);
    EXPECT_TRUE(steps.Start(RunnerPhase::kBase));
    if (c.startUp) {
      EXPECT_EQ(steps.Start(RunnerPhase::kStartUp), c.started);
    }
    steps.Stop();
    EXPECT_EQ(steps.Started(), 0u);
    steps.Stop();
    EXPECT_EQ(g_said, c.said) << "start-up " << c.startUp;
  }
}

TEST_F(StepWalk, EachLineIsWrittenJustBeforeItsStep) {
  RunnerSteps steps(kSteps);
  steps.Start(RunnerPhase::kBase);
  steps.Start(RunnerPhase::kStartUp);
  EXPECT_EQ(Printed(), "start A\nstart B\nline C\nstart C\nline D\nstart D\n");
  steps.Stop();
}

TEST_F(StepWalk, StartingAPhaseAgainStartsNothing) {
  RunnerSteps steps(kSteps);
  steps.Start(RunnerPhase::kBase);
  steps.Start(RunnerPhase::kBase);
  EXPECT_EQ(steps.Started(), 2u);
  EXPECT_EQ(g_said, "start A\nstart B\n");
  steps.Stop();
}

// A step that ends the process half way: the fatal exit's shutdown stops it
// and everything before it, through the same walk.
RunnerSteps* g_fatalSteps = nullptr;
bool StartThenFail() {
  g_said += "start F\n";
  Error_FatalExit();
  return true;
}
constexpr RunnerStep kFatalSteps[] = {
    {"a", RunnerPhase::kBase, nullptr, Start<'A'>, Stop<'A'>},
    {"f", RunnerPhase::kStartUp, nullptr, StartThenFail, Stop<'F'>},
    {"e", RunnerPhase::kStartUp, nullptr, Start<'E'>, Stop<'E'>},
};

TEST(StepWalkDeathTest, AFatalErrorInsideAStepStopsTheStartedStepsInReverse) {
  EXPECT_EXIT(
      {
        RunnerSteps steps(kFatalSteps);
        g_fatalSteps = &steps;
        Error_SetFatalShutdown([] {
          g_fatalSteps->Stop();
          std::fputs(g_said.c_str(), stderr);
        });
        steps.Start(RunnerPhase::kBase);
        steps.Start(RunnerPhase::kStartUp);
      },
      testing::ExitedWithCode(255), "^start A\nstart F\nstop F\nstop A\n$");
}

TEST(RunnerStepTable, BaseStepsComeFirstAndTheStartUpLinesKeepTheirOrder) {
  std::span<const RunnerStep> table = Runner_StepTable();
  std::set<std::string> names;
  std::vector<std::string> lines;
  bool startUp = false;
  for (const RunnerStep& s : table) {
    EXPECT_TRUE(names.insert(s.name).second) << "two steps named " << s.name;
    EXPECT_NE(s.start, nullptr) << s.name;
    if (s.phase == RunnerPhase::kStartUp) startUp = true;
    EXPECT_EQ(s.phase, startUp ? RunnerPhase::kStartUp : RunnerPhase::kBase) << s.name << " after the start-up began";
    if (s.line) lines.push_back(s.line);
  }
  const std::vector<std::string> expected = {
      "Get Resolution\n",       "Create Window\n",     "Init Graphics\n",     "IO Init\n",
      "Process Messages\n",     "Start Frame\n",       "Part Create Textures\n", "Debug Init Remote Interface\n",
      "VM Init\n",              "Create Score Form\n", "Create Load Form\n",  "Create Error Form\n",
      "Do The Work\n"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
