#include "motion/motion.h"

#include "core/rooms.h"
#include "core/run_state.h"
#include "script/convert.h"
#include "script/function_registry.h"
#include "script/value.h"

namespace {

#define BUILTIN(name)                                                                                       \
  void name([[maybe_unused]] ScriptValue* result, [[maybe_unused]] CObjInstance* self,                   \
            [[maybe_unused]] CObjInstance* other, [[maybe_unused]] int argc, [[maybe_unused]] ScriptValue* args)

int32_t Int(const ScriptValue& v) { return Real_RoundToInt32(v.Real()); }

BUILTIN(RoomGoto) { Room_Goto(Int(args[0])); }
BUILTIN(RoomGotoPrevious) { Room_GotoPrevious(); }
BUILTIN(RoomGotoNext) { Room_GotoNext(); }
BUILTIN(RoomPrevious) { result->real = Room_PreviousOfExisting(Int(args[0])); }
BUILTIN(RoomNext) { result->real = Room_NextOfExisting(Int(args[0])); }
BUILTIN(RoomRestart) { Room_Restart(); }
BUILTIN(GameRestart) { Game_Restart(); }
BUILTIN(GameEnd) { g_Run.new_room = kNewRoomEnd; }

}  // namespace

void MotionGrid_FreeAll() {}

// The room changes and game_end; the motion, collision and instance
// built-ins of the group are not built yet.
void InitGameFunctions() {
  FunctionRegistry_Add("room_goto", RoomGoto, 1);
  FunctionRegistry_Add("room_goto_previous", RoomGotoPrevious, 0);
  FunctionRegistry_Add("room_goto_next", RoomGotoNext, 0);
  FunctionRegistry_Add("room_previous", RoomPrevious, 1);
  FunctionRegistry_Add("room_next", RoomNext, 1);
  FunctionRegistry_Add("room_restart", RoomRestart, 0);
  FunctionRegistry_Add("game_restart", GameRestart, 0);
  FunctionRegistry_Add("game_end", GameEnd, 0);
}

void InitActionFunctions() {}
