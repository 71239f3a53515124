#include "script/vm_plan.h"

#include <cstring>
#include <unordered_map>

#include "script/scripts.h"
#include "script/bytecode.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "script/variable_names.h"
#include "script/vm_verify.h"
#include "script/world.h"

namespace {

bool g_enabled = true;

struct Instruction {
  int32_t pc;
  uint32_t word;
  uint32_t operand;  // the first operand word, if any
};

class Planner {
 public:
  Planner(const VMBuffer& code, const VMCodeInfo& info, std::vector<VMStep>& steps, std::vector<int32_t>& localIds)
      : code_(code), info_(info), steps_(steps), localIds_(localIds) {}

  void Run() {
    const int32_t size = code_.Size();
    std::vector<bool> target(size_t(size) / 4 + 1, false);
    for (int32_t pc = 0; pc < size;) {
      const uint32_t word = code_.WordAt(uint32_t(pc));
      const uint32_t length = VM_InstructionLength(word);
      list_.push_back({pc, word, length > 4 ? code_.WordAt(uint32_t(pc) + 4) : 0});
      if (VM_IsBranch(VM_Opcode(word))) {
        const int64_t to = int64_t(pc) + 4 * int64_t(VM_BranchOffset(word));
        if (to >= 0 && to <= size) target[size_t(to) >> 2] = true;
      }
      pc += int32_t(length);
    }
    // A run may only be entered at its start.
    auto joinable = [&](size_t i) { return !target[size_t(list_[i].pc) >> 2]; };

    for (size_t i = 0; i < list_.size(); ++i) {
      const Instruction& in = list_[i];
      if (info_.StackAt(in.pc) == VMCodeInfo::kNone) continue;
      VMStep& step = steps_[size_t(in.pc) >> 2];
      const uint8_t op = VM_Opcode(in.word), t1 = VM_Type1(in.word), t2 = VM_Type2(in.word);
      const int32_t next = in.pc + int32_t(VM_InstructionLength(in.word));
      if (Element(i, joinable, &step)) continue;
      if (op == kOpCall) {
        const int32_t function = int32_t(in.operand);
        if (function >= kFirstScriptFunction && function < kFirstExtensionFunction) {
          step.kind = kStepCall;
          step.destRef = function - kFirstScriptFunction;
          step.rightRef = uint16_t(VM_Immediate(in.word));
          step.next = next;
        }
        continue;
      }
      if (op == kOpRet && t1 == kVMVariable) {
        const uint32_t stack = info_.StackAt(in.pc);
        if (stack != VMCodeInfo::kEmpty && info_.At(stack).item == VMItem::kValue &&
            info_.At(stack).below == VMCodeInfo::kEmpty) {
          step.kind = kStepReturn;
        }
        continue;
      }
      if (op == kOpB) {
        step.kind = kStepBranch;
        step.target = in.pc + 4 * VM_BranchOffset(in.word);
        continue;
      }
      if (op == kOpPush && t1 == kVMVariable) {
        VMPlace place;
        int32_t ref;
        if (Variable(in, &place, &ref, true)) {
          step.kind = kStepPush;
          step.left = place;
          step.leftRef = ref;
          step.next = next;
        }
        continue;
      }
      if (op == kOpPop && t1 == kVMVariable && (t2 == kVMVariable || t2 == kVMDouble || t2 == kVMInt)) {
        VMPlace place;
        int32_t ref;
        if (Variable(in, &place, &ref)) {
          step.kind = kStepPop;
          step.dest = place;
          step.destRef = ref;
          step.rightType = t2;
          step.next = next;
        }
        continue;
      }
      if (!Arithmetic(op)) continue;
      // Operands the fast way can read, and real arithmetic as the result.
      auto usable = [](uint8_t t) { return t == kVMDouble || t == kVMVariable || t == kVMInt; };
      if (!usable(t1) || !usable(t2) || (t1 == kVMInt && t2 == kVMInt)) continue;

      VMStep run;
      run.op = op;
      run.leftType = t2;
      run.rightType = t1;
      size_t first = i;
      if (i >= 1 && joinable(i) && Operand(list_[i - 1], t1, &run.right, &run.rightRef, &run.rightConst)) {
        first = i - 1;
        if (i >= 2 && joinable(i - 1) && Operand(list_[i - 2], t2, &run.left, &run.leftRef, &run.leftConst)) {
          first = i - 2;
        }
      }
      run.resultType = uint8_t(Comparison(op) ? kVMBool : (t1 == kVMVariable || t2 == kVMVariable) ? kVMVariable
                                                                                                     : kVMDouble);
      run.next = next;
      if (i + 1 < list_.size() && joinable(i + 1)) {
        const Instruction& after = list_[i + 1];
        const uint8_t aop = VM_Opcode(after.word);
        VMPlace place;
        int32_t ref;
        if (Comparison(op) && (aop == kOpBt || aop == kOpBf)) {
          run.dest = kPlaceBranch;
          run.branchIf = aop == kOpBt;
          run.target = after.pc + 4 * VM_BranchOffset(after.word);
          run.next = after.pc + 4;
        } else if (!Comparison(op) && aop == kOpPop && VM_Type1(after.word) == kVMVariable &&
                   VM_Type2(after.word) == run.resultType && Variable(after, &place, &ref)) {
          run.dest = place;
          run.destRef = ref;
          run.next = after.pc + int32_t(VM_InstructionLength(after.word));
        }
      }
      // A store just before a jump (the step of a loop) takes the jump too.
      if (run.dest != kPlaceStack && run.dest != kPlaceBranch) {
        const size_t last = i + 2;
        if (last < list_.size() && VM_Opcode(list_[last].word) == kOpB && joinable(last)) {
          run.thenBranch = true;
          run.target = list_[last].pc + 4 * VM_BranchOffset(list_[last].word);
        }
      }
      run.kind = VMStepKind(kStepArith +
                            VMArithShape(Class(run.left), Class(run.right), DestClass(run.dest), VMOpIndex(op)));
      steps_[size_t(list_[first].pc) >> 2] = run;
    }
    ForLoops();
  }

