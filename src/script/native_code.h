// The form of code the game carries compiled into the program: a table of
// functions indexed like the container's code entries.
#pragma once

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
