#include "script/codegen.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/code.h"
#include "script/convert.h"
#include "script/operators.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_verify.h"

namespace {

// The pseudo type of a with-statement's environment on the type stack.
constexpr uint8_t kTypeEnv = 7;

// One index per distinct text, so recompiling the same strings does not
// grow the machine's pool of compiled strings.
uint32_t StringIndex(const char* text) {
  static std::unordered_map<std::string, uint32_t> indices;
  auto [it, added] = indices.emplace(text, 0);
  if (added) it->second = VM_AddCompiledString(text);
  return it->second;
}

struct Label {
  int32_t address = -1;
  std::vector<int32_t> fixups;
  int uses = 0;
};

class CodeGen {
 public:
  explicit CodeGen(CompileContext* context)
      : ctx_(context), code_(std::make_unique<VMWriteBuffer>(16)), lines_(std::make_unique<VMWriteBuffer>(16)) {
    // Where each line of the source starts, so records are made per line.
    const char* text = context->code ? context->code->GetText() : "";
    for (const char* c = std::strchr(text, '\n'); c; c = std::strchr(c + 1, '\n'))
      lineStarts_.push_back(int32_t(c + 1 - text));
  }

  std::unique_ptr<VMWriteBuffer> Program(const ParseNode& root, std::unique_ptr<VMBuffer>* lineTable) {
    if (root.kind == kNodeBlock) {
      for (const ParseNode& s : root.children) Statement(s, 0);
    }
    return Finish(lineTable);
  }

  std::unique_ptr<VMWriteBuffer> Expression(const ParseNode& root, std::unique_ptr<VMBuffer>* lineTable) {
    Value(root, 0);
    To(kVMVariable);
    return Finish(lineTable);
  }

 private:
  bool Failed() const { return ctx_->failed; }

  std::unique_ptr<VMWriteBuffer> Finish(std::unique_ptr<VMBuffer>* lineTable) {
    if (!Failed() && code_->Position() > kCodeGenMaxCodeBytes) ctx_->Fail(0, "Code is too large.");
    if (Failed()) return nullptr;
    code_->Finish();
    lines_->Finish();
    if (lineTable && code_->Size() > 0 && lines_->Size() > 0) *lineTable = std::move(lines_);
    return std::move(code_);
  }

