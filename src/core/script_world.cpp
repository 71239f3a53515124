#include "core/script_world.h"

#include <algorithm>
#include <type_traits>

#include "core/code_chunks.h"
#include "core/events.h"
#include "core/game_data.h"
#include "core/instance_vars.h"
#include "core/instances.h"
#include "core/native_game.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "script/bytecode.h"
#include "script/code.h"
#include "script/compiler.h"
#include "script/world.h"

// The machine reads an instance's variables through its ScriptInstance part
// at the instance's own address.
static_assert(std::is_base_of_v<ScriptInstance, CObjInstance>);
static_assert(!std::is_polymorphic_v<CObjInstance>);

namespace {
void Gather(int32_t target, PendingTargets pending, std::vector<CObjInstance*>& out) {
  out.clear();
  if (target == kInstanceAll) {
    if (g_Run.room) {
      for (CObjInstance* i : g_Run.room->active)
        if (i->IsLive()) out.push_back(i);
    }
    return;
  }
  CObject* object = Object_Find(target);
  if (!object) return;
  for (CObjInstance* i : object->AllInstances())
    if (i->IsLive()) out.push_back(i);
  if (pending == PendingTargets::kNone) return;
  // Instances changing into the object this step count too, once.
  auto add = [&](CObjInstance* i) {
    if (i->IsLive() && i->object_index == target && std::find(out.begin(), out.end(), i) == out.end()) {
      out.push_back(i);
    }
    return true;
  };
  PendingObjectChanges.ForEach(add);
  if (pending == PendingTargets::kObjectAndActivationChanges) PendingActivationChanges.ForEach(add);
}

CObjInstance* FindLive(int32_t id) {
  CObjInstance* one = Instance_FindByID(id);
  return one && one->IsLive() ? one : nullptr;
}

bool IsLive(const CObjInstance* instance) { return instance->IsLive(); }

bool FindCodeRecord(int index, IndexedCode* out) {
  const CodeRecord* record = Code_GetRecord(index);
  if (!record) return false;
  out->bytecode = record->code.get();
  out->name = record->name;
  out->source = std::string(GameData_DebugSourceText(index));
  out->lineTable = GameData_DebugLineTable(index);
  return true;
}
}  // namespace

void World_InstallScriptHooks() {
  ScriptWorld world = g_ScriptWorld;
  world.getVar = Instance_GetVar;
  world.setVar = Instance_SetVar;
  world.getTargetVar = Target_GetVar;
  world.setTargetVar = Target_SetVar;
  world.gather = Gather;
  world.findLive = FindLive;
  world.isLive = IsLive;
  world.stringCount = Strings_Count;
  world.string = Strings_Get;
  ScriptWorld_Install(world);
  const NativeGameHeader& native = NativeGame_Get();
  Code_SetNativeTable(native.code_table, native.code_count);
  Code_SetRecordLookup(FindCodeRecord);
  Event_SetCompiler(Compiler_CompileCode);
  Room_SetCompiler(Compiler_CompileCodeOrError);
}
