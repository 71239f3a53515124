#include "script/errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "script/code_run.h"
#include "script/console.h"
#include "script/variables.h"

namespace {

TEST(ErrorDialog, TextLayout) {
  EXPECT_EQ(Error_DialogText("a\tb\nc\r\nd\n\re\rf"),
            "\r\n" + std::string(43, '_') + "\r\na       b\r\nc\r\nd\r\ne\r\nf");
}

// Every hook the world can install, recording the calls in order.
std::vector<std::string> g_calls;
bool g_abortAll = false;

ErrorHooks RecordingHooks() {
  ErrorHooks h;
  h.runningEvent = [] {
    g_calls.push_back("runningEvent");
    return ErrorPlace{4, "of Test Event\nfor object thing"};
  };
  h.abortOnEveryError = [] { return g_abortAll; };
  h.endGame = [] { g_calls.push_back("endGame"); };
  h.leaveFullScreen = [] { g_calls.push_back("leaveFullScreen"); };
  h.refreshDebugWindow = [] { g_calls.push_back("refreshDebugWindow"); };
  h.clearInput = [] { g_calls.push_back("clearInput"); };
  return h;
}

void Details() {
  g_calls.push_back("details");
  g_OutputConsole->Output("details\n");
}

class ErrorReports : public ::testing::Test {
 protected:
  void SetUp() override {
    Error_ResetForTests();
    Error_SetFatalEndsProcess(false);
    Error_SetHooks(RecordingHooks());
    g_ShowErrors = false;
    g_abortAll = false;
    g_calls.clear();
  }
  void TearDown() override {
    Error_ResetForTests();
    Error_SetFatalEndsProcess(true);
    Error_SetHooks({});
    g_ShowErrors = true;
    g_DebugEvaluating = false;
    unsetenv("TARNWICKE_ERROR_ANSWER");
  }
  struct Output {
    std::string out, err;
  };
  Output Report(ErrorSeverity severity, const char* message, void (*details)() = nullptr) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Error_Report(severity, message, details);
    Output o;
    o.err = testing::internal::GetCapturedStderr();
    o.out = testing::internal::GetCapturedStdout();
    return o;
  }
};

TEST_F(ErrorReports, EachSeverityDoesWhatThePolicySays) {
  const std::vector<std::string> shown = {"leaveFullScreen", "refreshDebugWindow", "clearInput", "details"};
  const std::vector<std::string> ended = {"leaveFullScreen", "refreshDebugWindow", "clearInput", "endGame", "details"};
  struct Case {
    ErrorSeverity severity;
    const char* message;
    const char* out;  // stdout carries both consoles
    const char* err;
    const char* last;  // "" when the report is not remembered
    bool aborting;
    std::vector<std::string> calls;
  } cases[] = {
      {ErrorSeverity::kWarning, "w\n", "w\ndetails\n", "w\n", "", false, {"details"}},
      {ErrorSeverity::kError, "e", "ERROR!!! :: e\ndetails\n", "", "e", false, shown},
      {ErrorSeverity::kAbort, "a", "ERROR!!! :: a\ndetails\n", "", "a", true, ended},
      // Fatal errors here return instead of ending the process.
      {ErrorSeverity::kFatal, "f", "ERROR!!! :: f\ndetails\n", "", "f", true, ended},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    SetUp();
    Output o = Report(c.severity, c.message, Details);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(Error_Occurred(), *c.last != 0);
    EXPECT_EQ(Error_LastText(), c.last);
    EXPECT_EQ(Error_Aborting(), c.aborting);
    EXPECT_EQ(g_calls, c.calls);
  }
}

TEST_F(ErrorReports, AbortingSilencesLaterReportsButNotTheirDetails) {
  Report(ErrorSeverity::kAbort, "first");
  g_calls.clear();
  Output o = Report(ErrorSeverity::kError, "second", Details);
  EXPECT_EQ(o.out, "details\n");
  EXPECT_EQ(Error_LastText(), "first");
  EXPECT_EQ(g_calls, std::vector<std::string>{"details"}) << "the game is asked to end once";
}

