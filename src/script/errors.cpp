#include "script/errors.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "script/console.h"
#include "runner/entry.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/run_state.h"
#include "core/timelines.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "net/debugger.h"
#include "platform/message_box.h"
#include "script/code.h"
#include "script/variables.h"
#include "script/vm.h"

bool g_ShowErrors = true;

namespace {
bool g_aborting = false;
bool g_errorOccurred = false;
std::string g_lastError;
// Read by whichever thread meets a fatal error (running out of memory can
// happen on any).
std::atomic<void (*)()> g_fatalShutdown{nullptr};
std::atomic<std::thread::id> g_shutdownThread{};

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

bool Error_ShowDialog(const std::string& message, bool ignoreAllowed) {
  Display_EnsureWindowed();
  return MessageBox_AskAbort("Code Error...", Error_DialogText(message), ignoreAllowed);
}

void Error_Display(const char* message, bool abort) {
  if (g_aborting) return;
  if (Options_Get().abort_on_error) abort = true;
  Display_EnsureWindowed();
  Debug_RefreshWindow();
  std::string text = message ? message : "";
  if (g_ShowErrors) {
    if (abort) {
      Error_ShowDialog(text, false);
    } else {
      abort = Error_ShowDialog(text, true);
    }
  }
  IO_Clear();
  g_lastError = text;
  if (!g_DebugEvaluating) g_OutputConsole->Output("ERROR!!! :: %s\n", text.c_str());
  g_errorOccurred = true;
  if (abort) {
    g_aborting = true;
    g_Run.new_room = kNewRoomAbort;
    Main_PostQuit();
  }
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
}  // namespace

void Error_ReportRuntime(const char* message, bool fatal) {
  const char* prefix = fatal ? "FATAL " : "";
  int action = g_Run.event_action + 1;
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

  std::string header;
  if (g_Run.event_type == 100000) {
    header = Format("%sERROR in\naction number %d\nat time step%d\nof time line %s:\n\n\n", prefix, action,
                    g_Run.event_number, TimeLine_GetName(g_Run.event_object).c_str());
  } else {
    header = Format("%sERROR in\naction number %d\nof %s\nfor object %s:\n\n\n", prefix, action,
                    Event_Name(g_Run.event_type, g_Run.event_number).c_str(),
                    Object_GetName(g_Run.event_object).c_str());
  }
  header += msg;
  if (header.size() > 32767) header.resize(32767);
  TErrStreamConsole full;
  std::string hashes(92, '#');
  full.Output("%s\n", hashes.c_str());
  full.Output("%s\n", header.c_str());
  full.Output("%s", at.c_str());
  full.Output("%s\n", hashes.c_str());
  full.Output("%s", callStack.c_str());
  Error_Display(full.Text(), fatal);
  // The variables in reach, for the developer reading the log.
  if (frame && frame->locals && frame->locals->Count() > 0) {
    g_OutputConsole->Output("%s\nLocal Variables : \n", dashes.c_str());
    frame->locals->Dump(g_OutputConsole);
  }
  if (frame && frame->self && frame->self->variables && frame->self->variables->Count() > 0) {
    g_OutputConsole->Output("%s\nSelf Variables : \n", dashes.c_str());
    frame->self->variables->Dump(g_OutputConsole);
  }
  CVariableList* globals = GlobalVar_List();
  if (globals->Count() > 0) {
    g_OutputConsole->Output("%s\nGlobal Variables : \n", dashes.c_str());
    globals->Dump(g_OutputConsole);
  }
}

// ---- Names -------------------------------------------------------------------

std::string Key_Name(int code) {
  switch (code) {
    case 0: return "<no key>";
    case 1: return "<any key>";
    case 8: return "<Backspace>";
    case 9: return "<Tab>";
    case 13: return "<Enter>";
    case 16: return "<Shift>";
    case 17: return "<Ctrl>";
    case 18: return "<Alt>";
    case 27: return "<Escape>";
    case 32: return "<Space>";
    case 33: return "<Page Up>";
    case 34: return "<Page Down>";
    case 35: return "<End>";
    case 36: return "<Home>";
    case 37: return "<Left>";
    case 38: return "<Up>";
    case 39: return "<Right>";
    case 40: return "<Down>";
    case 45: return "<Insert>";
    case 46: return "<Delete>";
    case 106: return "Keypad *";
    case 107: return "Keypad +";
    case 109: return "Keypad -";
    case 110: return "Keypad .";
    case 111: return "Keypad /";
  }
  if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90)) return Format("%c-key", code);
  if (code >= 96 && code <= 105) return Format("Keypad-%d", code - 96);
  if (code >= 112 && code <= 123) return Format("F%d", code - 111);
  return "<unknown>";
}

