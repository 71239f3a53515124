#include "core/code_chunks.h"

#include <gtest/gtest.h>

#include "unit/container_bytes.h"

#include <cstring>
#include <functional>
#include <memory>

#include "code.h"
#include "core/game_info.h"
#include "runner/load_game.h"
#include "pack.h"
#include "script/bytecode.h"
#include "unit/world_reset.h"
#include "script/function_registry.h"
#include "script/variable_names.h"

namespace {

using Bytes = std::vector<uint8_t>;
using twpack::T;

constexpr const char* kFn = "tw_code_test_fn";

using testbytes::Body;
using testbytes::Put32;
using testbytes::Rd32;

// Container offset of code record n and of its instruction stream.
size_t Record(const Bytes& b, int n) { return Rd32(b, Body(b, "CODE") + 4 + 4 * size_t(n)); }
size_t Stream(const Bytes& b, int n) { return Record(b, n) + 8; }

// Two records and the slots around them:
//   0 "first"   push.v self.a / push.e 1 / add.i.v / push.e 0 /
//               pop.v.v global.a[] / push.s "hello" / conv.s.v /
//               call.i fn 1 / popz.v / push.e 3 / push.v stack.b /
//               pop.i.v 100003.a
//   1           (empty slot)
//   2 "second"  push.v other.b / call.i fn 0 / popz.v / push.d 2.5
//   3 "empty"   no code
// Word offsets in "first": a at 0, 20, 64; b at 56; the call at 40, the string
// operand at 32. In "second": b at 0, the call at 8.
Bytes Program(const std::string& fn = kFn) {
  twpack::Writer w;
  twpack::AddGen8(w, twpack::Gen8{});
  twpack::CodeSet code(w);
  code.PlaceCode();
  code.AddRecord("first")
      .PushV({"a", twpack::kSelf})
      .PushE(1)
      .Op2(twpack::op::kAdd, T::I, T::V)
      .PushE(0)
      .PopV(T::V, {"a", twpack::kGlobal, false, true})
      .PushS("hello")
      .Op2(twpack::op::kConv, T::S, T::V)
      .Call(fn, 1)
      .Op1(twpack::op::kPopz, T::V)
      .PushE(3)
      .PushV({"b", 0, true})
      .PopI(T::V, {"a", 100003});
  code.AddEmptySlot();
  code.AddRecord("second").PushV({"b", twpack::kOther}).Call(fn, 0).Op1(twpack::op::kPopz, T::V).PushD(2.5);
  code.AddRecord("empty");
  code.PlaceVari();
  code.PlaceFunc();
  w.PlaceStringPool();
  code.Finish();
  return w.Build();
}

class CodeChunks : public ObjectWorldTest {
 protected:
  void SetUp() override {
    ObjectWorldTest::SetUp();
    FunctionRegistry_Add("tw_code_test_other", nullptr, 0);
    FunctionRegistry_Add(kFn, nullptr, kAnyArgCount);
  }

  // The code steps of both passes, in chunk order, as the walk runs them.
  void Load(Bytes bytes) {
    file_ = std::make_unique<GameDataFile>(std::move(bytes));
    for (const ChunkRef& c : file_->Chunks()) {
      if (c.length == 0) continue;
      ChunkBody body(*file_, c);
      if (!std::memcmp(c.tag, "CODE", 4)) Code_Load(body);
      if (!std::memcmp(c.tag, "STRG", 4)) Strings_Load(body);
      if (!std::memcmp(c.tag, "VARI", 4)) VARI_Load(body);
    }
    for (const ChunkRef& c : file_->Chunks()) {
      if (c.length == 0) continue;
      ChunkBody body(*file_, c);
      if (!std::memcmp(c.tag, "CODE", 4)) Code_PatchAllStrings(body);
      if (!std::memcmp(c.tag, "FUNC", 4)) FUNC_Load(body);
    }
  }

  std::string LoadError(Bytes bytes) {
    try {
      Load(std::move(bytes));
    } catch (const DataError& e) {
      return e.what();
    }
    return "(loaded)";
  }

  static uint32_t Operand(int record, uint32_t instruction) {
    return Code_GetRecord(record)->code->WordAt(instruction + 4);
  }

