#include "script/errors.h"

#include <atomic>
#include <cstdarg>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/message_box.h"
#include "script/code.h"
#include "script/console.h"
#include "script/variables.h"
#include "script/vm.h"

bool g_ShowErrors = true;
bool g_DebugEvaluating = false;

namespace {
bool g_aborting = false;
bool g_errorOccurred = false;
std::string g_lastError;
// Read by whichever thread meets a fatal error (running out of memory can
// happen on any).
std::atomic<void (*)()> g_fatalShutdown{nullptr};
std::atomic<std::thread::id> g_shutdownThread{};
bool g_fatalEndsProcess = true;
ErrorHooks g_hooks;

std::string Format(const char* format, ...) TW_PRINTF(1, 2);
std::string Format(const char* format, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  return buf;
}
}  // namespace

std::string Message_WithNumber(const std::string& text, int64_t number) {
  std::string out = text;
  out += std::to_string(number);
  return out;
}

bool Error_Occurred() { return g_errorOccurred; }
void Error_ClearOccurred() { g_errorOccurred = false; }
void Error_SetOccurred(bool flag) { g_errorOccurred = flag; }
void Error_SetLastText(const std::string& text) { g_lastError = text; }
const std::string& Error_LastText() { return g_lastError; }
bool Error_Aborting() { return g_aborting; }
void Error_ResetForTests() {
  g_aborting = false;
  g_errorOccurred = false;
  g_lastError.clear();
}

void Error_SetFatalEndsProcess(bool end) { g_fatalEndsProcess = end; }

void Error_SetHooks(const ErrorHooks& hooks) { g_hooks = hooks; }

void Error_LeaveFullScreen() {
  if (g_hooks.leaveFullScreen) g_hooks.leaveFullScreen();
}

void Error_SetFatalShutdown(void (*shutdown)()) {
  g_fatalShutdown = shutdown;
  g_shutdownThread = std::this_thread::get_id();
}

void Error_FatalExit() {
  // Taken, not read: a fatal error inside the shutdown must not start it again.
  void (*shutdown)() = nullptr;
  if (std::this_thread::get_id() == g_shutdownThread.load()) shutdown = g_fatalShutdown.exchange(nullptr);
  if (shutdown) {
    shutdown();
    std::exit(kFatalExitStatus);
  }
  std::fflush(nullptr);
  std::_Exit(kFatalExitStatus);
}

