// Shared between the machine's dispatch and its value handlers.
#pragma once
#include <cstdint>
#include <cstring>

#include "script/bytecode.h"
#include "script/value.h"
#include "script/vm.h"
#include "script/vm_verify.h"

namespace vm {

template <typename T>
inline T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
inline void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Slot bytes of an item of a type code on the machine's stack.
constexpr int SlotBytes(int type) {
  if (type == kVMVariable) return 16;
  return type > kVMString ? 0 : kVMSlotBytes;
}

inline ScriptValue* ValueAt(uint8_t* p) { return reinterpret_cast<ScriptValue*>(p); }

// Pushes a real value / string value (the block moves into it).
inline uint8_t* PushReal(uint8_t* sp, double d) {
  sp -= 16;
  ScriptValue* v = new (sp) ScriptValue;
  v->real = d;
  return sp;
}
inline uint8_t* PushStringValue(uint8_t* sp, char* text) {
  sp -= 16;
  ScriptValue* v = new (sp) ScriptValue;
  v->kind = kKindString;
  v->text = text;
  return sp;
}

// Releases whatever an item of this type owns.
void FreeItem(uint8_t* at, int type);

// Handlers of the value instructions; each returns the new stack pointer.
uint8_t* DoConv(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoBinary(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoNeg(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoNot(uint32_t word, uint8_t* sp, VMFrame* frame);
uint8_t* DoSet(uint32_t word, uint8_t* sp, VMFrame* frame);

}  // namespace vm
