// Bytecode of the virtual machine: the instruction word, type codes, opcodes,
// variable operands, and the buffers a code object keeps its code in.
//
// A stream is a sequence of 32-bit little-endian words. An instruction is one
// word, from the top bit down: opcode (8 bits), type 2 (4), type 1 (4),
// immediate (16, signed unless an opcode says otherwise), followed by the
// operand words of type 1 when the opcode has the 0x40 bit. Branches use the
// low 24 bits as a signed word offset from the branch itself.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "script/targets.h"

// Type codes. 7 to 14 name no type: nothing on the stack, no operand.
enum VMType : uint8_t {
  kVMDouble = 0,
  kVMFloat = 1,
  kVMInt = 2,
  kVMLong = 3,
  kVMBool = 4,
  kVMVariable = 5,  // a whole ScriptValue; as an operand, a VariableRef word
  kVMString = 6,
  kVMImmediate = 15,  // the word's own immediate, pushed as an int
};

enum VMOpcode : uint8_t {
  kOpConv = 3,
  kOpMul = 4,
  kOpDiv = 5,
  kOpRem = 6,
  kOpMod = 7,
  kOpAdd = 8,
  kOpSub = 9,
  kOpAnd = 10,
  kOpOr = 11,
  kOpXor = 12,
  kOpNeg = 13,
  kOpNot = 14,
  kOpShl = 15,
  kOpShr = 16,
  kOpSlt = 17,
  kOpSle = 18,
  kOpSeq = 19,
  kOpSne = 20,
  kOpSge = 21,
  kOpSgt = 22,
  kOpPop = 65,
  kOpDup = 130,
  kOpRet = 157,
  kOpExit = 158,
  kOpPopz = 159,
  kOpB = 183,
  kOpBt = 184,
  kOpBf = 185,
  kOpPushEnv = 187,
  kOpPopEnv = 188,
  kOpPush = 192,
  kOpCall = 218,
  kOpBreak = 255,
};

// Class bits of the opcode byte.
constexpr uint8_t kOpClassOneType = 0x80;
constexpr uint8_t kOpClassOperand = 0x40;
constexpr uint8_t kOpClassBranch = 0x20;  // together with 0x80

constexpr uint32_t kVMBreakpointWord = 0xFFFF0000u;  // break .e.e, immediate 0
constexpr uint32_t kVMPopEnvExitWord = 0xBCF00000u;  // leaves a with-statement early

constexpr uint8_t VM_Opcode(uint32_t word) { return uint8_t(word >> 24); }
constexpr uint8_t VM_Type1(uint32_t word) { return uint8_t((word >> 16) & 0xF); }
constexpr uint8_t VM_Type2(uint32_t word) { return uint8_t((word >> 20) & 0xF); }
constexpr int16_t VM_Immediate(uint32_t word) { return int16_t(uint16_t(word)); }
constexpr bool VM_IsBranch(uint8_t op) { return (op & 0xA0) == 0xA0 && op != kOpBreak; }
// The signed word offset of a branch word.
constexpr int32_t VM_BranchOffset(uint32_t word) { return int32_t(word << 8) >> 8; }

constexpr uint32_t VM_Word(uint8_t op, uint8_t type1, uint8_t type2, int16_t immediate) {
  return uint32_t(op) << 24 | uint32_t(type2 & 0xF) << 20 | uint32_t(type1 & 0xF) << 16 | uint16_t(immediate);
}
// A branch `wordOffset` words away from the branch itself.
constexpr uint32_t VM_BranchWord(uint8_t op, int32_t wordOffset) {
  return uint32_t(op) << 24 | (uint32_t(wordOffset) & 0xFFFFFF);
}

// Bytes an item of this type takes on the machine's stack.
constexpr int VM_StackSize(int type) {
  if (type == kVMDouble || type == kVMLong) return 8;
  if (type == kVMVariable) return 16;
  return type > kVMString ? 0 : 4;
}
// Bytes of an operand of this type in the stream.
constexpr int VM_OperandSize(int type) {
  if (type == kVMDouble || type == kVMLong) return 8;
  return type > kVMString ? 0 : 4;
}
// Bytes the instruction starting with `word` takes in the stream; the
// machine advances by exactly this much.
constexpr uint32_t VM_InstructionLength(uint32_t word) {
  return 4 + ((VM_Opcode(word) & kOpClassOperand) ? uint32_t(VM_OperandSize(VM_Type1(word))) : 0);
}