 private:
  // A local stepped by a constant and then jumped to its test against a
  // constant or a local: the two steps become one.
  void ForLoops() {
    for (VMStep& st : steps_) {
      if (st.kind < kStepArith || st.dest != kPlaceLocal || !st.thenBranch || st.left != kPlaceLocal ||
          st.leftRef != st.destRef || st.right != kPlaceConst || (st.op != kOpAdd && st.op != kOpSub)) {
        continue;
      }
      const VMStep& test = steps_[size_t(st.target) >> 2];
      if (test.kind < kStepArith || test.dest != kPlaceBranch || test.left != kPlaceLocal ||
          test.leftRef != st.destRef || (test.right != kPlaceConst && test.right != kPlaceLocal)) {
        continue;
      }
      // a - b is a + (-b) exactly.
      if (st.op == kOpSub) st.rightConst = -st.rightConst;
      st.op = kOpAdd;
      st.rightRef = test.rightRef;
      st.leftConst = test.rightConst;
      st.target2 = test.target;
      st.next = test.next;
      st.branchIf = test.branchIf;
      st.kind = VMStepKind(kStepForLoop + VMForLoopShape(VMOpIndex(test.op), test.right == kPlaceLocal));
    }
  }

  static int Class(VMPlace p) {
    return p == kPlaceStack ? kClassStack : p == kPlaceConst ? kClassConst : p == kPlaceLocal ? kClassLocal : kClassVariable;
  }
  static int DestClass(VMPlace p) {
    return p == kPlaceStack ? kDestStack : p == kPlaceBranch ? kDestBranch : p == kPlaceLocal ? kDestLocal : kDestVariable;
  }
  static bool Comparison(uint8_t op) { return op >= kOpSlt && op <= kOpSgt; }
  static bool Arithmetic(uint8_t op) {
    return op == kOpAdd || op == kOpSub || op == kOpMul || op == kOpDiv || Comparison(op);
  }