  // --- the line table ---
  // The source position of the instructions emitted from here on: the
  // machine's errors name its line.
  void At(int32_t position) { position_ = position; }
  int32_t LineOf(int32_t position) const {
    return int32_t(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), position) - lineStarts_.begin());
  }
  // One record per run of instructions from the same line: {offset, position}.
  void Mark() {
    if (position_ < 0) return;
    const int32_t line = LineOf(position_);
    if (line == line_) return;
    line_ = line;
    const int32_t at = code_->Position();
    if (at == lineOffset_) {
      // Nothing was emitted for the line before: this record replaces it.
      lines_->SetWordAt(uint32_t(lines_->Position() - 4), uint32_t(position_));
      return;
    }
    lineOffset_ = at;
    lines_->AppendInt32(at);
    lines_->AppendInt32(position_);
  }

  void Emit(uint32_t word) {
    if (code_->Position() > kCodeGenMaxCodeBytes) return;  // reported by Finish
    Mark();
    code_->Append({word});
  }
  void EmitOp(uint8_t op, uint8_t type1, uint8_t type2 = 0, int16_t immediate = 0) {
    Emit(VM_Word(op, type1, type2, immediate));
  }

  // --- the type stack ---
  static int Bytes(uint8_t type) { return type == kTypeEnv ? kVMEnvBytes : type == kVMVariable ? 16 : int(kVMSlotBytes); }
  void Push(uint8_t type, int32_t position) {
    if (Failed()) return;
    if (int(types_.size()) >= kCodeGenMaxTypeStack || bytes_ + Bytes(type) > kCodeGenMaxStackBytes) {
      ctx_->Fail(position, "Expression is too complex.");
      return;
    }
    types_.push_back(type);
    bytes_ += Bytes(type);
  }
  uint8_t Pop() {
    if (types_.empty()) return kVMImmediate;
    const uint8_t t = types_.back();
    types_.pop_back();
    bytes_ -= Bytes(t);
    return t;
  }
  uint8_t Top() const { return types_.empty() ? uint8_t(kVMImmediate) : types_.back(); }
  void To(uint8_t want) {
    if (Failed()) return;
    const uint8_t have = Pop();
    if (have != want) EmitOp(kOpConv, have, want);
    Push(want, 0);
  }

  // --- labels ---
  void Branch(uint8_t op, Label* label) {
    if (code_->Position() > kCodeGenMaxCodeBytes) return;
    Mark();
    if (label->address >= 0) {
      code_->AppendBranch(op, label->address);
    } else {
      label->fixups.push_back(code_->AppendBranchToLabel(op));
    }
  }
  void Place(Label* label) {
    label->address = code_->Position();
    for (int32_t at : label->fixups) code_->PatchBranch(at, label->address);
    label->fixups.clear();
  }

  // --- values ---
  void Constant(const ParseNode& node) {
    At(node.position);
    if (node.value.IsString()) {
      EmitOp(kOpPush | 0, kVMString);
      Emit(StringIndex(node.value.Text()));
      return Push(kVMString, node.position);
    }
    const double v = node.value.real;
    const bool whole = std::isfinite(v) && std::fabs(v) < 9.2e18 && double(int64_t(v)) == v;
    if (whole && v >= -32768 && v <= 32767) {
      EmitOp(kOpPush, kVMImmediate, 0, int16_t(v));
      return Push(kVMInt, node.position);
    }
    if (whole && v >= INT32_MIN && v <= INT32_MAX) {
      EmitOp(kOpPush, kVMInt);
      Emit(uint32_t(int32_t(v)));
      return Push(kVMInt, node.position);
    }
    if (whole) {
      EmitOp(kOpPush, kVMLong);
      code_->AppendInt64(int64_t(v));
      return Push(kVMLong, node.position);
    }
    EmitOp(kOpPush, kVMDouble);
    code_->AppendDouble(v);
    Push(kVMDouble, node.position);
  }

  // The instance and indices of a variable node, leaving its VariableRef.
  uint32_t Target(const ParseNode& node, int depth) {
    Value(node.children[0], depth + 1);
    To(kVMInt);
    const size_t indices = node.children.size() - 1;
    if (indices >= 1) {
      Value(node.children[1], depth + 1);
      To(kVMInt);
    }
    if (indices == 2) {
      // The index pair as row * 32000 + column.
      EmitOp(kOpPush, kVMInt);
      Emit(uint32_t(kArrayRowStride));
      Push(kVMInt, node.position);
      EmitOp(kOpMul, kVMInt, kVMInt);
      Pop();
      Value(node.children[2], depth + 1);
      To(kVMInt);
      EmitOp(kOpAdd, kVMInt, kVMInt);
      Pop();
    }
    if (indices >= 1) Pop();
    Pop();
    return (uint32_t(node.operand) & VariableRef::kIdMask) | (indices == 0 ? VariableRef::kNoIndex : 0);
  }

  // A simple variable's instance as an immediate, when it fits one.
  static bool SimpleRef(const ParseNode& node, int16_t* immediate, uint32_t* ref) {
    const int32_t instance = node.instance;
    uint32_t bits = VariableRef::kNoIndex | VariableRef::kImmediateInstance;
    int32_t value = instance;
    if (instance >= kFirstInstanceId) {
      value = instance - kFirstInstanceId;
      bits |= VariableRef::kInstanceId;
    }
    if (value < -32768 || value > 32767) return false;
    *immediate = int16_t(value);
    *ref = bits | (uint32_t(node.operand) & VariableRef::kIdMask);
    return true;
  }

  void ReadVariable(const ParseNode& node, int depth) {
    if (node.kind == kNodeSimpleVariable) {
      At(node.position);
      int16_t immediate;
      uint32_t ref;
      if (SimpleRef(node, &immediate, &ref)) {
        EmitOp(kOpPush, kVMVariable, 0, immediate);
        Emit(ref);
        return Push(kVMVariable, node.position);
      }
      // An instance no immediate can hold goes through the stack.
      EmitOp(kOpPush, kVMInt);
      Emit(uint32_t(node.instance));
      Push(kVMInt, node.position);
      Pop();
      EmitOp(kOpPush, kVMVariable);
      Emit(VariableRef::kNoIndex | (uint32_t(node.operand) & VariableRef::kIdMask));
      return Push(kVMVariable, node.position);
    }
    const uint32_t ref = Target(node, depth);
    At(node.position);
    EmitOp(kOpPush, kVMVariable);
    Emit(ref);
    Push(kVMVariable, node.position);
  }

  // Stores the item on top of the stack into the variable.
  void Store(const ParseNode& node, int depth) {
    const uint8_t valueType = Top();
    if (node.kind == kNodeSimpleVariable) {
      At(node.position);
      int16_t immediate;
      uint32_t ref;
      if (SimpleRef(node, &immediate, &ref)) {
        EmitOp(kOpPop, kVMVariable, valueType, immediate);
        Emit(ref);
        Pop();
        return;
      }
      EmitOp(kOpPush, kVMInt);
      Emit(uint32_t(node.instance));
      Push(kVMInt, node.position);
      Pop();
      EmitOp(kOpPop, kVMVariable, valueType);
      Emit(VariableRef::kNoIndex | (uint32_t(node.operand) & VariableRef::kIdMask));
      Pop();
      return;
    }
    const uint32_t ref = Target(node, depth);
    At(node.position);
    EmitOp(kOpPop, kVMVariable, valueType);
    Emit(ref);
    Pop();
  }

  static uint8_t BinaryOpcode(int op) {
    switch (op) {
      case kTokAssign:
      case kTokEqual: return kOpSeq;
      case kTokLess: return kOpSlt;
      case kTokLessEqual: return kOpSle;
      case kTokNotEqual: return kOpSne;
      case kTokGreaterEqual: return kOpSge;
      case kTokGreater: return kOpSgt;
      case kTokAnd:
      case kTokBitAnd: return kOpAnd;
      case kTokOr:
      case kTokBitOr: return kOpOr;
      case kTokXor:
      case kTokBitXor: return kOpXor;
      case kTokPlus: return kOpAdd;
      case kTokMinus: return kOpSub;
      case kTokTimes: return kOpMul;
      case kTokDivide: return kOpDiv;
      case kTokDiv: return kOpRem;
      case kTokMod: return kOpMod;
      case kTokShiftLeft: return kOpShl;
      case kTokShiftRight: return kOpShr;
    }
    return 0;
  }

  void Operand(int op) {
    switch (op) {
      case kTokAnd:
      case kTokOr:
      case kTokXor: return To(kVMBool);
      case kTokPlus:
      case kTokMinus:
      case kTokTimes:
      case kTokDivide:
      case kTokDiv:
      case kTokMod:
        if (Top() == kVMBool) To(kVMInt);
        return;
      case kTokBitOr:
      case kTokBitAnd:
      case kTokBitXor:
      case kTokShiftLeft:
      case kTokShiftRight: return To(kVMInt);
    }
  }

  // The instruction of a two-operand operator over the two top items.
  void Operate(uint8_t op, int32_t position) {
    At(position);
    const uint8_t right = Pop(), left = Pop();
    EmitOp(op, right, left);
    Push(uint8_t(VM_ResultType(op, right, left)), position);
  }

  void Value(const ParseNode& node, int depth) {
    if (Failed()) return;
    if (depth > kMaxTreeDepth) return ctx_->Fail(node.position, "Code is nested too deeply.");
    switch (node.kind) {
      case kNodeConstant: return Constant(node);
      case kNodeVariable:
      case kNodeSimpleVariable: return ReadVariable(node, depth);
      case kNodeCall: return Call(node, depth);
      case kNodeUnary: {
        Value(node.children[0], depth + 1);
        if (Failed()) return;
        At(node.position);
        const uint8_t t = Top();
        const bool number = t == kVMDouble || t == kVMFloat || t == kVMInt || t == kVMLong || t == kVMVariable;
        switch (node.operand) {
          case kTokNot:
            if (number) To(kVMBool);
            EmitOp(kOpNot, Top());
            break;
          case kTokMinus: EmitOp(kOpNeg, t); break;
          case kTokBitNot:
            if (t == kVMDouble || t == kVMFloat || t == kVMVariable) To(kVMInt);
            EmitOp(kOpNot, Top());
            break;
        }
        return;
      }
      case kNodeBinary: {
        Value(node.children[0], depth + 1);
        Operand(node.operand);
        Value(node.children[1], depth + 1);
        Operand(node.operand);
        if (Failed()) return;
        return Operate(BinaryOpcode(node.operand), node.position);
      }
      default:
        // Only expressions reach here from the parser; anything else pushes 0.
        At(node.position);
        EmitOp(kOpPush, kVMImmediate, 0, 0);
        return Push(kVMInt, node.position);
    }
  }

  void Call(const ParseNode& node, int depth) {
    for (size_t i = node.children.size(); i-- > 0;) {
      Value(node.children[i], depth + 1);
      To(kVMVariable);
    }
    if (Failed()) return;
    for (size_t i = 0; i < node.children.size(); ++i) Pop();
    At(node.position);
    EmitOp(kOpCall, kVMInt, 0, int16_t(node.children.size()));
    Emit(uint32_t(node.operand));
    Push(kVMVariable, node.position);
  }

  // --- statements ---
  struct Loop {
    Label* breakLabel;     // null: break does nothing
    Label* continueLabel;  // null: continue does nothing
    std::vector<uint8_t> switchValues;  // of the switches entered since the continue label's statement
  };

  void Statement(const ParseNode& node, int depth) {
    if (Failed()) return;
    if (depth > kMaxTreeDepth) return ctx_->Fail(node.position, "Code is nested too deeply.");
    At(node.position);
    switch (node.kind) {
      case kNodeBlock:
        for (const ParseNode& s : node.children) Statement(s, depth + 1);
        return;
      case kNodeCall:
        Call(node, depth);
        EmitOp(kOpPopz, Pop());
        return;
      case kNodeAssign: return Assign(node, depth);
      case kNodeIf: {
        Label elseLabel, end;
        Value(node.children[0], depth + 1);
        To(kVMBool);
        Pop();
        Branch(kOpBf, &elseLabel);
        Statement(node.children[1], depth + 1);
        if (node.children.size() > 2) {
          Branch(kOpB, &end);
          Place(&elseLabel);
          Statement(node.children[2], depth + 1);
          Place(&end);
        } else {
          Place(&elseLabel);
        }
        return;
      }
      case kNodeWhile: {
        Label repeat, end;
        Place(&repeat);
        Value(node.children[0], depth + 1);
        To(kVMBool);
        Pop();
        Branch(kOpBf, &end);
        Body(node.children[1], depth, &end, &repeat);
        Branch(kOpB, &repeat);
        Place(&end);
        return;
      }
      case kNodeDo: {
        Label repeat, next, end;
        Place(&repeat);
        Body(node.children[0], depth, &end, &next);
        Place(&next);
        Value(node.children[1], depth + 1);
        To(kVMBool);
        Pop();
        Branch(kOpBf, &repeat);
        Place(&end);
        return;
      }
      case kNodeFor: {
        Label start, repeat, end;
        Statement(node.children[0], depth + 1);
        Place(&start);
        Value(node.children[1], depth + 1);
        To(kVMBool);
        Pop();
        Branch(kOpBf, &end);
        Body(node.children[3], depth, &end, &repeat);
        Place(&repeat);
        Statement(node.children[2], depth + 1);
        Branch(kOpB, &start);
        Place(&end);
        return;
      }
      case kNodeRepeat: {
        Label repeat, next, end;
        Value(node.children[0], depth + 1);
        To(kVMInt);
        EmitOp(kOpDup, kVMInt);
        EmitOp(kOpPush, kVMInt);
        Emit(0);
        EmitOp(kOpSle, kVMInt, kVMInt);
        Branch(kOpBt, &end);
        Place(&repeat);
        Body(node.children[1], depth, &end, &next);
        Place(&next);
        EmitOp(kOpPush, kVMInt);
        Emit(1);
        EmitOp(kOpSub, kVMInt, kVMInt);
        EmitOp(kOpDup, kVMInt);
        EmitOp(kOpConv, kVMInt, kVMBool);
        Branch(kOpBt, &repeat);
        Place(&end);
        EmitOp(kOpPopz, Pop());
        return;
      }
      case kNodeWith: {
        Label start, popEnv, end, cleanUp;
        Value(node.children[0], depth + 1);
        To(kVMInt);
        Pop();
        Push(kTypeEnv, node.position);
        Branch(kOpPushEnv, &popEnv);
        Place(&start);
        Body(node.children[1], depth, &end, &popEnv);
        Place(&popEnv);
        Branch(kOpPopEnv, &start);
        if (end.uses > 0) {
          Branch(kOpB, &cleanUp);
          Place(&end);
          Emit(kVMPopEnvExitWord);
          Place(&cleanUp);
        } else {
          Place(&end);
        }
        Pop();
        return;
      }
      case kNodeSwitch: return Switch(node, depth);
      case kNodeExit: EmitOp(kOpExit, kVMInt); return;
      case kNodeReturn:
        Value(node.children[0], depth + 1);
        To(kVMVariable);
        EmitOp(kOpRet, Pop());
        return;
      case kNodeBreak:
        if (!loops_.empty() && loops_.back().breakLabel) {
          ++loops_.back().breakLabel->uses;
          Branch(kOpB, loops_.back().breakLabel);
        }
        return;
      case kNodeContinue: {
        // The innermost loop or with; the switches between are left behind.
        for (size_t i = loops_.size(); i-- > 0;) {
          if (!loops_[i].continueLabel) continue;
          for (size_t j = i + 1; j < loops_.size(); ++j) EmitOp(kOpPopz, loops_[j].switchValues.front());
          Branch(kOpB, loops_[i].continueLabel);
          return;
        }
        return;
      }
      case kNodeGlobalVar:
        // Declared when the code is compiled, not when it runs.
        for (const ParseNode& name : node.children) GlobalVar_Declare(name.operand);
        return;
      default: return;
    }
  }

  // A loop's or with's body, with its break and continue labels.
  void Body(const ParseNode& body, int depth, Label* breakLabel, Label* continueLabel) {
    loops_.push_back({breakLabel, continueLabel, {}});
    Statement(body, depth + 1);
    loops_.pop_back();
  }

  void Assign(const ParseNode& node, int depth) {
    const ParseNode& target = node.children[0];
    const ParseNode& value = node.children[1];
    const int op = node.operand;
    if (op == kTokAssign) {
      Value(value, depth + 1);
      if (!Failed()) Store(target, depth);
      return;
    }
    ReadVariable(target, depth);
    Value(value, depth + 1);
    if (Failed()) return;
    uint8_t opcode = 0;
    switch (op) {
      case kTokPlusAssign: opcode = kOpAdd; break;
      case kTokMinusAssign: opcode = kOpSub; break;
      case kTokTimesAssign: opcode = kOpMul; break;
      case kTokDivideAssign: opcode = kOpDiv; break;
      case kTokOrAssign: opcode = kOpOr; break;
      case kTokAndAssign: opcode = kOpAnd; break;
      case kTokXorAssign: opcode = kOpXor; break;
    }
    if (opcode == kOpOr || opcode == kOpAnd || opcode == kOpXor) {
      if (Top() != kVMInt && Top() != kVMLong) To(kVMInt);
    } else if (Top() == kVMBool) {
      To(kVMInt);
    }
    Operate(opcode, node.position);
    if (!Failed()) Store(target, depth);
  }

  void Switch(const ParseNode& node, int depth) {
    Value(node.children[0], depth + 1);
    if (Failed()) return;
    const uint8_t c = Top();
    Label end;
    // A switch keeps the continue label of the loop around it.
    loops_.push_back({&end, nullptr, {c}});
    std::vector<Label> clauses(node.children.size());
    for (size_t i = 1; i < node.children.size() && !Failed(); ++i) {
      const ParseNode& s = node.children[i];
      if (s.kind == kNodeCase || s.kind == kNodeConstantCase) {
        EmitOp(kOpDup, c);
        Push(c, s.position);
        Value(s.children[0], depth + 2);
        if (Failed()) break;
        const uint8_t valueType = Pop();
        Pop();
        EmitOp(kOpSeq, valueType, c);
        Branch(kOpBt, &clauses[i]);
      } else if (s.kind == kNodeDefault) {
        Branch(kOpB, &clauses[i]);
      }
    }
    Branch(kOpB, &end);
    std::vector<size_t> waiting;
    for (size_t i = 1; i < node.children.size() && !Failed(); ++i) {
      const ParseNode& s = node.children[i];
      if (s.kind == kNodeCase || s.kind == kNodeConstantCase || s.kind == kNodeDefault) {
        waiting.push_back(i);
        continue;
      }
      for (size_t w : waiting) Place(&clauses[w]);
      waiting.clear();
      Statement(s, depth + 1);
    }
    Place(&end);
    for (size_t w : waiting) Place(&clauses[w]);
    loops_.pop_back();
    EmitOp(kOpPopz, Pop());
  }

  CompileContext* ctx_;
  std::unique_ptr<VMWriteBuffer> code_;
  std::unique_ptr<VMWriteBuffer> lines_;
  std::vector<int32_t> lineStarts_;
  int32_t position_ = -1;
  int32_t line_ = -1;        // of the last record
  int32_t lineOffset_ = -1;  // of the last record
  std::vector<uint8_t> types_;
  int bytes_ = 0;
  std::vector<Loop> loops_;
};

}  // namespace

std::unique_ptr<VMWriteBuffer> CodeGen_Program(CompileContext* context, const ParseNode& root,
                                               std::unique_ptr<VMBuffer>* lineTable) {
  if (context->failed) return nullptr;
  return CodeGen(context).Program(root, lineTable);
}

std::unique_ptr<VMWriteBuffer> CodeGen_Expression(CompileContext* context, const ParseNode& root,
                                                  std::unique_ptr<VMBuffer>* lineTable) {
  if (context->failed) return nullptr;
  return CodeGen(context).Expression(root, lineTable);
}