std::string Error_DialogText(const std::string& message) {
  std::string out = "\r\n" + std::string(43, '_') + "\r\n";
  for (size_t i = 0; i < message.size(); ++i) {
    char c = message[i];
    if (c == '\t') {
      out += "       ";
    } else if (c == '\n' || c == '\r') {
      char pair = c == '\n' ? '\r' : '\n';
      if (i + 1 < message.size() && message[i + 1] == pair) ++i;
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

namespace {
// The error dialog; true when the player chose Abort.
bool ShowDialog(const std::string& message, bool ignoreAllowed) {
  Error_LeaveFullScreen();
  return MessageBox_AskAbort("Code Error...", Error_DialogText(message), ignoreAllowed);
}

void Warn(const char* message) {
  g_DebugConsole->Output("%s", message);
  std::fputs(message, stderr);
  std::fflush(stderr);
}

void Show(const char* message, bool abort) {
  if (g_aborting) return;
  if (g_hooks.abortOnEveryError && g_hooks.abortOnEveryError()) abort = true;
  Error_LeaveFullScreen();
  if (g_hooks.refreshDebugWindow) g_hooks.refreshDebugWindow();
  std::string text = message;
  if (g_ShowErrors) {
    if (abort) {
      ShowDialog(text, false);
    } else {
      abort = ShowDialog(text, true);
    }
  }
  if (g_hooks.clearInput) g_hooks.clearInput();
  g_lastError = text;
  if (!g_DebugEvaluating) g_OutputConsole->Output("ERROR!!! :: %s\n", text.c_str());
  g_errorOccurred = true;
  if (abort) {
    g_aborting = true;
    if (g_hooks.endGame) g_hooks.endGame();
  }
}
}  // namespace

void Error_Report(ErrorSeverity severity, const char* message, void (*details)()) {
  if (!message) message = "";
  switch (severity) {
    case ErrorSeverity::kWarning: Warn(message); break;
    case ErrorSeverity::kError: Show(message, false); break;
    case ErrorSeverity::kAbort: Show(message, true); break;
    case ErrorSeverity::kFatal:
      if (g_DebugEvaluating) return;
      Show(message, true);
      break;
  }
  // Written even when an earlier abort silenced the message.
  if (details) details();
  if (severity == ErrorSeverity::kFatal && g_fatalEndsProcess) Error_FatalExit();
}

namespace {
// Compiled event code is named "tws_Object..." with the action number last.
void ActionFromCodeName(const char* name, int* action) {
  if (!name || std::strncmp(name, "tws_Object", 10) != 0) return;
  const char* end = name + std::strlen(name);
  const char* digits = end;
  while (digits > name && std::isdigit(static_cast<unsigned char>(digits[-1]))) --digits;
  if (digits < end) *action = std::atoi(digits);
}

// The line of the instruction before `pc`: a frame's program counter and a
// call record's saved one are already past the instruction that failed or
// called, which may be the last of its line.
int LineOf(const VMBuffer* lineTable, int32_t pc, const char* source, std::string* text) {
  const VMLineRecord* record = VMDebugInfo_Find(lineTable, pc > 0 ? pc - 1 : 0);
  const char* src = source ? source : "";
  if (text) *text = SourceText_LineText(record, src);
  return SourceText_LineNumber(record, src, nullptr);
}
// The variables in reach of the running code, for the developer reading the
// log.
void DumpVariablesInReach() {
  const std::string dashes(92, '-');
  const VMFrame* frame = VM_CurrentFrame;
  if (frame && frame->locals && frame->locals->Count() > 0) {
    g_OutputConsole->Output("%s\nLocal Variables : \n", dashes.c_str());
    frame->locals->Dump(g_OutputConsole);
  }
  CVariableList* self =
      frame && frame->self && g_hooks.instanceVariables ? g_hooks.instanceVariables(frame->self) : nullptr;
  if (self && self->Count() > 0) {
    g_OutputConsole->Output("%s\nSelf Variables : \n", dashes.c_str());
    self->Dump(g_OutputConsole);
  }
  CVariableList* globals = GlobalVar_List();
  if (globals->Count() > 0) {
    g_OutputConsole->Output("%s\nGlobal Variables : \n", dashes.c_str());
    globals->Dump(g_OutputConsole);
  }
}
}  // namespace

void Runtime_FatalError(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Error_ReportRuntime(ErrorSeverity::kFatal, text);
}

void Error_ReportRuntime(ErrorSeverity severity, const char* message) {
  const char* prefix = severity >= ErrorSeverity::kAbort ? "FATAL " : "";
  ErrorPlace place;
  if (g_hooks.runningEvent) {
    place = g_hooks.runningEvent();
  } else {
    place.where = "of <Unknown Event>\nfor object <undefined>";
  }
  int action = place.action;
  std::string msg = message ? message : "";
  const std::string dashes(92, '-');

  // Where the machine is, and the scripts that called it.
  const VMFrame* frame = VM_CurrentFrame;
  const bool hasCode = frame && frame->code && frame->code->Size() > 0;
  std::string at, callStack;
  if (frame) {
    if (hasCode) {
      std::string lineText;
      const int line = LineOf(frame->lineTable, frame->pc, frame->source, &lineText);
      ActionFromCodeName(frame->name, &action);
      at = Format(" at %s (line %d) - %s\n", frame->name, line, lineText.c_str());
      if (frame->callDepth > 0) callStack = dashes + "\n" + Format("stack frame is\n%s (line %d)\n", frame->name, line);
    } else {
      at = Format("at %s\n", frame->name);
    }
    const uint8_t* top = frame->stackBase + frame->stackSize;
    const VMCallRecord* rec = VM_CallRecord(frame, 0);
    for (int depth = 0; hasCode && rec && depth < frame->callDepth; ++depth) {
      if (!rec->code) break;
      if (rec->code->Size() > 0) {
        std::string lineText;
        const int line = LineOf(rec->lineTable, rec->pc, rec->source, &lineText);
        ActionFromCodeName(rec->name, &action);
        callStack += Format("called from - %s (line %d) - %s\n", rec->name, line, lineText.c_str());
      } else {
        callStack += Format("%s\n", rec->name);
      }
      rec = reinterpret_cast<const VMCallRecord*>(top - rec->callerDistance);
    }
  }

  std::string header = Format("%sERROR in\naction number %d\n%s:\n\n\n", prefix, action, place.where.c_str());
  header += msg;
  if (header.size() > 32767) header.resize(32767);
  TErrStreamConsole full;
  std::string hashes(92, '#');
  full.Output("%s\n", hashes.c_str());
  full.Output("%s\n", header.c_str());
  full.Output("%s", at.c_str());
  full.Output("%s\n", hashes.c_str());
  full.Output("%s", callStack.c_str());
  Error_Report(severity, full.Text(), DumpVariablesInReach);
}
