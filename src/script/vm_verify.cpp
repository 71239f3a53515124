#include "script/vm_verify.h"

#include <cstdarg>
#include <cstdio>

#include "script/bytecode.h"
#include "script/vm.h"

namespace {

VMItem ItemOf(int type) {
  switch (type) {
    case kVMDouble:
    case kVMLong: return VMItem::kNum8;
    case kVMVariable: return VMItem::kValue;
    case kVMString: return VMItem::kString;
    default: return VMItem::kNum4;
  }
}

// Bytes of the item in the stream's own units, as raw stack moves count.
int StreamBytes(VMItem item) {
  switch (item) {
    case VMItem::kNum8: return 8;
    case VMItem::kValue: return 16;
    default: return 4;
  }
}

const char* ItemName(VMItem item) {
  switch (item) {
    case VMItem::kNum4: return "a 4-byte number";
    case VMItem::kNum8: return "an 8-byte number";
    case VMItem::kValue: return "a value";
    case VMItem::kString: return "a string";
    case VMItem::kEnv: return "a with-environment";
  }
  return "?";
}

bool IsType(int type) { return type >= kVMDouble && type <= kVMString; }

struct Failure {
  std::string text;
};

}  // namespace

class VMVerifier {
 public:
  VMVerifier(const VMBuffer& code, int64_t strings) : code_(code), strings_(strings) {}

  std::shared_ptr<const VMCodeInfo> Run(std::string* why) {
    auto info = std::make_shared<VMCodeInfo>();
    info_ = info.get();
    try {
      Check();
    } catch (const Failure& f) {
      if (why) *why = f.text;
      return nullptr;
    }
    return info;
  }

