#include "script/errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/options.h"
#include "core/run_state.h"
#include "script/variables.h"
#include "unit/world_reset.h"

namespace {

struct NameCase {
  int type, subtype;
  const char* name;
  const char* shortName;
};

class EventNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(EventNames, LongAndShort) {
  const NameCase& c = GetParam();
  EXPECT_EQ(Event_Name(c.type, c.subtype), c.name);
  EXPECT_EQ(Event_ShortName(c.type, c.subtype), c.shortName);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EventNames,
    ::testing::Values(NameCase{0, 0, "Create Event", "Create"}, NameCase{1, 0, "Destroy Event", "Destroy"},
                      NameCase{2, 11, "Alarm Event for alarm 11", "Alarm 11"},
                      NameCase{3, 1, " Step Event1", "BeginStep"}, NameCase{3, 0, " Step Event0", "Step"},
                      NameCase{3, 2, " Step Event2", "EndStep"},
                      NameCase{5, 65, "Keyboard Event for A-key Key", "A-key"},
                      NameCase{6, 60, "Mouse Event for Mouse Wheel Up", "Mouse Wheel Up"},
                      NameCase{7, 62, "Async Event: HTTP", "HTTP"},
                      NameCase{7, 4, "Other Event: Room Start", "Room Start"},
                      NameCase{7, 59, "Other Event: <unknown>", "<unknown>"},
                      NameCase{8, 64, "Draw Event", "Draw"},
                      NameCase{9, 13, "Key Press Event for <Enter> Key", "press <Enter>"},
                      NameCase{10, 112, "Key Release Event for F1 Key", "release F1"},
                      NameCase{11, 0, "<Unknown Event>", "<Unknown Event>"}));

TEST(Names, KeysMouseAndOther) {
  EXPECT_EQ(Key_Name(48), "0-key");
  EXPECT_EQ(Key_Name(96), "Keypad-0");
  EXPECT_EQ(Key_Name(105), "Keypad-9");
  EXPECT_EQ(Key_Name(123), "F12");
  EXPECT_EQ(Key_Name(124), "<unknown>");
  EXPECT_EQ(Key_Name(-5), "<unknown>");
  EXPECT_EQ(MouseEvent_Name(21), "Joystick 1 Button 1");
  EXPECT_EQ(MouseEvent_Name(28), "Joystick 1 Button 8");
  EXPECT_EQ(MouseEvent_Name(34), "Joystick 2 Down");
  EXPECT_EQ(MouseEvent_Name(36), "Joystick 2 Button 1");
  EXPECT_EQ(MouseEvent_Name(35), "<unknown>");
  EXPECT_EQ(MouseEvent_Name(20), "<unknown>");
  EXPECT_EQ(MouseEvent_Name(58), "Glob Middle Released");
  EXPECT_EQ(OtherEvent_Name(25), "User Defined 15");
  EXPECT_EQ(OtherEvent_Name(47), "Outside View 7");
  EXPECT_EQ(OtherEvent_Name(50), "Boundary View 0");
  EXPECT_EQ(AsyncEvent_Name(64), "<unknown>");
}

TEST(ErrorDialog, TextLayout) {
  EXPECT_EQ(Error_DialogText("a\tb\nc\r\nd\n\re\rf"),
            "\r\n" + std::string(43, '_') + "\r\na       b\r\nc\r\nd\r\ne\r\nf");
}

class ErrorDisplay : public WorldTest {
 protected:
  void TearDown() override {
    unsetenv("TARNWICKE_ERROR_ANSWER");
    WorldTest::TearDown();
  }
  std::string Display(const char* msg, bool abort) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Error_Display(msg, abort);
    testing::internal::GetCapturedStderr();
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(ErrorDisplay, LogsAndRemembersWithoutAborting) {
  EXPECT_EQ(Display("boom", false), "ERROR!!! :: boom\n");
  EXPECT_TRUE(Error_Occurred());
  EXPECT_EQ(Error_LastText(), "boom");
  EXPECT_FALSE(Error_Aborting());
  EXPECT_EQ(g_Run.new_room, kNewRoomNone);
}

TEST_F(ErrorDisplay, FatalAbortsOnceAndThenStaysSilent) {
  EXPECT_EQ(Display("first", true), "ERROR!!! :: first\n");
  EXPECT_TRUE(Error_Aborting());
  EXPECT_EQ(g_Run.new_room, kNewRoomAbort);
  EXPECT_EQ(Display("second", false), "");
  EXPECT_EQ(Error_LastText(), "first");
}

TEST_F(ErrorDisplay, OptionMakesEveryErrorAbort) {
  Options_Mutable().abort_on_error = true;
  Display("any", false);
  EXPECT_TRUE(Error_Aborting());
}

TEST_F(ErrorDisplay, DialogAnswerDecides) {
  g_ShowErrors = true;
  setenv("TARNWICKE_ERROR_ANSWER", "ignore", 1);
  Display("ignored", false);
  EXPECT_FALSE(Error_Aborting());
  setenv("TARNWICKE_ERROR_ANSWER", "abort", 1);
  Display("aborted", false);
  EXPECT_TRUE(Error_Aborting());
}

TEST_F(ErrorDisplay, RuntimeReportNamesEventAndObject) {
  g_Run.event_type = 3;
  g_Run.event_number = 0;
  g_Run.event_action = 2;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Error_ReportRuntime("bad thing", false);
  testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  std::string hashes(92, '#');
  EXPECT_EQ(out, "ERROR!!! :: " + hashes +
                     "\nERROR in\naction number 3\nof  Step Event0\nfor object <undefined>:\n\n\nbad thing\n" +
                     hashes + "\n\n");
}

TEST_F(ErrorDisplay, RuntimeReportDumpsTheGlobals) {
  GlobalVar_Init();
  int id = VariableName_FindOrAdd("err_global");
  ScriptValue v = ScriptValue::FromReal(3);
  GlobalVar_List()->Write(id, -1, &v);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Error_ReportRuntime("x", false);
  testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(std::string(92, '-') + "\nGlobal Variables : \nerr_global(" + std::to_string(id) + ") = 3\n"),
            std::string::npos)
      << out;
  Variable_FreeAll();
}

int g_shutdowns = 0;
void CountedShutdown() {
  std::fprintf(stderr, "shutdown %d\n", ++g_shutdowns);
  // A second fatal error while shutting down must not start it again.
  Error_FatalExit();
}

TEST(FatalExitDeathTest, RunsTheInstalledShutdownOnceThenEndsWith255) {
  EXPECT_EXIT(
      {
        Error_SetFatalShutdown(CountedShutdown);
        Error_FatalExit();
      },
      testing::ExitedWithCode(255), "^shutdown 1\n$");
  // Nothing installed, or the shutdown already taken by the normal end.
  EXPECT_EXIT(
      {
        Error_SetFatalShutdown(nullptr);
        Error_FatalExit();
      },
      testing::ExitedWithCode(255), "^$");
  // Another thread never runs the main thread's shutdown.
  EXPECT_EXIT(
      {
        Error_SetFatalShutdown(CountedShutdown);
        std::thread([] { Error_FatalExit(); }).join();
      },
      testing::ExitedWithCode(255), "^$");
}

}  // namespace