TEST_F(ErrorReports, OptionsMakeEveryErrorAbort) {
  g_abortAll = true;
  Report(ErrorSeverity::kError, "any");
  EXPECT_TRUE(Error_Aborting());
  EXPECT_EQ(g_calls.back(), "endGame");
}

TEST_F(ErrorReports, DialogAnswerDecides) {
  g_ShowErrors = true;
  setenv("TARNWICKE_ERROR_ANSWER", "ignore", 1);
  Output ignored = Report(ErrorSeverity::kError, "ignored");
  EXPECT_NE(ignored.err.find("Code Error...: \n" + std::string(43, '_') + "\nignored\n"), std::string::npos)
      << ignored.err;
  EXPECT_FALSE(Error_Aborting());
  setenv("TARNWICKE_ERROR_ANSWER", "abort", 1);
  Report(ErrorSeverity::kError, "aborted");
  EXPECT_TRUE(Error_Aborting());
}

TEST_F(ErrorReports, WhileTheDebuggerEvaluatesFatalErrorsReportNothing) {
  g_DebugEvaluating = true;
  Error_SetFatalEndsProcess(true);  // returning proves the process is not ended
  Output o = Report(ErrorSeverity::kFatal, "fatal", Details);
  EXPECT_EQ(o.out, "");
  EXPECT_TRUE(g_calls.empty());
  EXPECT_FALSE(Error_Aborting());
  // Other errors are shown but write no log line.
  o = Report(ErrorSeverity::kError, "plain");
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(Error_LastText(), "plain");
}

TEST_F(ErrorReports, RuntimeReportTakesItsPlaceFromTheWorld) {
  testing::internal::CaptureStdout();
  Error_ReportRuntime(ErrorSeverity::kAbort, "bad thing");
  testing::internal::GetCapturedStdout();
  const std::string hashes(92, '#');
  EXPECT_EQ(
      Error_LastText(),
      hashes + "\nFATAL ERROR in\naction number 4\nof Test Event\nfor object thing:\n\n\nbad thing\n" + hashes + "\n");
  EXPECT_EQ(g_calls.front(), "runningEvent");
}

TEST_F(ErrorReports, RuntimeReportDumpsTheGlobals) {
  GlobalVar_Init();
  int id = VariableName_FindOrAdd("err_global");
  ScriptValue v = ScriptValue::FromReal(3);
  GlobalVar_List()->Write(id, -1, &v);
  testing::internal::CaptureStdout();
  Error_ReportRuntime(ErrorSeverity::kError, "x");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(std::string(92, '-') + "\nGlobal Variables : \nerr_global(" + std::to_string(id) + ") = 3\n"),
            std::string::npos)
      << out;
  Variable_FreeAll();
}

// Tests and tools run without a world: every report still shows and logs,
// and nothing reaches for a window, input, options or a game to end.
TEST(ErrorReportsWithoutAWorld, HooksDefaultToNothing) {
  Error_SetHooks({});
  Error_ResetForTests();
  g_ShowErrors = false;
  Error_LeaveFullScreen();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Error_ReportRuntime(ErrorSeverity::kAbort, "alone");
  Console_Error("warned\n");
  std::string err = testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  const std::string hashes(92, '#');
  EXPECT_EQ(out, "ERROR!!! :: " + hashes +
                     "\nFATAL ERROR in\naction number 1\nof <Unknown Event>\nfor object <undefined>:\n\n\nalone\n" +
                     hashes + "\n\nwarned\n");
  EXPECT_EQ(err, "warned\n");
  EXPECT_TRUE(Error_Aborting());
  Code_ReportError(nullptr, 0, "unreported");
  EXPECT_TRUE(Code_HasPendingError());
  Code_ClearPendingError();
  Error_ResetForTests();
  g_ShowErrors = true;
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