  int32_t Slot(int32_t id) {
    auto [it, added] = slots_.emplace(id, int32_t(localIds_.size()));
    if (added) localIds_.push_back(id);
    return it->second;
  }

  // A push.v or pop.v.* of a whole variable whose scope the word names.
  bool Variable(const Instruction& in, VMPlace* place, int32_t* ref, bool read = false) {
    const VariableRef v{in.operand};
    if (v.Indexed() || !v.InstanceFromImmediate() || v.InstanceIsId()) return false;
    return Scope(VM_Immediate(in.word), v.Id(), read, true, place, ref);
  }

  // The place of variable `id` of an instance number. Reads may also take
  // argument0 ... argument15, whose writes go through their setters. A
  // whole built-in variable of self is a place of its own, read and written
  // through its getter and setter; its elements are left to the generic
  // handlers.
  bool Scope(int32_t instance, int32_t id, bool read, bool whole, VMPlace* place, int32_t* ref) {
    switch (instance) {
      case kInstanceLocal:
        *place = kPlaceLocal;
        *ref = Slot(id);
        return true;
      case kInstanceSelf:
      case kInstancePlain:
        if (read && BuiltinVar_ArgumentSlot(id)) {
          *place = kPlaceArgument;
          *ref = id;
          return true;
        }
        if (id < kFirstUserVariableId) {
          if (!whole || id < 0 || id >= g_ScriptWorld.instanceBuiltins) return false;
          // globalvar never names a built-in, so plain is self here.
          *place = kPlaceBuiltin;
          *ref = id;
          return true;
        }
        *place = instance == kInstanceSelf ? kPlaceSelf : kPlacePlain;
        *ref = id;
        return true;
      case kInstanceGlobal:
        *place = kPlaceGlobal;
        *ref = id;
        return true;
      default: return false;
    }
  }

  // An element access: push.e of the instance, the index (one part, or
  // row * kArrayRowStride + column in int arithmetic), then the indexed
  // push.v or pop.v of the variable.
  template <typename Joinable>
  bool Element(size_t i, const Joinable& joinable, VMStep* step) {
    const Instruction& in = list_[i];
    if (VM_Opcode(in.word) != kOpPush || VM_Type1(in.word) != kVMImmediate) return false;
    const int32_t instance = VM_Immediate(in.word);
    if (instance != kInstanceLocal && instance != kInstanceSelf && instance != kInstancePlain &&
        instance != kInstanceGlobal) {
      return false;
    }
    size_t j = i + 1;
    auto at = [&](uint8_t op, uint8_t t1, uint8_t t2) {
      if (j >= list_.size() || !joinable(j)) return false;
      const uint32_t w = list_[j].word;
      return VM_Opcode(w) == op && VM_Type1(w) == t1 && VM_Type2(w) == t2;
    };
    VMStep run;
    run.left = kPlaceConst;
    run.leftRef = 0;
    if (!IndexPart(j, joinable, &run.right, &run.rightRef)) return false;
    if (j + 1 < list_.size() && joinable(j) && VM_Opcode(list_[j].word) == kOpPush &&
        VM_Type1(list_[j].word) == kVMInt && int32_t(list_[j].operand) == kArrayRowStride) {
      ++j;
      if (!at(kOpMul, kVMInt, kVMInt)) return false;
      ++j;
      run.left = run.right;
      run.leftRef = run.rightRef;
      if (!IndexPart(j, joinable, &run.right, &run.rightRef) || !at(kOpAdd, kVMInt, kVMInt)) return false;
      ++j;
    }
    if (j >= list_.size() || !joinable(j)) return false;
    const Instruction& access = list_[j];
    const uint8_t op = VM_Opcode(access.word), t1 = VM_Type1(access.word), t2 = VM_Type2(access.word);
    const VariableRef v{access.operand};
    if (t1 != kVMVariable || !v.Indexed() || v.InstanceFromImmediate() || v.InstanceIsId()) return false;
    if (op == kOpPop) {
      if (t2 != kVMVariable && t2 != kVMDouble && t2 != kVMInt) return false;
      run.kind = kStepElementPop;
      run.rightType = t2;
    } else if (op == kOpPush) {
      run.kind = kStepElementPush;
    } else {
      return false;
    }
    if (!Scope(instance, v.Id(), false, false, &run.dest, &run.destRef)) return false;
    run.next = access.pc + int32_t(VM_InstructionLength(access.word));
    *step = run;
    // The value pushed just before joins the store.
    if (run.kind == kStepElementPop && i >= 1 && joinable(i) && info_.StackAt(list_[i - 1].pc) != VMCodeInfo::kNone &&
        Operand(list_[i - 1], run.rightType, &run.source, &run.sourceRef, &run.leftConst)) {
      steps_[size_t(list_[i - 1].pc) >> 2] = run;
    }
    return true;
  }

