// Errors at run time and how the program answers them.
//
// Loading throws (the loader's DataError / LoadError) and its caller decides;
// running code reports, and every report goes through Error_Report:
//   kWarning  written to the debug console and stderr; the game goes on.
//   kError    shown in the error dialog and logged as "ERROR!!! :: "; the
//             game goes on unless the player chooses Abort or the options
//             make every error abort.
//   kAbort    shown and logged; the game ends at the end of the frame and
//             the process with status 1.
//   kFatal    shown and logged, then the ordered shutdown and status 255
//             (Error_FatalExit); while the debugger evaluates an expression
//             nothing is reported and the caller stops its code.
// The other reporting functions only format and then call Error_Report.
// What a report needs of the world (event names, options, the window, the
// input, the game's end) comes through hooks the runner installs; without
// them a report only shows and logs.
#pragma once
#include <cstdint>
#include <string>

class CObjInstance;
class CVariableList;

enum class ErrorSeverity { kWarning, kError, kAbort, kFatal };

// The one entry. `details`, when given, writes what the developer needs
// besides the message to the output console after the error line, before a
// fatal error ends the process.
void Error_Report(ErrorSeverity severity, const char* message, void (*details)() = nullptr);
// Error_Report with the running code's header: its event, object, line and
// call stack; the variables in reach follow the error line.
void Error_ReportRuntime(ErrorSeverity severity, const char* message);
// A fatal run-time error of compiled code, formatted into 1,024 bytes; it
// returns only while the debugger evaluates an expression.
void Runtime_FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where running code is, for the header of a report.
struct ErrorPlace {
  int action = 1;  // counted from 1
  // "of <event>\nfor object <object>", or the time line's step and name.
  std::string where;
};

// What the world does for a report; a null member does nothing.
struct ErrorHooks {
  ErrorPlace (*runningEvent)() = nullptr;
  bool (*abortOnEveryError)() = nullptr;  // the game's options
  void (*endGame)() = nullptr;            // at the end of the frame
  void (*leaveFullScreen)() = nullptr;    // so a dialog can be seen
  void (*refreshDebugWindow)() = nullptr;
  void (*clearInput)() = nullptr;  // keys held when the dialog came up
  CVariableList* (*instanceVariables)(CObjInstance* instance) = nullptr;
};
// Installed by the runner at start-up; a default ErrorHooks takes them away.
void Error_SetHooks(const ErrorHooks& hooks);
// The installed leaveFullScreen: code that records an error to report later
// leaves full screen at once.
void Error_LeaveFullScreen();

extern bool g_ShowErrors;  // off with "-noerrors": no error dialog
// Set while the debugger evaluates an expression: errors write no log line
// and fatal errors are not reported.
extern bool g_DebugEvaluating;

// The dialog's text: a rule, then the message with tabs widened and every
// line end made "\r\n".
std::string Error_DialogText(const std::string& message);

// The text followed by the number in decimal.
std::string Message_WithNumber(const std::string& text, int64_t number);

bool Error_Occurred();
void Error_ClearOccurred();
// What scripts write into error_occurred and error_last.
void Error_SetOccurred(bool flag);
void Error_SetLastText(const std::string& text);
const std::string& Error_LastText();
bool Error_Aborting();

// The one way out after a fatal error: the installed shutdown (the runner's
// ordered end, the same one a normal end runs) runs once, then the process
// exits with -1 (status 255). Before a shutdown is installed, while it runs,
// and on any thread but the one that installed it, the process ends at once
// without running destructors: half-stopped subsystems are not stopped again.
[[noreturn]] void Error_FatalExit();
// Installs the shutdown a fatal error runs (null: none, end at once); the
// calling thread becomes the one allowed to run it.
void Error_SetFatalShutdown(void (*shutdown)());
constexpr int kFatalExitStatus = 255;  // -1 as the process sees it
// For tests: a fatal report returns instead of ending the process, and the
// caller stops its code.
void Error_SetFatalEndsProcess(bool end);
// For tests: forget the aborting state.
void Error_ResetForTests();
