#include "core/instance_vars.h"

#include <vector>

#include "core/instances.h"
#include "core/objects.h"
#include "script/variables.h"

namespace {
BuiltinVarAccessLookup g_builtinLookup = nullptr;
CurrentInstancesLookup g_currentInstances = nullptr;

constexpr int32_t kFirstUserVariable = 10000;

BuiltinVarAccess Builtin(int32_t id) { return g_builtinLookup ? g_builtinLookup(id) : BuiltinVarAccess{}; }

InstanceList* CurrentInstances() { return g_currentInstances ? g_currentInstances() : nullptr; }

// The instances a target names for writing, in the order they are written.
// Collected first, so that a write cannot disturb the walk.
bool Targets(int32_t target, std::vector<CObjInstance*>& out) {
  if (target == kInstanceAll) {
    if (InstanceList* list = CurrentInstances()) {
      for (CObjInstance* i : *list)
        if (i->IsLive()) out.push_back(i);
    }
    return true;
  }
  if (target >= kObjectIndexLimit) {
    CObjInstance* i = Instance_FindByID(target);
    if (i && !i->MarkedDead()) out.push_back(i);
    return true;
  }
  if (target >= 0) {
    if (CObject* o = Object_Find(target)) {
      for (CObjInstance* i : o->AllInstances())
        if (i->IsLive()) out.push_back(i);
    }
    // Instances changing into the object this step are not in its lists yet.
    PendingObjectChanges.ForEach([&](CObjInstance* i) {
      if (i->IsLive() && i->object_index == target) out.push_back(i);
      return true;
    });
    return true;
  }
  return false;
}

CObjInstance* FirstPendingOf(const PendingInstanceList& list, int32_t object) {
  CObjInstance* found = nullptr;
  list.ForEach([&](CObjInstance* i) {
    if (i->IsLive() && i->object_index == object) found = i;
    return found == nullptr;
  });
  return found;
}
}  // namespace

void InstanceVar_SetBuiltinLookup(BuiltinVarAccessLookup lookup) { g_builtinLookup = lookup; }

void InstanceVar_SetCurrentInstancesLookup(CurrentInstancesLookup lookup) { g_currentInstances = lookup; }

bool Instance_GetVar(CObjInstance* instance, int32_t id, int32_t arrayIndex, ScriptValue* out) {
  if (!instance) return false;
  if (id < kFirstUserVariable) {
    BuiltinVarAccess access = Builtin(id);
    return access.get && access.get(instance, arrayIndex, out);
  }
  return instance->variables && instance->variables->Read(id, arrayIndex, out);
}

bool Instance_SetVar(CObjInstance* instance, int32_t id, int32_t arrayIndex, ScriptValue* value) {
  if (!instance) return false;
  if (id < kFirstUserVariable) {
    BuiltinVarAccess access = Builtin(id);
    if (!access.set) return false;
    // A setter that refuses a value has reported why itself; the write is
    // dealt with and the code goes on.
    access.set(instance, arrayIndex, value);
    return true;
  }
  if (instance->variables) instance->variables->Write(id, arrayIndex, value);
  return true;
}

bool Instance_GetVarByID(int32_t instanceId, int32_t id, int32_t arrayIndex, ScriptValue* out) {
  CObjInstance* i = Instance_FindByID(instanceId);
  if (!i || i->MarkedDead()) return false;
  return Instance_GetVar(i, id, arrayIndex, out);
}

bool Object_GetVarOfFirstInstance(int32_t object, int32_t id, int32_t arrayIndex, ScriptValue* out) {
  if (CObject* o = Object_Find(object)) {
    for (CObjInstance* i : o->AllInstances())
      if (i->IsLive()) return Instance_GetVar(i, id, arrayIndex, out);
  }
  CObjInstance* i = FirstPendingOf(PendingObjectChanges, object);
  if (!i) i = FirstPendingOf(PendingActivationChanges, object);
  return i && Instance_GetVar(i, id, arrayIndex, out);
}

bool Target_GetVar(int32_t target, int32_t id, int32_t arrayIndex, ScriptValue* out) {
  if (target == kInstanceAll) {
    if (InstanceList* list = CurrentInstances()) {
      for (CObjInstance* i : *list)
        if (i->IsLive()) return Instance_GetVar(i, id, arrayIndex, out);
    }
    return false;
  }
  if (target >= kObjectIndexLimit) return Instance_GetVarByID(target, id, arrayIndex, out);
  if (target >= 0) return Object_GetVarOfFirstInstance(target, id, arrayIndex, out);
  return false;
}

bool Target_SetVar(int32_t target, int32_t id, int32_t arrayIndex, ScriptValue* value) {
  std::vector<CObjInstance*> chosen;
  if (!Targets(target, chosen)) return false;
  bool result = true;
  for (CObjInstance* i : chosen) result = Instance_SetVar(i, id, arrayIndex, value);
  return result;
}

bool Target_SetSlotElement(int32_t target, int32_t slot, int32_t arrayIndex, ScriptValue* value) {
  std::vector<CObjInstance*> chosen;
  if (!Targets(target, chosen)) return false;
  for (CObjInstance* i : chosen) {
    if (slot >= 0 && slot < i->SlotCount()) ScriptValue_SetElement(&i->slots[slot], value, arrayIndex);
  }
  return true;
}
