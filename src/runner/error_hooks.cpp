#include "runner/error_hooks.h"

#include <string>

#include "core/event_names.h"
#include "core/events.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/run_state.h"
#include "core/timelines.h"
#include "graphics/window.h"
#include "input/input.h"
#include "net/debugger.h"
#include "runner/entry.h"
#include "script/console.h"
#include "script/errors.h"

namespace {
ErrorPlace RunningEvent() {
  ErrorPlace place;
  place.action = g_Run.event_action + 1;
  if (g_Run.event_type == kEventTimelineMoment) {
    place.where =
        "at time step" + std::to_string(g_Run.event_number) + "\nof time line " + TimeLine_GetName(g_Run.event_object);
  } else {
    place.where =
        "of " + Event_Name(g_Run.event_type, g_Run.event_number) + "\nfor object " + Object_GetName(g_Run.event_object);
  }
  return place;
}

bool AbortOnEveryError() { return Options_Get().abort_on_error; }

void EndGame() {
  g_Run.new_room = kNewRoomAbort;
  Main_PostQuit();
}

CVariableList* InstanceVariables(CObjInstance* instance) { return instance->variables.get(); }

void ToDebugger(const char* text) {
  if (Debug_WindowExists()) Debug_AddMessage(text);
  if (Debug_ServerStarted()) Debug_CollectOutput(text);
}
}  // namespace

void Runner_InstallErrorHooks() {
  ErrorHooks hooks;
  hooks.runningEvent = RunningEvent;
  hooks.abortOnEveryError = AbortOnEveryError;
  hooks.endGame = EndGame;
  hooks.leaveFullScreen = Display_EnsureWindowed;
  hooks.refreshDebugWindow = Debug_RefreshWindow;
  hooks.clearInput = IO_Clear;
  hooks.instanceVariables = InstanceVariables;
  Error_SetHooks(hooks);
  Console_SetDebuggerSink(ToDebugger);
}

void Runner_RemoveErrorHooks() {
  Error_SetHooks({});
  Console_SetDebuggerSink(nullptr);
}
