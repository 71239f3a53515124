#include "motion/motion.h"

#include "core/run_loop.h"
#include "script/function_registry.h"

void MotionGrid_FreeAll() {}
namespace {
void F_GameEnd(ScriptValue*, CObjInstance*, CObjInstance*, int, ScriptValue*) { g_Run.new_room = kNewRoomEnd; }
}  // namespace

void InitGameFunctions() { FunctionRegistry_Add("game_end", F_GameEnd, 0); }
void InitActionFunctions() {}
