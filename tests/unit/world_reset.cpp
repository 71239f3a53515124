#include "unit/world_reset.h"

#include <cstdlib>

#include "actions/actions.h"
#include "audio/audio.h"
#include "core/async_requests.h"
#include "core/builtin_vars.h"
#include "ds/buffer.h"
#include "ds/store.h"
#include "core/code_chunks.h"
#include "core/game_info.h"
#include "core/instance_vars.h"
#include "core/instances.h"
#include "core/object_lists.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/tiles.h"
#include "core/timelines.h"
#include "ext/extensions.h"
#include "files/file_group.h"
#include "files/misc_group.h"
#include "files/high_score.h"
#include "graphics/display.h"
#include "input/input.h"
#include "motion/game_save.h"
#include "particles/particles.h"
#include "runner/entry.h"
#include "runner/runner_flags.h"
#include "runner/startup.h"
#include "script/builtins_math.h"
#include "script/code_run.h"
#include "script/console.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm.h"
#include "services/http.h"
#include "services/platform_events.h"
#include "core/precise.h"

// Every option back to its default, the audio choice too (a run keeps it
// across a reload; a test must not inherit the last test's).
static void OptionsReset() {
  Options_Reset();
  Options_Mutable().new_audio = false;
  Options_Mutable().words[2] = 0;
}

void Switches_Reset() {
  g_RunnerFlags.Reset();
  g_AudioSwitches.Reset();
  g_InputSwitches.Reset();
  g_ExtSwitches.Reset();
  g_GraphicsSwitches.Reset();
}

void BuiltinVars_Unregister() {
  BuiltinVar_Clear();
  BuiltinVar_SetArgumentSlots({});
  InstanceVar_SetBuiltinLookup(nullptr);
  VariableName_SetBuiltinLookups({nullptr, nullptr});
}

void Functions_Reset() {
  FunctionRegistry_Free();
  FunctionRegistry_SetScriptLookup(nullptr);
  FunctionRegistry_SetExtensionLookups(nullptr, nullptr);
}

// What a game leaves behind in the services: requests (their workers first),
// event queues, containers, buffers, the open INI, the high-score table, the
// particle types and systems, the action library's state, a queued game
// load and the virtual buttons.
void ResetGameServices() {
  Part_Reset();
  Action_Reset();
  Http_Shutdown();
  AsyncRequests_DeleteAll();
  Platform_ResetEventQueues();
  DS_ResetAll();
  GameSave_Reset();
  Buffer_DeleteAll();
  IO_VirtualButtonsClear();
  Files_DiscardOpenIni();
  Dates_ResetTimezone();
  HighScore_Init();
}

void World_Reset(const WorldSetup& setup) {
  if (setup.noDialogs) setenv("TARNWICKE_NO_DIALOGS", "1", 1);
  Runner_InstallWorld();
  VM_Init();
  Switches_Reset();
  OptionsReset();
  VM_SetFatalErrorsEndProcess(false);
  VM_SetMessagePump(nullptr);
  g_ShowErrors = setup.showErrors;
  g_TraceVM = false;
  Error_ResetForTests();
  Code_ClearPendingError();
  Script_DeleteAll();
  Arguments_FreeAll();
  GlobalVar_Init();
  Constant_FreeAll();
  Constant_ResetResourceLookups();
  if (setup.builtinConstants) Constant_RegisterBuiltins();
  BuiltinVars_Unregister();
  if (setup.builtinVariables) BuiltinVar_RegisterAll();
  Functions_Reset();
  g_UseVM = true;
  g_MathEpsilon = kDefaultMathEpsilon;
  g_Run = RunGlobals();
  ResetGameServices();
}

void World_Clear() {
  Script_DeleteAll();
  Arguments_FreeAll();
  Functions_Reset();
  Constant_FreeAll();
  Constant_ResetResourceLookups();
  BuiltinVars_Unregister();
  Code_ClearPendingError();
  Error_ResetForTests();
  g_ShowErrors = true;
  g_TraceVM = false;
  g_UseVM = true;
  VM_SetFatalErrorsEndProcess(true);
  VM_SetMessagePump(Main_ProcessMessages);
  g_MathEpsilon = kDefaultMathEpsilon;
  g_Run = RunGlobals();
  OptionsReset();
  Console_SetOutputFile("");
  Console_SetDebugOutputFile("");
  Switches_Reset();
  ResetGameServices();
  Runner_InstallWorld();
  VM_Init();
}

void Objects_Reset() {
  Instance_DestroyAll();
  Room_SetLastInstanceId(100000);
  g_DispatchStamp = 0;
  Object_Clear();
  TimeLine_Clear();
  ObjectLists_Free();
  Code_Clear();
  PendingDepthChanges.Clear();
  PendingObjectChanges.Clear();
  PendingActivationChanges.Clear();
  Instance_SetSpriteLookup(nullptr);
  Precise_SetMaskLookup(nullptr);
  Instance_SetPhysicsHooks({});
  Instance_OverrideSlotCount(-1);
  InstanceVar_SetCurrentInstancesLookup(nullptr);
}

void Rooms_Reset() {
  Room_Clear();
  GameInfo_Reset();
  Room_SetBackgroundSizeLookup(nullptr);
  Room_SetLastTileId(10000000);
}
