// The built-in variable table: names such as score or view_xview that
// scripts read and write like variables, each backed by engine state
// through a getter and, unless read-only, a setter. A variable's id is its
// position in the table.
#pragma once
#include "script/scripts.h"
#include <cstdint>
#include <string>
#include <string_view>

#include "core/instance_vars.h"

struct ScriptValue;

constexpr int kBuiltinVarCapacity = 500;

// Appends an entry (setter null: read-only). A full table shows
// "INTERNAL ERROR: Adding too many variables" and adds nothing.
void BuiltinVar_Register(std::string_view name, BuiltinVarGetter getter, BuiltinVarSetter setter);
// The first entry named exactly so, or -1.
int BuiltinVar_Find(std::string_view name);
// "<unknown built-in variable>" for an id that names no entry.
const char* BuiltinVar_GetName(int id);
int BuiltinVar_Count();
BuiltinVarAccess BuiltinVar_Access(int id);
// Empties the table (the look-ups stay installed).
void BuiltinVar_Clear();
// The instance variables (x, speed, alarm ...), which take the lowest ids.
void BuiltinVar_RegisterInstance();
// Empties the table, registers every built-in variable and installs the
// table's look-ups for variable access and name resolution.
void BuiltinVar_RegisterAll();

// The argument slots the variables read: by default those of the running
// script call and the relative flag of the running action; tests put
// their own in place (null fields give the defaults back).
struct ScriptArgumentSlots {
  ScriptValue* slots = nullptr;  // kScriptArgumentSlots values
  const int32_t* count = nullptr;
  const int32_t* relative = nullptr;
};
void BuiltinVar_SetArgumentSlots(const ScriptArgumentSlots& slots);
// What BuiltinVar_ArgumentSlot needs, kept up to date by the table and
// BuiltinVar_SetArgumentSlots.
struct BuiltinArgumentDoor {
  int32_t firstId;     // of argument0, with argument1 ... argument15 after it; -1: not in the table
  ScriptValue* slots;  // those in place now
};
extern BuiltinArgumentDoor g_BuiltinArgumentDoor;
// The slot that built-in variable `id` reads and writes when it is one of
// argument0 ... argument15, else null.
inline ScriptValue* BuiltinVar_ArgumentSlot(int id) {
  const BuiltinArgumentDoor& door = g_BuiltinArgumentDoor;
  const uint32_t n = uint32_t(id) - uint32_t(door.firstId);
  return door.firstId >= 0 && n < uint32_t(kScriptArgumentSlots) ? door.slots + n : nullptr;
}

// The game's working directory, set once from the game data's path.
void WorkingDirectory_Init(const std::string& gamePath);
const std::string& WorkingDirectory_Get();