std::string MouseEvent_Name(int s) {
  static const char* const kBase[] = {"Left Button",    "Right Button",   "Middle Button",   "No Button",
                                      "Left Pressed",   "Right Pressed",  "Middle Pressed",  "Left Released",
                                      "Right Released", "Middle Released", "Mouse Enter",   "Mouse Leave"};
  static const char* const kStick[] = {"Left", "Right", "Up", "Down"};
  static const char* const kGlob[] = {"Glob Left Button",    "Glob Right Button",  "Glob Middle Button",
                                      "Glob Left Pressed",   "Glob Right Pressed", "Glob Middle Pressed",
                                      "Glob Left Released",  "Glob Right Released", "Glob Middle Released"};
  if (s >= 0 && s <= 11) return kBase[s];
  for (int pad = 1; pad <= 2; ++pad) {
    int base = pad == 1 ? 16 : 31;
    if (s >= base && s <= base + 3) return Format("Joystick %d %s", pad, kStick[s - base]);
    if (s >= base + 5 && s <= base + 12) return Format("Joystick %d Button %d", pad, s - base - 4);
  }
  if (s >= 50 && s <= 58) return kGlob[s - 50];
  if (s == 60) return "Mouse Wheel Up";
  if (s == 61) return "Mouse Wheel Down";
  return "<unknown>";
}

std::string OtherEvent_Name(int s) {
  static const char* const kBase[] = {"Outside Room", "Intersect Boundary", "Game Start",  "Game End",
                                      "Room Start",   "Room End",           "No More Lives", "Animation End",
                                      "End Of Path",  "No More Health"};
  if (s >= 0 && s <= 9) return kBase[s];
  if (s >= 10 && s <= 25) return Format("User Defined %d", s - 10);
  if (s == 30) return "Close Button";
  if (s >= 40 && s <= 47) return Format("Outside View %d", s - 40);
  if (s >= 50 && s <= 57) return Format("Boundary View %d", s - 50);
  return "<unknown>";
}

std::string AsyncEvent_Name(int s) {
  switch (s) {
    case 60: return "Image Loaded";
    case 61: return "Sound Loaded";
    case 62: return "HTTP";
    case 63: return "Dialog";
    case 66: return "IAP";
    case 67: return "Cloud";
    case 68: return "Networking";
    case 69: return "Steam";
    case 70: return "Social";
    case 71: return "Push";
  }
  return "<unknown>";
}

std::string StepKind_Name(int s) { return s == 1 ? "Begin" : s == 2 ? "End" : ""; }

std::string Event_Name(int type, int subtype) {
  switch (type) {
    case 0: return "Create Event";
    case 1: return "Destroy Event";
    case 2: return Format("Alarm Event for alarm %d", subtype);
    case 3: return Format(" Step Event%d", subtype);
    case 4: return " Step Event" + Object_GetName(subtype);
    case 5: return "Keyboard Event for " + Key_Name(subtype) + " Key";
    case 6: return "Mouse Event for " + MouseEvent_Name(subtype);
    case 7:
      if (subtype >= 60) return "Async Event: " + AsyncEvent_Name(subtype);
      return "Other Event: " + OtherEvent_Name(subtype);
    case 8: return "Draw Event";
    case 9: return "Key Press Event for " + Key_Name(subtype) + " Key";
    case 10: return "Key Release Event for " + Key_Name(subtype) + " Key";
  }
  return "<Unknown Event>";
}

std::string Event_ShortName(int type, int subtype) {
  switch (type) {
    case 0: return "Create";
    case 1: return "Destroy";
    case 2: return Format("Alarm %d", subtype);
    case 3: return StepKind_Name(subtype) + "Step";
    case 4: return Object_GetName(subtype);
    case 5: return Key_Name(subtype);
    case 6: return MouseEvent_Name(subtype);
    case 7: return subtype > 59 ? AsyncEvent_Name(subtype) : OtherEvent_Name(subtype);
    case 8: return "Draw";
    case 9: return "press " + Key_Name(subtype);
    case 10: return "release " + Key_Name(subtype);
  }
  return "<Unknown Event>";
}