// ".d" ... ".s", ".e"; null for the codes that name no type.
const char* VM_TypeSuffix(int type);
// "conv", "push", ...; null for an opcode without a name.
const char* VM_OpcodeName(uint8_t op);
// The instruction's name with its type suffixes, for diagnostics: "pop.v.v",
// "call.i", "b", "op 0x42" for an unnamed opcode.
std::string VM_InstructionName(uint32_t word);

// The operand word of the variable forms of push and pop.
struct VariableRef {
  static constexpr uint32_t kNoIndex = 1u << 31;         // clear: an array index is on the stack
  static constexpr uint32_t kInstanceId = 1u << 30;      // the instance is 100000 + immediate
  static constexpr uint32_t kImmediateInstance = 1u << 29;  // clear: the instance is popped
  static constexpr uint32_t kIdMask = 0x1FFFFFFF;
  static constexpr uint32_t kFlagMask = ~kIdMask;

  uint32_t bits = 0;

  constexpr bool Indexed() const { return !(bits & kNoIndex); }
  constexpr bool InstanceFromImmediate() const { return bits & kImmediateInstance; }
  constexpr bool InstanceIsId() const { return bits & kInstanceId; }
  constexpr int32_t Id() const { return int32_t(bits & kIdMask); }
};


// Bytes of code, or a line table of 8-byte records. The buffer always owns
// its bytes: code from the data file is a copy, so binding it never touches
// the container.
class VMCodeInfo;

class VMBuffer {
 public:
  VMBuffer() = default;
  explicit VMBuffer(std::span<const uint8_t> bytes);
  virtual ~VMBuffer();
  VMBuffer(const VMBuffer&) = delete;
  VMBuffer& operator=(const VMBuffer&) = delete;

  int32_t Size() const { return size_; }
  const uint8_t* Data() const { return data_.get(); }
  // The word at a byte offset; the caller keeps offset + 4 within Size().
  uint32_t WordAt(uint32_t offset) const;
  void SetWordAt(uint32_t offset, uint32_t word);

  // What the load-time check learnt of this code (vm_verify.h); null until
  // the code has passed it. Code that changes afterwards must be checked again.
  const VMCodeInfo* Info() const { return info_.get(); }
  void SetInfo(std::shared_ptr<const VMCodeInfo> info) const { info_ = std::move(info); }

 protected:
  int32_t size_ = 0;
  std::unique_ptr<uint8_t[]> data_;
  mutable std::shared_ptr<const VMCodeInfo> info_;
};

// The buffer the code generator appends to. While it is written, Size() is
// the capacity; Finish() makes it the number of bytes written.
class VMWriteBuffer : public VMBuffer {
 public:
  explicit VMWriteBuffer(int32_t capacity);

  // Room for at least `bytes` more; returns the capacity.
  int32_t Reserve(int32_t bytes);
  void Append(std::initializer_list<uint32_t> words);
  void AppendDouble(double v);  // two words, low first
  void AppendFloat(float v);    // the float's own bits
  void AppendInt32(int32_t v);
  void AppendInt64(int64_t v);  // two words, low first
  void AppendBool(int32_t v);   // 1 when the low byte is non-zero, else 0

  // Bytes written so far: the address the next word gets.
  int32_t Position() const { return written_; }
  void Finish() { size_ = written_; }

  // A branch to a known address; returns the branch's own address.
  int32_t AppendBranch(uint8_t op, int32_t target);
  // A branch whose label is placed later: written with offset 0, then
  // PatchBranch once the label's address is known.
  int32_t AppendBranchToLabel(uint8_t op) { return AppendBranch(op, written_); }
  void PatchBranch(int32_t branchAddress, int32_t labelAddress);

 private:
  int32_t written_ = 0;
};
