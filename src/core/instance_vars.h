// Reading and writing a variable by id: of one instance, of the instance
// with an id, of the first instance of an object, or of every instance a
// target names. The virtual machine, the tree interpreter and the compiled
// game code all go through here.
#pragma once
#include <cstdint>

#include "script/targets.h"
#include "script/value.h"

class CObjInstance;
class InstanceList;

// Built-in variables (ids below 10000) are read and written through the
// built-in variable table, which installs its look-up here. Until then no
// built-in variable exists: reads and writes of those ids fail.
using BuiltinVarGetter = bool (*)(CObjInstance* instance, int32_t arrayIndex, ScriptValue* out);
using BuiltinVarSetter = bool (*)(CObjInstance* instance, int32_t arrayIndex, ScriptValue* value);
struct BuiltinVarAccess {
  BuiltinVarGetter get = nullptr;
  BuiltinVarSetter set = nullptr;  // null: read-only
};
using BuiltinVarAccessLookup = BuiltinVarAccess (*)(int32_t id);
void InstanceVar_SetBuiltinLookup(BuiltinVarAccessLookup lookup);

// The current room's active instance list (target -3); the room code
// installs its look-up. Until then there is no current room.
using CurrentInstancesLookup = InstanceList* (*)();
void InstanceVar_SetCurrentInstancesLookup(CurrentInstancesLookup lookup);

bool Instance_GetVar(CObjInstance* instance, int32_t id, int32_t arrayIndex, ScriptValue* out);
// False only when nothing can take the write: no instance, or a built-in
// variable without a setter (read-only), which the caller reports. A value
// the setter refuses is not such a failure: the setter reports it and the
// game goes on.
bool Instance_SetVar(CObjInstance* instance, int32_t id, int32_t arrayIndex, ScriptValue* value);
// Absent or dead instances give false; deactivated ones are read.
bool Instance_GetVarByID(int32_t instanceId, int32_t id, int32_t arrayIndex, ScriptValue* out);
// The first live instance of the object (or its descendants), else the first
// live one changing into it or waiting for activation.
bool Object_GetVarOfFirstInstance(int32_t object, int32_t id, int32_t arrayIndex, ScriptValue* out);
// Targets: -3 every live instance of the current room, 0..99999 an object,
// from 100000 an instance id; other negative numbers name nothing (false).
bool Target_GetVar(int32_t target, int32_t id, int32_t arrayIndex, ScriptValue* out);
// The result of the last write; true when nothing was written.
bool Target_SetVar(int32_t target, int32_t id, int32_t arrayIndex, ScriptValue* value);
// The compiled code's write into slot `slot` of each instance the target
// names; instances without that slot are skipped.
bool Target_SetSlotElement(int32_t target, int32_t slot, int32_t arrayIndex, ScriptValue* value);
