#include "runner/error_hooks.h"

#include <gtest/gtest.h>

#include <string>

#include "core/events.h"
#include "core/instances.h"
#include "core/options.h"
#include "core/run_state.h"
#include "script/errors.h"
#include "script/variables.h"
#include "script/vm.h"

namespace {

// The world's answers to an error report: where it happened, whether it
// aborts and how the game is asked to end.
class WorldErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    Runner_InstallErrorHooks();
    Error_ResetForTests();
    g_Run = RunGlobals();
    g_ShowErrors = false;
    Options_Reset();
  }
  void TearDown() override {
    Runner_RemoveErrorHooks();
    Error_ResetForTests();
    g_Run = RunGlobals();
    g_ShowErrors = true;
    Options_Reset();
  }
  static std::string Report(ErrorSeverity severity, const char* message) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Error_ReportRuntime(severity, message);
    testing::internal::GetCapturedStderr();
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(WorldErrors, HeaderNamesTheRunningEvent) {
  const std::string hashes(92, '#');
  struct Case {
    int type, number, object, action;
    ErrorSeverity severity;
    const char* header;
  } cases[] = {
      {kEventStep, 0, -1, 2, ErrorSeverity::kError,
       "ERROR in\naction number 3\nof  Step Event0\nfor object <undefined>"},
      {kEventTimelineMoment, 7, -1, 0, ErrorSeverity::kAbort,
       "FATAL ERROR in\naction number 1\nat time step7\nof time line <undefined>"},
  };
  for (const Case& c : cases) {
    SetUp();
    g_Run.event_type = c.type;
    g_Run.event_number = c.number;
    g_Run.event_object = c.object;
    g_Run.event_action = c.action;
    EXPECT_EQ(Report(c.severity, "bad thing"),
              "ERROR!!! :: " + hashes + "\n" + c.header + ":\n\n\nbad thing\n" + hashes + "\n\n");
  }
}

TEST_F(WorldErrors, AbortEndsTheGameAndTheOptionsCanMakeEveryErrorAbort) {
  Report(ErrorSeverity::kError, "plain");
  EXPECT_FALSE(Error_Aborting());
  EXPECT_EQ(g_Run.new_room, kNewRoomNone);
  Report(ErrorSeverity::kAbort, "abort");
  EXPECT_TRUE(Error_Aborting());
  EXPECT_EQ(g_Run.new_room, kNewRoomAbort);

  SetUp();
  Options_Mutable().abort_on_error = true;
  Report(ErrorSeverity::kError, "any");
  EXPECT_TRUE(Error_Aborting());
  EXPECT_EQ(g_Run.new_room, kNewRoomAbort);
}

TEST_F(WorldErrors, TheRunningInstancesVariablesFollowTheReport) {
  CObjInstance self(0, 0, 100001, -1, false);
  ScriptValue v = ScriptValue::FromReal(12);
  const int id = VariableName_FindOrAdd("hp");
  self.variables->Write(id, -1, &v);
  VMFrame frame{};
  frame.name = "hurt_script";
  frame.self = &self;
  VMFrame* saved = VM_CurrentFrame;
  VM_CurrentFrame = &frame;
  std::string out = Report(ErrorSeverity::kError, "x");
  VM_CurrentFrame = saved;
  EXPECT_NE(out.find("at hurt_script\n"), std::string::npos) << out;
  EXPECT_NE(out.find(std::string(92, '-') + "\nSelf Variables : \nhp(" + std::to_string(id) + ") = 12\n"),
            std::string::npos)
      << out;
}

}  // namespace
