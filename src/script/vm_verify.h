// The load-time check of bytecode. Code that passes runs on the machine
// without any per-instruction check: every operand lies inside the record,
// every branch lands on an instruction, every type code names a type, and the
// kinds of the items on the stack are known at every instruction (the same
// whichever path reaches it), so no handler can read an item as something it
// is not or pop below the start of its code's stack.
//
// The machine's stack keeps every item in slots of 8 bytes (a value takes 16,
// a with-environment 32), so a string pointer fits and every value is
// aligned. The stack-move form of pop and the raw forms of dup count in the
// stream's 4-byte units; the check translates them into slot bytes here.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class VMBuffer;
class VMPlan;

// What the check knows of a stack item. Numbers of 4 bytes (".f", ".i",
// ".b") and of 8 (".d", ".l") may stand for one another, since reading one
// as the other is harmless; strings, values and environments own memory and
// may not.
enum class VMItem : uint8_t { kNum4, kNum8, kValue, kString, kEnv };

constexpr int kVMSlotBytes = 8;
constexpr int kVMEnvBytes = 32;
constexpr int VM_ItemBytes(VMItem item) {
  return item == VMItem::kValue ? 16 : item == VMItem::kEnv ? kVMEnvBytes : kVMSlotBytes;
}

// Limits that the check enforces.
constexpr int kVMMaxDupCount = 16;      // items or copies one dup may push
constexpr int kVMMaxArguments = 16;     // of a call
constexpr int kVMMaxCodeStack = 65536;  // bytes of stack one code's items may take

class VMCodeInfo {
 public:
  // The stack at an instruction, as a chain of nodes from the top down.
  struct Node {
    VMItem item;
    uint32_t below;  // node index; kEmpty ends the chain
  };
  static constexpr uint32_t kEmpty = 0;
  static constexpr uint32_t kNone = UINT32_MAX;  // not an instruction, or never reached

  // The stack before the instruction at byte offset pc (pc == size: the end).
  uint32_t StackAt(int32_t pc) const { return stackAt_[size_t(pc) >> 2]; }
  const Node& At(uint32_t node) const { return nodes_[node]; }
  // Bytes the code's own items may take at most.
  int32_t MaxStack() const { return maxStack_; }
  // Slot bytes moved by a raw dup, or sunk and dropped by the stack-move pop,
  // at that instruction.
  struct Move {
    int32_t bytes;  // dup: the block copied; pop.e: the depth the item sinks to
    int32_t drop;   // pop.e: bytes dropped after the move
  };
  const Move& MoveAt(int32_t pc) const { return moves_.at(pc); }
  // The machine's steps for this code (vm_plan.h), made when the code first
  // runs: null until then. Code bound or changed after it ran must be
  // checked again.
  const VMPlan* Plan() const { return plan_.get(); }
  void SetPlan(std::shared_ptr<const VMPlan> plan) const { plan_ = std::move(plan); }

 private:
  friend class VMVerifier;
  std::vector<uint32_t> stackAt_;  // per word, and one for the end
  std::vector<Node> nodes_;
  std::unordered_map<int32_t, Move> moves_;
  int32_t maxStack_ = 0;
  mutable std::shared_ptr<const VMPlan> plan_;
};

// Checks a whole code buffer. On success returns the facts the machine uses;
// on failure null, with `why` saying what and where ("+0x1C add.i.s: ...").
// `stringCount`, when not negative, bounds the string operands.
std::shared_ptr<const VMCodeInfo> VM_Verify(const VMBuffer& code, std::string* why, int64_t stringCount = -1);