  std::unique_ptr<GameDataFile> file_;
};

TEST_F(CodeChunks, ChainsBindEveryOccurrenceInTheCopiesAndLeaveTheContainerAlone) {
  const Bytes original = Program();
  Load(original);

  const int a = VariableName_Lookup("a"), b = VariableName_Lookup("b");
  const int fn = FunctionRegistry_Find(kFn);
  ASSERT_GE(a, kFirstUserVariableId);
  ASSERT_GE(b, kFirstUserVariableId);
  ASSERT_EQ(fn, 1);

  struct Case {
    int record;
    uint32_t at;
    uint32_t expect;
  };
  // The top 3 bits are each instruction's own: no index, instance from the
  // immediate, instance id.
  const Case cases[] = {
      {0, 0, 0xA0000000u | uint32_t(a)},   // self.a
      {0, 20, 0x20000000u | uint32_t(a)},  // global.a[]
      {0, 56, 0x80000000u | uint32_t(b)},  // stack.b
      {0, 64, 0xE0000000u | uint32_t(a)},  // 100003.a
      {2, 0, 0xA0000000u | uint32_t(b)},   // other.b
      {0, 40, uint32_t(fn)},
      {2, 8, uint32_t(fn)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "record " << c.record << " +" << c.at);
    EXPECT_EQ(Operand(c.record, c.at), c.expect);
  }

  // Every other byte of the copies is the container's.
  for (int r : {0, 2, 3}) {
    const CodeRecord* rec = Code_GetRecord(r);
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(size_t(rec->code->Size()), Rd32(original, Record(original, r) + 4));
    for (uint32_t at = 0; at < uint32_t(rec->code->Size()); at += 4) {
      bool bound = false;
      for (const Case& c : cases) bound |= c.record == r && c.at + 4 == at;
      if (!bound) {
        EXPECT_EQ(rec->code->WordAt(at), Rd32(original, Stream(original, r) + at)) << r << " +" << at;
      }
    }
  }
  EXPECT_EQ(Strings_Get(Operand(0, 28)), "hello") << "the string operand stays its index";
  EXPECT_EQ(Code_GetRecord(0)->name, "first");
  EXPECT_EQ(Code_GetRecord(2)->name, "second");
  EXPECT_EQ(Code_GetRecord(3)->code->Size(), 0);
  EXPECT_EQ(Code_Count(), 4u);
  EXPECT_EQ(Code_GetRecord(1), nullptr);
  EXPECT_EQ(Code_GetRecord(4), nullptr);
  EXPECT_EQ(Code_GetRecord(-1), nullptr);

  ASSERT_EQ(file_->Size(), original.size());
  EXPECT_EQ(std::memcmp(file_->Data(), original.data(), original.size()), 0) << "the container was written to";
}

TEST_F(CodeChunks, EntriesNamingOneRecordAreBoundAlike) {
  Bytes bytes = Program();
  // Slot 3 names the record of slot 0.
  Put32(bytes, Body(bytes, "CODE") + 4 + 4 * 3, uint32_t(Record(bytes, 0)));
  Load(bytes);
  const VMBuffer& one = *Code_GetRecord(0)->code;
  const VMBuffer& other = *Code_GetRecord(3)->code;
  ASSERT_EQ(one.Size(), other.Size());
  EXPECT_EQ(std::memcmp(one.Data(), other.Data(), size_t(one.Size())), 0);
  EXPECT_EQ(other.WordAt(4), 0xA0000000u | uint32_t(VariableName_Lookup("a")));
  EXPECT_EQ(other.WordAt(44), uint32_t(FunctionRegistry_Find(kFn)));
}

TEST_F(CodeChunks, AReferenceWithoutOccurrencesWalksNothing) {
  Bytes bytes = Program();
  const size_t func = Body(bytes, "FUNC");
  Put32(bytes, func + 4, 0);
  Put32(bytes, func + 8, 0xFFFFFFFFu);
  Load(bytes);
  // The calls keep the distances they were written with.
  EXPECT_EQ(Operand(0, 40), Rd32(bytes, Stream(bytes, 0) + 44));
  EXPECT_EQ(Operand(2, 8), Rd32(bytes, Stream(bytes, 2) + 12));
}

TEST_F(CodeChunks, DamagedCodeAndChainsAreRefusedWithTheirPlace) {
  const Bytes good = Program();
  const size_t vari = Body(good, "VARI"), func = Body(good, "FUNC");
  const size_t s0 = Stream(good, 0), rec0 = Record(good, 0);
  const uint32_t len0 = Rd32(good, rec0 + 4);
  // The operand of the instruction at s0 + at, its flag bits kept.
  auto distance = [&](Bytes& b, size_t at, int32_t d) {
    Put32(b, s0 + at + 4, (Rd32(b, s0 + at + 4) & 0xE0000000u) | (uint32_t(d) & 0x1FFFFFFFu));
  };
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    std::vector<std::string> expect;  // all in the message
  };
  const Case cases[] = {
      {"first offset outside the container", [&](Bytes& b) { Put32(b, vari + 8, 0xFFFFFFF0u); },
       {"VARI entry 0 \"a\"", "occurrence 1 of 3", "outside every CODE record"}},
      {"first offset in another chunk", [&](Bytes& b) { Put32(b, vari + 8, 8); }, {"VARI", "\"a\"", "outside"}},
      {"first offset on an operand word", [&](Bytes& b) { Put32(b, vari + 8, uint32_t(s0 + 4)); },
       {"VARI", "\"a\"", "between two instructions of CODE record 0 \"first\""}},
      {"first offset not word aligned", [&](Bytes& b) { Put32(b, vari + 8, uint32_t(s0 + 2)); },
       {"VARI", "between two instructions"}},
      {"first offset on a constant push", [&](Bytes& b) { Put32(b, vari + 8, uint32_t(s0 + 8)); },
       {"VARI", "\"a\"", "is a push.e instruction"}},
      {"first offset on a call", [&](Bytes& b) { Put32(b, vari + 8, uint32_t(s0 + 40)); },
       {"VARI", "is a call.i instruction"}},
      {"distance 0 before the last occurrence", [&](Bytes& b) { distance(b, 0, 0); },
       {"VARI entry 0 \"a\"", "occurrence 2 of 3", "the chain loops"}},
      {"distance back to an earlier occurrence", [&](Bytes& b) { distance(b, 20, -20); },
       {"occurrence 3 of 3", "the chain loops"}},
      {"more occurrences than the chain has", [&](Bytes& b) { Put32(b, vari + 4, 4); },
       {"occurrence 4 of 4", "the chain loops"}},
      {"distance out of the code", [&](Bytes& b) { distance(b, 0, 0x0FFFFFFF); }, {"occurrence 2 of 3", "outside"}},
      {"distance out of the container's start", [&](Bytes& b) { distance(b, 0, -0x10000000); },
       {"occurrence 2 of 3", "outside"}},
      {"chain running into another name's occurrences", [&](Bytes& b) { distance(b, 20, 36); },
       {"VARI entry 1 \"b\"", "already belongs to the chain of \"a\""}},
      {"variable name outside the container", [&](Bytes& b) { Put32(b, vari, 0xFFFFFF00u); },
       {"VARI entry 0", "string reference"}},
      {"call chain on a variable push", [&](Bytes& b) { Put32(b, func + 8, uint32_t(s0)); },
       {"FUNC entry 0 \"tw_code_test_fn\"", "is a push.v instruction, not a call.i"}},
      {"call chain looping", [&](Bytes& b) { Put32(b, s0 + 44, 0); }, {"FUNC", "the chain loops"}},
      {"more calls than the chain has", [&](Bytes& b) { Put32(b, func + 4, 3); }, {"FUNC", "occurrence 3 of 3"}},
      {"call distance out of the container", [&](Bytes& b) { Put32(b, s0 + 44, 0x7FFFFFF0u); },
       {"FUNC", "occurrence 2 of 2", "outside"}},
      {"string operand past the table", [&](Bytes& b) { Put32(b, s0 + 32, 9999); },
       {"CODE record 0 \"first\"", "push.s", "names string 9999"}},
      {"record longer than the container", [&](Bytes& b) { Put32(b, rec0 + 4, 0x7FFFFFF0u); },
       {"CODE record 0 \"first\"", "run past the end of the container"}},
      {"record length wrapping", [&](Bytes& b) { Put32(b, rec0 + 4, 0xFFFFFFFCu); }, {"run past the end"}},
      {"record length not whole words", [&](Bytes& b) { Put32(b, rec0 + 4, len0 - 2); },
       {"CODE record 0", "not a whole number of instruction words"}},
      {"operand cut off by the record's end", [&](Bytes& b) { Put32(b, rec0 + 4, 4); },
       {"CODE record 0 \"first\"", "push.v instruction at +0x0 needs 8 bytes"}},
      {"records overlapping", [&](Bytes& b) { Put32(b, rec0 + 4, len0 + 12); },
       {"CODE record 0 \"first\" and CODE record 2 \"second\" overlap"}},
      {"record name outside the container", [&](Bytes& b) { Put32(b, rec0, 0xFFFFFFF0u); },
       {"CODE record 0", "string reference"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bad = good;
    c.damage(bad);
    const std::string error = LoadError(bad);
    for (const std::string& part : c.expect) EXPECT_NE(error.find(part), std::string::npos) << error;
  }
}

TEST_F(CodeChunks, ARefusedCodeChunkLeavesNoTable) {
  Load(Program());
  ASSERT_EQ(Code_Count(), 4u);
  Bytes bad = Program();
  // The last record's operand runs past its end, after the others were read.
  Put32(bad, Record(bad, 2) + 4, 4 * 6);
  EXPECT_NE(LoadError(bad).find("CODE record 2 \"second\": the push.d instruction"), std::string::npos);
  EXPECT_EQ(Code_Count(), 0u);
  EXPECT_EQ(Code_GetRecord(0), nullptr);
}

TEST_F(CodeChunks, AnUnknownFunctionGivesTheLoadErrorText) {
  EXPECT_EQ(LoadError(Program("tw_no_such_function")),
            "Error on load\nUnable to find function tw_no_such_function\n");
  // Like the display's buffer, the text stops at 1,023 bytes.
  const std::string longName(2000, 'x');
  const std::string error = LoadError(Program(longName));
  EXPECT_EQ(error.size(), 1023u);
  EXPECT_EQ(error, ("Error on load\nUnable to find function " + longName).substr(0, 1023));
}

TEST_F(CodeChunks, VariablesNeedTheCodeBeforeThem) {
  twpack::Writer w;
  twpack::CodeSet code(w);
  code.AddRecord("r").PushV({"a"});
  code.PlaceVari();
  code.PlaceCode();
  code.Finish();
  Code_Clear();
  EXPECT_NE(LoadError(w.Build()).find("VARI entry 0 \"a\": occurrence 1 of 1"), std::string::npos);
}

TEST_F(CodeChunks, TheChunkWalkLoadsGoodCodeAndRefusesADamagedCall) {
  auto walk = [](const Bytes& bytes) {
    GameDataFile file(bytes);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    bool ok;
    try {
      GameData_LoadHeader(file);
      ok = GameData_ProcessChunks(file);
    } catch (const DataError&) {
      ok = false;
    }
    testing::internal::GetCapturedStdout();
    return std::pair{ok, testing::internal::GetCapturedStderr()};
  };
  Bytes bytes = Program();
  EXPECT_TRUE(walk(bytes).first);
  Put32(bytes, Body(bytes, "FUNC") + 8, uint32_t(Stream(bytes, 0)));
  auto [ok, stderrText] = walk(bytes);
  EXPECT_FALSE(ok);
  EXPECT_NE(stderrText.find("FUNC entry 0"), std::string::npos) << stderrText;
}

// ---- Instruction words and buffers -------------------------------------------------

TEST(Bytecode, InstructionLengthsFollowTheFirstType) {
  struct Case {
    uint32_t word;
    uint32_t length;
    const char* name;
  };
  const Case cases[] = {
      {VM_Word(kOpPush, kVMDouble, 0, 0), 12, "push.d"},
      {VM_Word(kOpPush, kVMLong, 0, 0), 12, "push.l"},
      {VM_Word(kOpPush, kVMFloat, 0, 0), 8, "push.f"},
      {VM_Word(kOpPush, kVMString, 0, 0), 8, "push.s"},
      {VM_Word(kOpPush, kVMVariable, 0, 0), 8, "push.v"},
      {VM_Word(kOpPush, kVMImmediate, 0, -1), 4, "push.e"},
      {VM_Word(kOpPop, kVMVariable, kVMVariable, 0), 8, "pop.v.v"},
      // Type 2 never changes the length.
      {VM_Word(kOpPop, kVMInt, kVMDouble, 0), 8, "pop.i.d"},
      {VM_Word(kOpPop, kVMImmediate, kVMInt, 0x0102), 4, "pop.e.i"},
      {VM_Word(kOpCall, kVMInt, 0, 3), 8, "call.i"},
      {VM_Word(kOpConv, kVMInt, kVMBool, 0), 4, "conv.i.b"},
      {VM_Word(kOpPopz, kVMVariable, 0, 0), 4, "popz.v"},
      {VM_BranchWord(kOpB, -1), 4, "b"},
      {VM_BranchWord(kOpPushEnv, 0x40), 4, "pushenv"},
      {kVMBreakpointWord, 4, "break"},
      {kVMPopEnvExitWord, 4, "popenv"},
      {0x00000000u, 4, "op 0x00"},
      {0x02FFFFFFu, 4, "op 0x02"},
      {VM_Word(0x42, kVMDouble, 0, 0), 12, "op 0x42"},
      {VM_Word(kOpPush, 9, 0, 0), 4, "push.9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VM_InstructionLength(c.word), c.length);
    EXPECT_EQ(VM_InstructionName(c.word), c.name);
  }
  EXPECT_EQ(VM_Word(kOpCall, kVMInt, 0, 3), 0xDA020003u);
  EXPECT_EQ(VM_Immediate(VM_Word(kOpPush, kVMImmediate, 0, int16_t(0xFFFF))), -1);
  EXPECT_EQ(VM_BranchOffset(VM_BranchWord(kOpB, -1)), -1);
  EXPECT_EQ(VM_BranchOffset(VM_BranchWord(kOpBf, 0x7FFFFF)), 0x7FFFFF);
  EXPECT_EQ(VM_BranchOffset(VM_BranchWord(kOpBt, -0x800000)), -0x800000);
}

TEST(Bytecode, StackAndOperandSizes) {
  const int stack[16] = {8, 4, 4, 8, 4, 16, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const int operand[16] = {8, 4, 4, 8, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int t = 0; t < 16; ++t) {
    EXPECT_EQ(VM_StackSize(t), stack[t]) << t;
    EXPECT_EQ(VM_OperandSize(t), operand[t]) << t;
  }
}

TEST(Bytecode, WriteBufferGrowsAndKeepsWhatWasWritten) {
  VMWriteBuffer b(16);
  b.Append({1, 2, 3, 4});
  EXPECT_EQ(b.Size(), 16);
  b.Append({5});
  EXPECT_EQ(b.Size(), 32);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(b.WordAt(4 * i), i + 1);
  b.Finish();
  EXPECT_EQ(b.Size(), 20);

  VMWriteBuffer empty(0);
  EXPECT_GE(empty.Reserve(12), 12);
  empty.AppendDouble(1.5);
  empty.AppendInt64(-2);
  empty.AppendFloat(2.5f);
  empty.AppendBool(0x100);
  empty.AppendBool(0x201);
  empty.AppendInt32(-3);
  const uint32_t expect[] = {0, 0x3FF80000u, 0xFFFFFFFEu, 0xFFFFFFFFu, 0x40200000u, 0, 1, 0xFFFFFFFDu};
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(empty.WordAt(4 * i), expect[i]) << i;
}

TEST(Bytecode, BranchesCountWordsFromThemselves) {
  VMWriteBuffer b(16);
  b.Append({0});
  const int32_t back = b.AppendBranch(kOpB, 0);
  const int32_t forward = b.AppendBranchToLabel(kOpBf);
  b.Append({0, 0});
  b.PatchBranch(forward, b.Position());
  EXPECT_EQ(b.WordAt(uint32_t(back)), 0xB7FFFFFFu);
  EXPECT_EQ(b.WordAt(uint32_t(forward)), 0xB9000003u);
  EXPECT_EQ(b.AppendBranchToLabel(kOpB), 20);
  EXPECT_EQ(b.WordAt(20), 0xB7000000u) << "a branch to itself";
}

TEST(Bytecode, VariableRefBits) {
  const VariableRef r{0xA0000000u | 100007u};
  EXPECT_FALSE(r.Indexed());
  EXPECT_TRUE(r.InstanceFromImmediate());
  EXPECT_FALSE(r.InstanceIsId());
  EXPECT_EQ(r.Id(), 100007);
  const VariableRef s{0x40000000u | 5u};
  EXPECT_TRUE(s.Indexed());
  EXPECT_FALSE(s.InstanceFromImmediate());
  EXPECT_TRUE(s.InstanceIsId());
  EXPECT_EQ(s.Id(), 5);
}

}  // namespace
