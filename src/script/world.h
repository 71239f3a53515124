// What the script runtime asks of the world its code runs in: the variables
// of instances, the instances a `with` names, and calls into external
// libraries. The runtime knows instances only as opaque pointers. The world
// installs its answers when it starts; until then code runs against an
// empty world (no instances, every variable unset, no external library).
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "script/variables.h"

class CObjInstance;
struct ScriptValue;

// The part of an instance the machine reads on its hottest path, its own
// variables. The world's instance class derives from it as its first and
// only base and has no virtual functions, so an instance's address is this
// part's address (the world checks both).
struct ScriptInstance {
  std::unique_ptr<CVariableList> variables;
};
inline ScriptInstance* Script_Instance(CObjInstance* instance) {
  return reinterpret_cast<ScriptInstance*>(instance);
}

// Which instances still waiting to change count as a with's targets.
enum class PendingTargets { kNone, kObjectChanges, kObjectAndActivationChanges };

struct ScriptWorld {
  // Variable `id` (element `index`) of an instance, or of the instances a
  // target names; false when there is no such variable.
  bool (*getVar)(CObjInstance* instance, int32_t id, int32_t index, ScriptValue* out);
  bool (*setVar)(CObjInstance* instance, int32_t id, int32_t index, ScriptValue* value);
  bool (*getTargetVar)(int32_t target, int32_t id, int32_t index, ScriptValue* out);
  bool (*setTargetVar)(int32_t target, int32_t id, int32_t index, ScriptValue* value);
  // Replaces `out` with the live instances of `all` or of an object and its
  // descendants, in the order a with visits them.
  void (*gather)(int32_t target, PendingTargets pending, std::vector<CObjInstance*>& out);
  // The live instance with this id, or null.
  CObjInstance* (*findLive)(int32_t id);
  // False once an instance is destroyed or deactivated.
  bool (*isLive)(const CObjInstance* instance);
  // Function `id` of the external libraries; false when the call failed.
  bool (*callExternal)(int32_t id, int argc, ScriptValue* args, ScriptValue* result);
  // The container's string table, which bytecode string operands index.
  size_t (*stringCount)();
  std::string_view (*string)(size_t index);
  // Built-in variables with ids below this are the instance's own state:
  // their getters and setters only read and write the instance and report
  // nothing, and a setter refused (false) changes nothing. The machine
  // reads and writes those whole through getVar and setVar directly.
  int32_t instanceBuiltins;
};

// The installed world; read on every variable access, so it is a plain
// structure rather than a call away.
extern ScriptWorld g_ScriptWorld;
void ScriptWorld_Install(const ScriptWorld& world);
