// The built-in variable table: names such as score or view_xview that
// scripts read and write like variables, each backed by engine state
// through a getter and, unless read-only, a setter. A variable's id is its
// position in the table.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/instance_vars.h"
#include "script/scripts.h"
#include "script/value.h"

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
// table's look-ups for variable access and name resolution. The names of
// variables that read the state of a subsystem above the world hold their
// place in the table and are bound by that subsystem's binder.
void BuiltinVar_RegisterAll();
// Gives the entry named `name` its getter and setter (null: read-only);
// false when no entry has the name. An entry nobody binds cannot be read.
bool BuiltinVar_Bind(std::string_view name, BuiltinVarGetter getter, BuiltinVarSetter setter);
// The subsystems' binders, run by every BuiltinVar_RegisterAll after the
// table is made; the runner installs them.
using BuiltinVarBinder = void (*)();
void BuiltinVar_SetBinders(std::initializer_list<BuiltinVarBinder> binders);

// Helpers of getters and setters: a getter's result, and a setter's value
// as a rounded integer.
inline bool BuiltinVar_SetReal(ScriptValue* out, double x) {
  ScriptValue_Free(out);
  out->kind = kKindReal;
  out->real = x;
  return true;
}
bool BuiltinVar_SetText(ScriptValue* out, const std::string& text);
int32_t BuiltinVar_Rounded(const ScriptValue* v);
#define TW_VAR_GETTER(name) \
  bool name([[maybe_unused]] CObjInstance* self, [[maybe_unused]] int32_t index, ScriptValue* out)
#define TW_VAR_SETTER(name) \
  bool name([[maybe_unused]] CObjInstance* self, [[maybe_unused]] int32_t index, ScriptValue* value)

// The argument slots the variables read: by default those of the running
// script call and the relative flag of the running action; tests put
// their own in place (null fields give the defaults back).
struct ScriptArgumentSlots {
  ScriptValue* slots = nullptr;  // kScriptArgumentSlots values
  const int32_t* count = nullptr;
  const int32_t* relative = nullptr;
};
void BuiltinVar_SetArgumentSlots(const ScriptArgumentSlots& slots);
// The game's working directory, set once from the game data's path.
void WorkingDirectory_Init(const std::string& gamePath);
const std::string& WorkingDirectory_Get();
