// What the container families' built-ins share: value arguments, results
// handed back without marks, and the destroy and copy built-ins, which do the
// same for every kind.
#pragma once
#include <string>

#include "ds/store.h"

// A value argument; past argc, real 0.
inline const ScriptValue* DS_ValueArg(int argc, const ScriptValue* args, int i) {
  static const ScriptValue kZero{};
  return i < argc ? &args[i] : &kZero;
}

// A copy of the stored value without marks.
inline void DS_ReturnCopy(ScriptValue* result, const ScriptValue* stored) {
  ScriptValue_Copy(result, stored);
  DS_StripMarks(result);
}

// A copy of the stored value, or real 0 when there is none.
inline void DS_ReturnStored(ScriptValue* result, const ScriptValue* stored) {
  if (stored) DS_ReturnCopy(result, stored);
  else Return(result, 0);
}

// The result of a write built-in.
inline void DS_ReturnText(ScriptValue* result, const std::string& text) { ScriptValue_SetText(result, text.c_str()); }

// The container of the first argument, or null after reporting.
template <class T>
T* DS_FirstArg(DSKind kind, int argc, const ScriptValue* args) {
  return DS_ArgContainer<T>(kind, argc, args, 0);
}

template <class T>
void DS_DestroyBuiltin(DSKind kind, int argc, const ScriptValue* args) {
  if (DS_FirstArg<T>(kind, argc, args)) DS_Destroy(kind, DS_IdArg(argc, args, 0));
}

// ds_list_destroy and ds_map_destroy report only an id outside the table; a
// free slot inside it is passed over.
inline void DS_DestroyHolderBuiltin(DSKind kind, int argc, const ScriptValue* args) {
  const int32_t id = DS_IdArg(argc, args, 0);
  if (id < 0 || id >= DS_TableLength(kind)) DS_ReportMissing();
  else DS_Destroy(kind, id);
}

// (destination, source): one report when either id is bad.
template <class T>
void DS_CopyBuiltin(DSKind kind, int argc, const ScriptValue* args) {
  T* destination = DS_GetAs<T>(kind, DS_IdArg(argc, args, 0));
  T* source = DS_GetAs<T>(kind, DS_IdArg(argc, args, 1));
  if (!destination || !source) {
    DS_ReportMissing();
    return;
  }
  destination->CopyFrom(*source);
}
