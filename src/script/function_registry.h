// The built-in function registry. Each subsystem registers its built-ins by
// name at start-up; code resolves a name to a function index once, and calls
// go by index. One index space names three kinds of function:
//   0 .. 99999        a built-in, by its position in the registry;
//   100000 + n        script n;
//   500000 + n        extension function n.
#pragma once
#include <cstdint>
#include <string_view>

struct ScriptValue;
class CObjInstance;

constexpr int kFirstScriptFunction = 100000;
constexpr int kFirstExtensionFunction = 500000;
// Argument count of a function that takes any number of arguments.
constexpr int kAnyArgCount = -1;
// GetArgCount's answer for an index that names no function.
constexpr int kNoSuchFunction = -100;

// A built-in's body. `args` holds `argc` values that belong to the caller:
// read them, never keep them. The result arrives zeroed (real 0) and is left
// so when the built-in returns nothing.
using BuiltinHandler = void (*)(ScriptValue* result, CObjInstance* self, CObjInstance* other,
                                int argc, ScriptValue* args);

struct FunctionEntry {
  char name[64];  // NUL-terminated, at most 63 characters
  BuiltinHandler handler;
  int32_t argCount;   // exact number of arguments, or kAnyArgCount
  int32_t callCount;  // -1 at registration; the tree interpreter counts calls
};

// Appends an entry. A name registered twice gives two entries; look-ups find
// the first. Names longer than 63 characters are cut to 63.
void FunctionRegistry_Add(std::string_view name, BuiltinHandler handler, int argCount);
// Gives the first entry named exactly `name` a new handler; none, nothing.
void FunctionRegistry_Replace(std::string_view name, BuiltinHandler handler);
// Function index of `name` (scripts first, then extension functions, then
// built-ins); -1 when none. Names compare exactly (case matters).
int FunctionRegistry_Find(std::string_view name);
// The argument count a call to `index` must have: kAnyArgCount for any
// number, kNoSuchFunction when the index names nothing.
int FunctionRegistry_GetArgCount(int index);
// The built-in at `index`, or null when the index is not a registry position.
FunctionEntry* FunctionRegistry_Get(int index);
// Runs the built-in at `index` on `argc` values at `args` and returns
// `result`. An index that is not a registry position runs nothing and leaves
// the result as it was.
ScriptValue* FunctionRegistry_Call(int index, CObjInstance* self, CObjInstance* other,
                                   ScriptValue* result, int argc, ScriptValue* args);
int FunctionRegistry_Count();
int FunctionRegistry_Capacity();
// Releases the table (shutdown).
void FunctionRegistry_Free();
// Changes whenever the table is released, so whoever filled it can tell
// whether its entries are still there.
uint32_t FunctionRegistry_Generation();

// Name look-ups of the script and extension bands. Until the script table and
// the extension packages install theirs, those bands are empty. Each owner
// sets only its own band, so loading one never forgets the other; null
// empties the band.
void FunctionRegistry_SetScriptLookup(int (*findScript)(std::string_view name));  // script index, or -1
void FunctionRegistry_SetExtensionLookups(int (*findExtension)(std::string_view name),  // id, or -1
                                          int (*extensionArgCount)(int id));  // a count or kNoSuchFunction

void InitMathFunctions();
