#include "script/bytecode.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

const char* VM_TypeSuffix(int type) {
  static const char* const kSuffixes[] = {".d", ".f", ".i", ".l", ".b", ".v", ".s"};
  if (type >= 0 && type <= kVMString) return kSuffixes[type];
  return type == kVMImmediate ? ".e" : nullptr;
}

const char* VM_OpcodeName(uint8_t op) {
  static const char* const kArithmetic[] = {"conv", "mul", "div", "rem", "mod", "add", "sub", "and", "or", "xor",
                                            "neg",  "not", "shl", "shr", "slt", "sle", "seq", "sne", "sge", "sgt"};
  if (op >= kOpConv && op <= kOpSgt) return kArithmetic[op - kOpConv];
  switch (op) {
    case kOpPop: return "pop";
    case kOpDup: return "dup";
    case kOpRet: return "ret";
    case kOpExit: return "exit";
    case kOpPopz: return "popz";
    case kOpB: return "b";
    case kOpBt: return "bt";
    case kOpBf: return "bf";
    case kOpPushEnv: return "pushenv";
    case kOpPopEnv: return "popenv";
    case kOpPush: return "push";
    case kOpCall: return "call";
    case kOpBreak: return "break";
    default: return nullptr;
  }
}

std::string VM_InstructionName(uint32_t word) {
  const uint8_t op = VM_Opcode(word);
  const char* name = VM_OpcodeName(op);
  if (!name) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "op 0x%02X", op);
    return buf;
  }
  std::string out = name;
  if (VM_IsBranch(op) || op == kOpBreak) return out;
  auto suffix = [&](int type) {
    const char* s = VM_TypeSuffix(type);
    out += s ? s : "." + std::to_string(type);
  };
  suffix(VM_Type1(word));
  if (!(op & kOpClassOneType)) suffix(VM_Type2(word));
  return out;
}

// ---- VMBuffer ----------------------------------------------------------------

VMBuffer::VMBuffer(std::span<const uint8_t> bytes) {
  if (bytes.size() > size_t(std::numeric_limits<int32_t>::max())) throw std::length_error("code larger than 2 GB");
  size_ = int32_t(bytes.size());
  data_.reset(new uint8_t[bytes.size()]);
  if (!bytes.empty()) std::memcpy(data_.get(), bytes.data(), bytes.size());
}

VMBuffer::~VMBuffer() = default;

uint32_t VMBuffer::WordAt(uint32_t offset) const {
  uint32_t w;
  std::memcpy(&w, data_.get() + offset, 4);
  return w;  // little-endian host
}

void VMBuffer::SetWordAt(uint32_t offset, uint32_t word) { std::memcpy(data_.get() + offset, &word, 4); }

// ---- VMWriteBuffer -------------------------------------------------------------

VMWriteBuffer::VMWriteBuffer(int32_t capacity) {
  if (capacity < 0) throw std::length_error("negative bytecode capacity");
  size_ = capacity;
  data_.reset(new uint8_t[size_t(capacity)]);
}

int32_t VMWriteBuffer::Reserve(int32_t bytes) {
  if (bytes < 0) throw std::length_error("negative bytecode reservation");
  if (int64_t(size_) - written_ >= bytes) return size_;
  // Doubling from an empty buffer would never grow, so start from one word.
  int64_t capacity = size_ > 0 ? size_ : 4;
  while (capacity - written_ < bytes) capacity *= 2;
  if (capacity > std::numeric_limits<int32_t>::max()) throw std::length_error("bytecode larger than 2 GB");
  std::unique_ptr<uint8_t[]> grown(new uint8_t[size_t(capacity)]);
  if (written_ > 0) std::memcpy(grown.get(), data_.get(), size_t(written_));
  data_ = std::move(grown);
  size_ = int32_t(capacity);
  return size_;
}

void VMWriteBuffer::Append(std::initializer_list<uint32_t> words) {
  Reserve(int32_t(words.size() * 4));
  for (uint32_t w : words) {
    SetWordAt(uint32_t(written_), w);
    written_ += 4;
  }
}

void VMWriteBuffer::AppendDouble(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  Append({uint32_t(bits), uint32_t(bits >> 32)});
}

void VMWriteBuffer::AppendFloat(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  Append({bits});
}

void VMWriteBuffer::AppendInt32(int32_t v) { Append({uint32_t(v)}); }

void VMWriteBuffer::AppendInt64(int64_t v) { Append({uint32_t(uint64_t(v)), uint32_t(uint64_t(v) >> 32)}); }

void VMWriteBuffer::AppendBool(int32_t v) { Append({(v & 0xFF) ? 1u : 0u}); }

int32_t VMWriteBuffer::AppendBranch(uint8_t op, int32_t target) {
  const int32_t at = written_;
  Append({VM_BranchWord(op, (target - at) / 4)});
  return at;
}

void VMWriteBuffer::PatchBranch(int32_t branchAddress, int32_t labelAddress) {
  if (branchAddress < 0 || branchAddress > written_ - 4) throw std::out_of_range("branch patch outside the code");
  const uint32_t old = WordAt(uint32_t(branchAddress));
  SetWordAt(uint32_t(branchAddress), VM_BranchWord(VM_Opcode(old), (labelAddress - branchAddress) / 4));
}
