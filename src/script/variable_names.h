// The variable-name table: every user variable name has one id for the whole
// run, 100000 + its entry, the same in every scope. Built-in variables keep
// their own ids below 10000. Names are never removed, so an id stays valid
// until the program ends.
#pragma once
#include <string_view>

constexpr int kFirstUserVariableId = 100000;

// Id of `name`, appending it when new. Names compare exactly (case matters).
int VariableName_FindOrAdd(std::string_view name);
// Id of `name`, or -1 when it is not in the table; never adds.
int VariableName_Lookup(std::string_view name);
// The built-in variable's id when `name` is one, else VariableName_FindOrAdd.
int VariableName_ToID(std::string_view name);
// Name of a variable id: a built-in's name below 100000 ("<unknown built-in
// variable>" outside that table), else the table's entry or "<unknown
// variable>".
const char* VariableName_FromID(int id);
int VariableName_Count();
// Shutdown step. Ids may still be turned into names by code that runs after
// it, so the table is kept.
void VariableName_Free();

// The built-in variable table's look-ups. Until that table installs its own,
// no name is built in.
struct BuiltinVarLookups {
  int (*find)(std::string_view name);  // id, or -1
  const char* (*getName)(int id);      // never null
};
void VariableName_SetBuiltinLookups(const BuiltinVarLookups& lookups);
