// Constants: the engine's built-in ones, the platform's, and those the game
// and its extension packages define; and the resolution of a name to a
// resource index or a constant, which the compiler and asset look-ups share.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct ScriptValue;

void Constant_Add(std::string_view name, const ScriptValue& value);
void Constant_AddReal(std::string_view name, double value);
// Not empty, a letter or "_" first, then letters, digits and "_" (ASCII).
bool Constant_IsValidName(std::string_view name);
// A constant the game or an extension defines. The name is trimmed and
// checked (false for a bad one, which the caller reports). The value text is a
// number (decimal, or hexadecimal after "$" or "0x"), a quoted string, or
// the name of a resource or constant defined before; other text reads as 0,
// with a line in the debug console.
bool Constant_AddFromText(std::string_view nameText, std::string_view valueText);
// Resources first, in a fixed order of kinds, then the newest constant of
// exactly that name. out becomes real 0 when nothing is found.
bool Constant_Resolve(std::string_view name, ScriptValue* out);
// The newest constant whose name matches ignoring ASCII case; null if none.
const ScriptValue* Constant_Find(std::string_view name);
// The engine's constants, then the platform's (Platform_RegisterConstants).
void Constant_RegisterBuiltins();
// The value of the engine's own constant of exactly this name, whatever has
// been registered (the data-file writer reads event and key names here).
bool Constant_BuiltinValue(std::string_view name, double* value);
// The os_, device_, browser_, achievement_, asset_ and ds_type_ families.
void Platform_RegisterConstants();
void Constant_FreeAll();
int32_t Constant_Count();

// Resource kinds in the order resolution asks them.
enum class ResourceKind {
  kObject,
  kSprite,
  kSound,
  kAudioAsset,
  kBackground,
  kPath,
  kFont,
  kTimeline,
  kScript,
  kRoom,
  kCount
};
// The index of the resource of that exact name, or -1.
using ResourceFindFn = int32_t (*)(std::string_view name);
// The look-up of one kind of resource; null removes it. None is installed
// until start-up installs every table's (the runtime knows no resources).
void Constant_SetResourceLookup(ResourceKind kind, ResourceFindFn find);
// Removes every look-up (tests).
void Constant_ResetResourceLookups();
