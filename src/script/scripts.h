// Scripts: the game's named routines, the table the SCPT chunk fills, and
// the 16 global argument slots a running script reads its arguments from.
//
// SCPT body: a counted list of record offsets (0 for an absent script); a
// record is {u32 name (string reference), u32 code index when the game's
// code is compiled or comes from the CODE chunk, else a string reference to
// the script's source text}.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

class CCode;
class CObjInstance;
struct NativeCodeEntry;

constexpr int kScriptArgumentSlots = 16;

// Slot n is argument n of the running script; argument_count is the count
// of the running script, kept by the machine and by Script_Run.
extern ScriptValue g_ArgumentSlots[kScriptArgumentSlots];
extern int32_t g_ArgumentCount;
// Slots from this one on hold real 0 and own nothing, so that a call need
// save and restore only the slots below it. Whoever writes a slot at or past
// it raises it (the argument variables' setters do); the machine and
// Script_Run set it for the calls they make, and the machine works it out
// afresh at the first script call of a run.
extern int32_t g_ArgumentSlotsUsed;
// What BuiltinVar_ArgumentSlot needs, kept up to date by the built-in variable
// table of the world.
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

// The count of slots that hold anything but real 0.
int32_t Arguments_CountUsed();

class CScript {
 public:
  explicit CScript(std::string name);
  virtual ~CScript();
  CScript(const CScript&) = delete;
  CScript& operator=(const CScript&) = delete;

  void SetCodeIndex(int32_t index);
  void SetText(std::string text);
  // Binds a compiled body in place of any code (Compile does so from the
  // compiled-code table).
  void BindNative(const NativeCodeEntry* entry);
  // Binds or compiles the code; false when text does not compile.
  bool Compile();

  const std::string& Name() const { return name_; }
  // Null while unprepared, and for a script of the compiled game.
  CCode* Code() const { return code_.get(); }
  const NativeCodeEntry* Native() const { return native_; }
  int32_t CodeIndex() const { return index_; }
  const std::string& Text() const { return text_; }

 private:
  std::unique_ptr<CCode> code_;
  const NativeCodeEntry* native_ = nullptr;
  std::string text_;
  int32_t index_ = -1;  // -1: the script keeps text
  std::string name_;
};

// The run-time compiler for script text; without one, text scripts stay
// without code and calls to them yield 0.
using ScriptCompiler = bool (*)(CCode* code, const std::string& name);
void Script_SetCompiler(ScriptCompiler compiler);

// Makes `scripts` the script table (absent scripts are null).
void Script_SetTable(std::vector<std::unique_ptr<CScript>> scripts);
// Forgets every script (before the chunks are loaded).
void Script_Clear();
void Script_DeleteAll();
bool Script_Prepare();
void Script_Shutdown();
// Releases what the argument slots hold.
void Arguments_FreeAll();

// Changes whenever a script is added, removed or given other code, so that
// what callers found of a script can be known to still hold.
extern uint64_t g_ScriptTableGeneration;

int32_t Script_Count();
bool Script_Exists(int32_t index);
CScript* Script_Get(int32_t index);
// "<undefined>" outside the table or for an absent script.
std::string Script_GetName(int32_t index);
// The first present script with exactly this name, or -1.
int32_t Script_Find(std::string_view name);

// Runs script `index` with up to 16 arguments (more are ignored); the caller's
// argument slots are back afterwards. False for an absent script or when its
// code fails; the pending error text then names the script.
bool Script_Run(int32_t index, CObjInstance* self, CObjInstance* other, int argc, ScriptValue* result,
                const ScriptValue* args);

// For tests: a script table made directly.
int32_t Script_AddForTests(std::unique_ptr<CScript> script);
