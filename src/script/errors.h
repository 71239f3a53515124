// Runtime error reporting: the error dialog, the "ERROR!!! :: " log line and
// the abort of the game, and readable names of events and keys.
#pragma once
#include <cstdint>
#include <string>

extern bool g_ShowErrors;  // off with "-noerrors": no error dialog

// Formats a runtime error with its event, object and call stack, and displays it.
void Error_ReportRuntime(const char* message, bool fatal);
// Shows, logs and, when `abort` (or the game's options say every error
// aborts), ends the game at the end of the frame.
void Error_Display(const char* message, bool abort);
// The error dialog; true when the player chose Abort.
bool Error_ShowDialog(const std::string& message, bool ignoreAllowed);
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
// For tests: forget the aborting state.
void Error_ResetForTests();

// Readable names; each call returns a fresh text.
std::string Event_Name(int type, int subtype);
std::string Event_ShortName(int type, int subtype);
std::string Key_Name(int code);
std::string MouseEvent_Name(int subtype);
std::string OtherEvent_Name(int subtype);
std::string AsyncEvent_Name(int subtype);
std::string StepKind_Name(int subtype);
