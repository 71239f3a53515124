// What the program carries of a game: its compiled event code with the
// tables the runtime binds at load, and the built-in container. The runner
// that plays data files carries none of it.
#pragma once
#include <cstdint>

class CObjInstance;
struct ScriptValue;

// A compiled event body.
using NativeEventFn = void (*)(CObjInstance* self, CObjInstance* other);
// A compiled script: it writes its result (which arrives as real 0) and reads
// `argc` arguments through `args`, which point at the 16 argument slots.
using NativeScriptFn = void (*)(CObjInstance* self, CObjInstance* other, ScriptValue* result, int argc,
                                ScriptValue** args);

// One entry of the compiled event table, indexed like the CODE chunk. An
// event's entry has `fn`; a script's has `script` (a script entry with only
// `fn` runs it for self and other, without arguments or result).
struct NativeCodeEntry {
  const char* name;  // "tws_Object_" + object + "_" + event + "_" + number
  NativeEventFn fn;
  NativeScriptFn script = nullptr;
};

// Names the compiled code uses; the ids are filled in at load.
struct NativeVarRef {
  const char* name;
  int32_t id;
};
struct NativeFuncRef {
  const char* name;
  int32_t id;
};

struct NativeGameHeader {
  int32_t global_slots;     // global value slots the compiled code uses
  int32_t instance_slots;   // value slots per instance
  uint32_t container_size;  // 0: no built-in container
  const uint8_t* container;
  const NativeCodeEntry* code_table;  // null: no compiled code
  int32_t code_count;
  NativeVarRef* const* var_refs;    // null-terminated, or null
  NativeFuncRef* const* func_refs;  // null-terminated, or null
};

const NativeGameHeader& NativeGame_Header();
