// What the program carries of a game: its compiled event code with the
// tables the runtime binds at load, and the built-in container. The runner
// that plays data files carries none of it.
#pragma once
#include <cstdint>

#include "script/native_code.h"

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

// What a game library provides: its header. The program installs it before
// the runner starts; the engine reads only the installed one.
const NativeGameHeader& NativeGame_Header();
// The installed game; until one is installed, a game with no compiled code
// and no built-in container.
const NativeGameHeader& NativeGame_Get();
void NativeGame_Install(const NativeGameHeader& header);
