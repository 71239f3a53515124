// What every built-in's body uses to read its arguments and set its result.
// The registry does not compare a call's count with the registered one, so a
// handler reads its arguments only through these: one past argc reads as 0
// (or the empty text), never past the caller's values.
#pragma once
#include <cstdint>

#include "script/convert.h"
#include "script/value.h"

class CObjInstance;

#define TW_BUILTIN(name) \
  void name(ScriptValue* result, CObjInstance* self, CObjInstance* other, int argc, ScriptValue* args)

inline double Arg(int argc, const ScriptValue* args, int i) { return i < argc ? args[i].Real() : 0.0; }
// Nearest integer, halves to even.
inline int32_t RoundedArg(int argc, const ScriptValue* args, int i) { return Real_RoundToInt32(Arg(argc, args, i)); }
inline int32_t TruncatedArg(int argc, const ScriptValue* args, int i) { return Real_ToInt32(Arg(argc, args, i)); }
inline float FloatArg(int argc, const ScriptValue* args, int i) { return float(Arg(argc, args, i)); }
// A script colour: the rounded number's bits.
inline uint32_t ColourArg(int argc, const ScriptValue* args, int i) { return uint32_t(RoundedArg(argc, args, i)); }
// A flag is true above 0.5 ...
inline bool FlagArg(int argc, const ScriptValue* args, int i) { return Arg(argc, args, i) > 0.5; }
// ... or, for the groups that say so, from 0.5 up.
inline bool HalfFlagArg(int argc, const ScriptValue* args, int i) { return Arg(argc, args, i) >= 0.5; }
inline const char* TextArg(int argc, const ScriptValue* args, int i) { return i < argc ? args[i].Text() : ""; }
inline bool IsStringArg(int argc, const ScriptValue* args, int i) { return i < argc && args[i].IsString(); }
inline bool IsRealArg(int argc, const ScriptValue* args, int i) { return i < argc && args[i].IsReal(); }

inline void Return(ScriptValue* result, double x) {
  result->kind = kKindReal;
  result->real = x;
}