  // One part of an element index at list_[j]: an int constant, or a variable
  // converted by conv.v.i. Moves j past it.
  template <typename Joinable>
  bool IndexPart(size_t& j, const Joinable& joinable, VMPlace* place, int32_t* ref) {
    if (j >= list_.size() || !joinable(j)) return false;
    const Instruction& in = list_[j];
    if (VM_Opcode(in.word) != kOpPush) return false;
    switch (VM_Type1(in.word)) {
      case kVMImmediate:
        *place = kPlaceConst;
        *ref = VM_Immediate(in.word);
        ++j;
        return true;
      case kVMInt:
        *place = kPlaceConst;
        *ref = int32_t(in.operand);
        ++j;
        return true;
      case kVMVariable: {
        if (j + 1 >= list_.size() || !joinable(j + 1)) return false;
        const uint32_t conv = list_[j + 1].word;
        if (VM_Opcode(conv) != kOpConv || VM_Type1(conv) != kVMVariable || VM_Type2(conv) != kVMInt) return false;
        if (!Variable(in, place, ref, true)) return false;
        j += 2;
        return true;
      }
      default: return false;
    }
  }

  // A push of a variable or a number whose item is of type `type`: an
  // operand of the arithmetic after it, or the value of an element store.
  bool Operand(const Instruction& in, uint8_t type, VMPlace* place, int32_t* ref, double* constant) {
    if (VM_Opcode(in.word) != kOpPush) return false;
    const uint8_t t = VM_Type1(in.word);
    switch (t) {
      case kVMVariable: return type == kVMVariable && Variable(in, place, ref, true);
      case kVMImmediate:
        if (type != kVMInt) return false;
        *place = kPlaceConst;
        *constant = VM_Immediate(in.word);
        return true;
      case kVMInt:
        if (type != kVMInt) return false;
        *place = kPlaceConst;
        *constant = int32_t(in.operand);
        return true;
      case kVMDouble: {
        if (type != kVMDouble) return false;
        const uint64_t bits = uint64_t(in.operand) | uint64_t(code_.WordAt(uint32_t(in.pc) + 8)) << 32;
        std::memcpy(constant, &bits, 8);
        *place = kPlaceConst;
        return true;
      }
      default: return false;
    }
  }

  const VMBuffer& code_;
  const VMCodeInfo& info_;
  std::vector<VMStep>& steps_;
  std::vector<int32_t>& localIds_;
  std::vector<Instruction> list_;
  std::unordered_map<int32_t, int32_t> slots_;
};

}  // namespace

std::shared_ptr<const VMPlan> VMPlan_Build(const VMBuffer& code, const VMCodeInfo& info) {
  auto plan = std::make_shared<VMPlan>();
  plan->steps_.assign(size_t(code.Size()) / 4 + 1, VMStep{});
  plan->steps_.back().kind = kStepEnd;
  if (g_enabled) Planner(code, info, plan->steps_, plan->localIds_).Run();
  return plan;
}

void VMPlan_SetEnabled(bool enabled) { g_enabled = enabled; }