 private:
  [[noreturn, gnu::format(printf, 2, 3)]] void Fail(const char* format, ...) {
    char text[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    char where[96];
    if (pc_ < 0) {
      where[0] = '\0';
    } else {
      std::snprintf(where, sizeof where, "the %s instruction at +0x%X ",
                    VM_InstructionName(code_.WordAt(uint32_t(pc_))).c_str(), unsigned(pc_));
    }
    throw Failure{std::string(where) + text};
  }

  uint32_t Push(uint32_t below, VMItem item) {
    const uint64_t key = uint64_t(below) << 3 | uint64_t(item);
    auto [it, added] = interned_.emplace(key, uint32_t(info_->nodes_.size()));
    if (added) {
      const int32_t bytes = depth_[below] + VM_ItemBytes(item);
      if (bytes > kVMMaxCodeStack) Fail("takes the stack beyond %d bytes", kVMMaxCodeStack);
      info_->nodes_.push_back({item, below});
      depth_.push_back(bytes);
      if (bytes > info_->maxStack_) info_->maxStack_ = bytes;
    }
    return it->second;
  }

  VMItem Top(uint32_t stack, const char* what) {
    if (stack == VMCodeInfo::kEmpty) Fail("needs %s on the stack, which is empty", what);
    return info_->nodes_[stack].item;
  }

  uint32_t Pop(uint32_t stack, VMItem want) {
    const VMItem have = Top(stack, ItemName(want));
    if (have != want) Fail("needs %s on the stack, but finds %s", ItemName(want), ItemName(have));
    return info_->nodes_[stack].below;
  }

  void Reach(int64_t target, uint32_t stack) {
    if (target < 0 || target > size_ || (target < size_ && !start_[size_t(target) >> 2])) {
      Fail("leads to %s0x%llX, which is not an instruction of the code", target < 0 ? "-" : "+",
           static_cast<unsigned long long>(target < 0 ? -target : target));
    }
    uint32_t& at = info_->stackAt_[size_t(target) >> 2];
    if (at == VMCodeInfo::kNone) {
      at = stack;
      work_.push_back(int32_t(target));
    } else if (at != stack) {
      Fail("reaches +0x%llX with a stack unlike the one another path brings there",
           static_cast<long long>(target));
    }
  }

  // The top items that make up `streamBytes` of the stream's units; none may own memory.
  std::vector<VMItem> RawBlock(uint32_t stack, int streamBytes, uint32_t* rest, int32_t* slotBytes, bool plainOnly) {
    std::vector<VMItem> items;
    int counted = 0;
    *slotBytes = 0;
    while (counted < streamBytes) {
      if (stack == VMCodeInfo::kEmpty) Fail("moves %d bytes of a stack that holds fewer", streamBytes);
      const VMItem item = info_->nodes_[stack].item;
      if (item == VMItem::kEnv || (plainOnly && item != VMItem::kNum4 && item != VMItem::kNum8)) {
        Fail("moves %s as raw bytes", ItemName(item));
      }
      items.push_back(item);
      counted += StreamBytes(item);
      *slotBytes += VM_ItemBytes(item);
      stack = info_->nodes_[stack].below;
    }
    if (counted != streamBytes) Fail("moves %d bytes, which splits an item on the stack", streamBytes);
    *rest = stack;
    return items;
  }

  void Check() {
    size_ = code_.Size();
    if (size_ % 4) Fail("code of %d bytes is not a whole number of words", size_);
    start_.assign(size_t(size_) / 4 + 1, false);
    info_->stackAt_.assign(size_t(size_) / 4 + 1, VMCodeInfo::kNone);
    info_->nodes_.push_back({VMItem::kNum4, VMCodeInfo::kEmpty});  // the empty stack
    depth_.push_back(0);

    // Instruction boundaries, operand room and type codes.
    for (pc_ = 0; pc_ < size_;) {
      const uint32_t word = code_.WordAt(uint32_t(pc_));
      const uint32_t length = VM_InstructionLength(word);
      if (uint32_t(size_ - pc_) < length) Fail("needs %u bytes, but the code ends %d bytes later", length, size_ - pc_);
      CheckForm(word);
      start_[size_t(pc_) >> 2] = true;
      pc_ += int32_t(length);
    }
    pc_ = -1;
    if (size_ > 0) Reach(0, VMCodeInfo::kEmpty);
    else info_->stackAt_[0] = VMCodeInfo::kEmpty;
    while (!work_.empty()) {
      pc_ = work_.back();
      work_.pop_back();
      if (pc_ < size_) Step(info_->stackAt_[size_t(pc_) >> 2]);
    }
  }

  void CheckForm(uint32_t word) {
    const uint8_t op = VM_Opcode(word), t1 = VM_Type1(word), t2 = VM_Type2(word);
    if (op <= 2) return;
    if (op >= kOpConv && op <= kOpSgt && op != kOpNeg && op != kOpNot) {
      if (!IsType(t1) || !IsType(t2)) Fail("names a type code that is no type");
      return;
    }
    switch (op) {
      case kOpNeg:
      case kOpNot:
      case kOpRet:
      case kOpPopz:
      case kOpExit: return;  // a type code that names no type makes them touch nothing
      case kOpDup:
        if (uint16_t(VM_Immediate(word)) + 1 > kVMMaxDupCount) {
          Fail("duplicates %d items; at most %d are allowed", uint16_t(VM_Immediate(word)) + 1, kVMMaxDupCount);
        }
        return;
      case kOpPush:
        if (!IsType(t1) && t1 != kVMImmediate) Fail("names a type code that is no type");
        if (t1 == kVMString && strings_ >= 0 && code_.WordAt(uint32_t(pc_) + 4) >= strings_) {
          Fail("names string %u, but there are only %lld strings", code_.WordAt(uint32_t(pc_) + 4),
               static_cast<long long>(strings_));
        }
        return;
      case kOpPop:
        if (t1 != kVMVariable && t1 != kVMInt && t1 != kVMImmediate) Fail("stores through a form that is no variable");
        if (!IsType(t2)) Fail("names a type code that is no type");
        return;
      case kOpCall:
        if (t1 != kVMInt) Fail("is a call whose first type is not .i");
        if (uint16_t(VM_Immediate(word)) > kVMMaxArguments) {
          Fail("passes %u arguments; at most %d are allowed", uint16_t(VM_Immediate(word)), kVMMaxArguments);
        }
        return;
      case kOpB:
      case kOpBt:
      case kOpBf:
      case kOpPushEnv:
      case kOpPopEnv:
      case kOpBreak: return;
      default: Fail("has an opcode the machine does not know");
    }
  }

  void Step(uint32_t s) {
    const uint32_t word = code_.WordAt(uint32_t(pc_));
    const uint8_t op = VM_Opcode(word), t1 = VM_Type1(word), t2 = VM_Type2(word);
    const int32_t next = pc_ + int32_t(VM_InstructionLength(word));
    const int64_t target = int64_t(pc_) + 4 * int64_t(VM_BranchOffset(word));
    if (op <= 2) return Reach(next, s);
    if (op >= kOpConv && op <= kOpSgt) {
      if (op == kOpNeg || op == kOpNot) {
        if (IsType(t1)) Pop(s, ItemOf(t1));
        return Reach(next, s);
      }
      if (op == kOpConv) return Reach(next, Push(Pop(s, ItemOf(t1)), ItemOf(t2)));
      s = Pop(Pop(s, ItemOf(t1)), ItemOf(t2));
      return Reach(next, Push(s, ItemOf(VM_ResultType(op, t1, t2))));
    }
    switch (op) {
      case kOpPush: {
        if (t1 == kVMImmediate) return Reach(next, Push(s, VMItem::kNum4));
        if (t1 == kVMVariable) {
          const VariableRef ref{code_.WordAt(uint32_t(pc_) + 4)};
          if (ref.Indexed()) s = Pop(s, VMItem::kNum4);
          if (!ref.InstanceFromImmediate()) s = Pop(s, VMItem::kNum4);
          return Reach(next, Push(s, VMItem::kValue));
        }
        return Reach(next, Push(s, ItemOf(t1)));
      }
      case kOpPop: {
        if (t1 == kVMImmediate) return Reach(next, StackMove(s, word));
        const VariableRef ref{code_.WordAt(uint32_t(pc_) + 4)};
        if (t1 == kVMInt) s = Pop(s, ItemOf(t2));
        if (ref.Indexed()) s = Pop(s, VMItem::kNum4);
        if (!ref.InstanceFromImmediate()) s = Pop(s, VMItem::kNum4);
        if (t1 == kVMVariable) s = Pop(s, ItemOf(t2));
        return Reach(next, s);
      }
      case kOpPopz: return Reach(next, IsType(t1) ? Pop(s, ItemOf(t1)) : s);
      case kOpDup: return Reach(next, Dup(s, t1, uint16_t(VM_Immediate(word)) + 1));
      case kOpRet:
        if (IsType(t1)) Pop(s, ItemOf(t1));
        return;
      case kOpExit: return;
      case kOpCall: {
        for (int i = 0; i < uint16_t(VM_Immediate(word)); ++i) s = Pop(s, VMItem::kValue);
        return Reach(next, Push(s, VMItem::kValue));
      }
      case kOpB: return Reach(target, s);
      case kOpBt:
      case kOpBf:
        s = Pop(s, VMItem::kNum4);
        Reach(target, s);
        return Reach(next, s);
      case kOpPushEnv:
        s = Push(Pop(s, VMItem::kNum4), VMItem::kEnv);
        Reach(target, s);
        return Reach(next, s);
      case kOpPopEnv:
        if (((word >> 16) & 0xFF) == 0xF0) return Reach(next, Pop(s, VMItem::kEnv));
        Reach(target, s);
        Pop(s, VMItem::kEnv);
        return Reach(next, info_->nodes_[s].below);
      case kOpBreak:
        if (VM_Immediate(word) == -1) Pop(s, VMItem::kNum4);  // looks at the index, keeps it
        return Reach(next, s);
    }
    Fail("has an opcode the machine does not know");
  }

  uint32_t Dup(uint32_t s, int type, int count) {
    if (!IsType(type)) {
      info_->moves_[pc_] = {0, 0};
      return s;
    }
    if (type == kVMVariable || type == kVMString) {
      const VMItem item = Top(s, ItemName(ItemOf(type)));
      if (item != ItemOf(type)) Pop(s, ItemOf(type));
      for (int i = 0; i < count; ++i) s = Push(s, item);
      return s;
    }
    uint32_t rest;
    int32_t slotBytes;
    const int unit = (type == kVMDouble || type == kVMLong) ? 8 : 4;
    std::vector<VMItem> items = RawBlock(s, unit * count, &rest, &slotBytes, true);
    info_->moves_[pc_] = {slotBytes, 0};
    for (size_t i = items.size(); i-- > 0;) s = Push(s, items[i]);
    return s;
  }

  // The top item sinks under `depth` stream bytes of items; then `drop`
  // bytes of plain numbers leave the top.
  uint32_t StackMove(uint32_t s, uint32_t word) {
    const VMItem moved = Top(s, "an item");
    if (moved != ItemOf(VM_Type2(word))) Pop(s, ItemOf(VM_Type2(word)));
    s = info_->nodes_[s].below;
    const int depth = int8_t(word & 0xFF) * 4, drop = int8_t((word >> 8) & 0xFF) * 4;
    if (depth < 0 || drop < 0) Fail("moves the stack by a negative amount");
    uint32_t rest;
    int32_t depthBytes, dropBytes = 0;
    std::vector<VMItem> over = RawBlock(s, depth, &rest, &depthBytes, false);
    s = Push(rest, moved);
    for (size_t i = over.size(); i-- > 0;) s = Push(s, over[i]);
    if (drop > 0) RawBlock(s, drop, &s, &dropBytes, true);
    info_->moves_[pc_] = {depthBytes, dropBytes};
    return s;
  }

  const VMBuffer& code_;
  int64_t strings_;
  VMCodeInfo* info_ = nullptr;
  int32_t size_ = 0;
  int32_t pc_ = -1;
  std::vector<bool> start_;
  std::vector<int32_t> depth_;
  std::vector<int32_t> work_;
  std::unordered_map<uint64_t, uint32_t> interned_;
};

std::shared_ptr<const VMCodeInfo> VM_Verify(const VMBuffer& code, std::string* why, int64_t stringCount) {
  return VMVerifier(code, stringCount).Run(why);
}
