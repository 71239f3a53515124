// Code for containers: a small assembler for the machine's instruction words,
// code records in a CODE chunk, and the VARI and FUNC chunks whose reference
// chains thread through the recorded variable and function operands.
//
// Instruction word, from the top bit: opcode (8 bits), type 2 (4), type 1 (4),
// immediate (16). Operand words of type 1 follow when the opcode has the 0x40
// bit. Branches keep a signed word offset from themselves in the low 24 bits.
//
// VARI and FUNC bodies are 12-byte records {name, occurrence count, container
// offset of the first occurrence}. Each occurrence's operand holds the byte
// distance to the next one (0 in the last): for VARI in the low 29 bits, the
// top 3 bits being the instruction's own VariableRef flags; for FUNC the whole
// word. Occurrences are chained in the order the code is laid out.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pack.h"

namespace twpack {

// Type codes.
enum class T : uint8_t { D = 0, F = 1, I = 2, L = 3, B = 4, V = 5, S = 6, E = 15 };

// Opcodes.
namespace op {
constexpr uint8_t kConv = 3, kMul = 4, kDiv = 5, kRem = 6, kMod = 7, kAdd = 8, kSub = 9, kAnd = 10, kOr = 11,
                  kXor = 12, kNeg = 13, kNot = 14, kShl = 15, kShr = 16, kSlt = 17, kSle = 18, kSeq = 19,
                  kSne = 20, kSge = 21, kSgt = 22, kPop = 65, kDup = 130, kRet = 157, kExit = 158, kPopz = 159,
                  kB = 183, kBt = 184, kBf = 185, kPushEnv = 187, kPopEnv = 188, kPush = 192, kCall = 218,
                  kBreak = 255;
}  // namespace op

// Instance numbers.
constexpr int32_t kSelf = -1, kOther = -2, kAll = -3, kNoone = -4, kGlobal = -5, kPlain = -6, kLocal = -7;

// The variable operand of push.v and pop.
struct Var {
  std::string name;
  // An instance number: -7 to -1, an object index, or an instance id from
  // 100000 to 132767. Ignored when on_stack.
  int32_t instance = kSelf;
  bool on_stack = false;  // the instance is popped from the stack
  bool indexed = false;   // an array index is on the stack
};

// One code record: its name and instruction stream.
class CodeRecord {
 public:
  const std::string& name() const { return name_; }
  size_t size() const { return words_.size() * 4; }  // bytes so far

  CodeRecord& PushE(int16_t v);
  CodeRecord& PushI(int32_t v);
  CodeRecord& PushB(bool v);
  CodeRecord& PushF(float v);
  CodeRecord& PushD(double v);
  CodeRecord& PushL(int64_t v);
  CodeRecord& PushS(std::string_view text);  // the operand is the text's string-pool index
  CodeRecord& PushV(const Var& v);
  // pop.v.<value>: target below the value; pop.i.<value>: value on top.
  CodeRecord& PopV(T value, const Var& v);
  CodeRecord& PopI(T value, const Var& v);
  // pop.e.<value>: the top item sinks under (immediate's low byte) × 4 bytes
  // of items, then (its high byte) × 4 bytes leave the top.
  CodeRecord& PopE(T value, int16_t immediate);
  CodeRecord& Call(std::string_view function, uint16_t argc);
  // conv and the arithmetic, logic, shift and compare ops.
  CodeRecord& Op2(uint8_t op, T t1, T t2);
  // neg, not, ret, exit, popz, dup (immediate: the extra item count).
  CodeRecord& Op1(uint8_t op, T t, int16_t immediate = 0);
  // Labels are names local to the record; a branch may come before its label.
  CodeRecord& Place(std::string_view label);
  CodeRecord& Branch(uint8_t op, std::string_view label);
  CodeRecord& PopEnvExit();
  CodeRecord& Break(int16_t immediate);  // 0 breakpoint, -1 array index check
  // Any instruction word with its operand words, unchecked (for damaged code).
  CodeRecord& Raw(uint32_t word, std::initializer_list<uint32_t> operands = {});

  // One line of the text description: mnemonic ("push.v", "add.i.d", "b",
  // "word", ...) and its arguments, each with whether it was quoted.
  struct Arg {
    std::string text;
    bool quoted = false;
  };
  CodeRecord& Assemble(std::string_view mnemonic, const std::vector<Arg>& args);

 private:
  friend class CodeSet;
  CodeRecord(Writer* w, std::string name) : w_(w), name_(std::move(name)) {}
  CodeRecord& Emit(uint32_t word, std::initializer_list<uint32_t> operands);
  CodeRecord& Variable(uint8_t op, T t1, T t2, const Var& v);

  struct Use {
    size_t word;  // index of the instruction word
    std::string name;
  };
  Writer* w_;
  std::string name_;
  std::vector<uint32_t> words_;
  std::vector<Use> vars_, funcs_;
  std::map<std::string, size_t, std::less<>> labels_;  // name -> word index
  std::vector<std::pair<size_t, std::string>> branches_;
};

// The code of a container. Place the chunks where they belong, add records,
// then call Finish() once before Writer::Build().
class CodeSet {
 public:
  explicit CodeSet(Writer& w) : w_(w) {}
  CodeSet(const CodeSet&) = delete;
  CodeSet& operator=(const CodeSet&) = delete;

  CodeRecord& AddRecord(std::string_view name);
  void AddEmptySlot();  // an entry 0 in the CODE list
  size_t RecordCount() const { return slots_.size(); }

  // Each adds its chunk at the current end of the container.
  void PlaceCode();
  void PlaceVari();  // one record per variable name, in order of first use
  void PlaceFunc();  // one record per function name, in order of first use
  bool CodePlaced() const { return code_ != nullptr; }

  // Lays out the records and writes the bodies of the placed chunks.
  void Finish();

 private:
  Writer& w_;
  std::vector<std::unique_ptr<CodeRecord>> slots_;  // null: an empty slot
  ChunkBuilder* code_ = nullptr;
  ChunkBuilder* vari_ = nullptr;
  ChunkBuilder* func_ = nullptr;
  bool finished_ = false;
};

}  // namespace twpack
