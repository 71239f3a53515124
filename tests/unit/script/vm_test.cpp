// The bytecode machine on assembled programs: every instruction class, every
// type pair of the arithmetic, the errors, the end of a run and its stack.
#include "script/vm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "code_fixture.h"
#include "core/code_chunks.h"
#include "core/game_data.h"
#include "pack.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/value.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm_plan.h"
#include "script/vm_verify.h"
#include "unit/world_reset.h"

namespace {

// Adds its real arguments; the machine passes argument 0 on top.
void TestSum(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum += args[i].Real() * (i + 1);
  result->real = sum;
}

// Runs the code record named "inner" from inside a run, as a built-in that
// executes an event would.
int g_nestedRuns = 0;
void TestNest(ScriptValue*, CObjInstance*, CObjInstance*, int, ScriptValue*) {
  ++g_nestedRuns;
  const CodeRecord* rec = Code_GetRecord(0);
  VM_Execute("nest", nullptr, nullptr, rec->code.get(), nullptr, nullptr, nullptr);
}

int g_pumps = 0;
bool CountPump() {
  ++g_pumps;
  return true;
}

class VM : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    g_MathEpsilon = 1e-16;
    FunctionRegistry_Add("tw_vm_sum", TestSum, kAnyArgCount);
    FunctionRegistry_Add("tw_vm_nest", TestNest, 0);
  }
  void TearDown() override {
    ScriptValue_Free(&result_);
    Code_Clear();
    WorldTest::TearDown();
  }

  // The load of the code chunks, as the chunk walk does it; "" or the error.
  std::string Load(const std::string& description) {
    std::string error;
    file_ = fixture::LoadCode(description, &error);
    if (!file_) return error;
    return "";
  }

  // Loads one record "main" with these lines and runs it. Returns the error
  // message reported ("" when none); leaked_ counts engine blocks the run
  // left behind, beyond the result's own.
  std::string Run(const std::string& lines, const std::string& more = "") {
    const std::string loadError =
        Load("CODE \"main\"\n" + lines + "\nEND\n" + more + "VARI\nFUNC\nSTRG\n");
    if (!loadError.empty()) return "load: " + loadError;
    Error_ResetForTests();
    const uint32_t before = MemoryManager::LiveBlocks();
    VM_Execute("main", nullptr, nullptr, Code_GetRecord(0)->code.get(), &result_, nullptr, nullptr);
    leaked_ = int(MemoryManager::LiveBlocks()) - int(before) - (result_.IsString() && result_.text ? 1 : 0);
    if (!Error_Occurred()) return "";
    const std::string& text = Error_LastText();
    // The message is the last line of the header, before the closing rule.
    const size_t end = text.rfind("\n" + std::string(92, '#'));
    const size_t start = text.rfind("\n\n\n", end);
    if (start == std::string::npos || end == std::string::npos) return text;
    std::string message = text.substr(start + 3, end - start - 3);
    return message.substr(0, message.rfind("\n at "));
  }

  std::unique_ptr<GameDataFile> file_;
  ScriptValue result_;
  int leaked_ = 0;
};

using Expect = std::variant<double, const char*>;
struct Case {
  const char* program;
  Expect result;           // a real, or the text of a string result
  const char* error = "";  // the machine's message, when the program fails
};

class VMTable : public VM {
 protected:
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.program);
      ScriptValue_Free(&result_);
      result_ = ScriptValue::FromReal(-12345);
      EXPECT_EQ(Run(c.program), c.error);
      EXPECT_EQ(leaked_, 0) << "engine blocks left behind";
      if (*c.error) continue;
      if (std::holds_alternative<double>(c.result)) {
        ASSERT_TRUE(result_.IsReal());
        EXPECT_EQ(result_.real, std::get<double>(c.result));
      } else {
        ASSERT_TRUE(result_.IsString());
        EXPECT_STREQ(result_.Text(), std::get<const char*>(c.result));
      }
    }
  }
};

// ---- Arithmetic ----------------------------------------------------------------------

TEST_F(VMTable, AddSubAndMulFollowTheirTypePairs) {
  Check({
      {"push.i 2\npush.i 3\nadd.i.i\nconv.i.v", 5.0},
      {"push.i 2147483647\npush.i 1\nadd.i.i\nconv.i.v", -2147483648.0},  // wraps in 32 bits
      {"push.d 1.5\npush.i 2\nadd.i.d\nconv.d.v", 3.5},
      {"push.i 2\npush.d 1.5\nadd.d.i\nconv.d.v", 3.5},
      {"push.l 4000000000\npush.i 1\nadd.i.l\nconv.l.v", 4000000001.0},
      {"push.l 9223372036854775807\npush.l 1\nadd.l.l\nconv.l.v", -9223372036854775808.0},
      {"push.l 5\npush.d 0.5\nadd.d.l\nconv.d.v", 5.5},
      {"push.d 7\nconv.d.v\npush.i 2\nadd.i.v", 9.0},
      {"push.s \"ab\"\npush.s \"cd\"\nadd.s.s\nconv.s.v", "abcd"},
      {"push.s \"a\"\nconv.s.v\npush.s \"b\"\nconv.s.v\nadd.v.v", "ab"},
      {"push.d 1\nconv.d.v\npush.s \"b\"\nconv.s.v\nadd.v.v", 0.0, "DoAdd :: Execution Error"},
      {"push.f 1\npush.f 2\nadd.f.f\nconv.i.v", 0.0, "DoAdd :: Execution Error"},
      {"push.i 2\npush.s \"x\"\nadd.s.i\nconv.i.v", 0.0, "DoAdd :: Execution Error"},
      {"push.d 5\npush.d 7.5\nsub.d.d\nconv.d.v", -2.5},
      {"push.i -2147483648\npush.i 1\nsub.i.i\nconv.i.v", 2147483647.0},
      {"push.s \"a\"\npush.s \"b\"\nsub.s.s\nconv.s.v", 0.0, "DoSub :: Execution Engine - Cannot operate on string type"},
      {"push.d 1\nconv.d.v\npush.s \"b\"\nconv.s.v\nsub.v.v", 0.0,
       "DoSub :: Execution Engine - Cannot operate on string type"},
      {"push.b 1\npush.b 1\nsub.b.b\nconv.b.v", 0.0, "DoSub:: Execution Error"},
      {"push.d 2.5\npush.i 4\nmul.i.d\nconv.d.v", 10.0},
      {"push.l -9223372036854775807\npush.l 3\nmul.l.l\nconv.l.v", -9223372036854775808.0},
      {"push.i 3\npush.s \"ab\"\nmul.s.i\nconv.s.v", "ababab"},
      {"push.d 2.9\nconv.d.v\npush.s \"ab\"\nconv.s.v\nmul.v.v", "abab"},
      {"push.d -1\npush.s \"ab\"\nmul.s.d\nconv.s.v", ""},
      {"push.s \"ab\"\npush.i 3\nmul.i.s\nconv.i.v", 0.0, "DoMul :: Execution Error"},
  });
}

TEST_F(VMTable, DivisionRemainderAndModuloNeverTrap) {
  Check({
      {"push.i 7\npush.i 2\ndiv.i.i\nconv.i.v", 3.0},
      {"push.d 7\nconv.d.v\npush.i 2\ndiv.i.v", 3.5},
      {"push.i -2147483648\npush.i -1\ndiv.i.i\nconv.i.v", -2147483648.0},
      {"push.l -9223372036854775808\npush.l -1\ndiv.l.l\nconv.l.v", -9223372036854775808.0},
      {"push.i 1\npush.i 0\ndiv.i.i\nconv.i.v", 0.0, "DoDiv :: Divide by zero"},
      {"push.d 1\npush.d 1e-11\ndiv.d.d\nconv.d.v", 0.0, "DoDiv :: Divide by zero"},
      {"push.d 1\npush.d 1e-10\ndiv.d.d\nconv.d.v", 1e10},
      {"push.d 7.9\npush.d 2\nrem.d.d\nconv.d.v", 3.0},
      {"push.d -7.9\npush.i 2\nrem.i.d\nconv.d.v", -3.0},
      {"push.d 1\npush.d 0.5\nrem.d.d\nconv.d.v", 0.0, "DoRem :: Divide by zero"},
      {"push.i -2147483648\npush.i -1\nrem.i.i\nconv.i.v", -2147483648.0},
      {"push.d 1e300\npush.d -1\nrem.d.d\nconv.d.v", -9223372036854775807.0},
      {"push.i -7\npush.i 3\nmod.i.i\nconv.i.v", -1.0},
      {"push.d 5.5\npush.i 2\nmod.i.d\nconv.d.v", 1.5},
      {"push.i 5\npush.i 0\nmod.i.i\nconv.i.v", 0.0, "DoMod :: Divide by zero"},
      {"push.i -2147483648\npush.i -1\nmod.i.i\nconv.i.v", 0.0},
      {"push.l -9223372036854775808\npush.l -1\nmod.l.l\nconv.l.v", 0.0},
      {"push.s \"a\"\npush.i 1\ndiv.i.s\nconv.i.v", 0.0, "DoDiv :: Execution Engine - Cannot operate on string type"},
      {"push.s \"a\"\npush.i 1\nrem.i.s\nconv.i.v", 0.0, "DoRem :: Execution Engine - Cannot operate on string type"},
      {"push.s \"a\"\npush.i 1\nmod.i.s\nconv.i.v", 0.0, "DoMod :: Execution Engine - Cannot operate on string type"},
      {"push.f 1\npush.f 1\ndiv.f.f\nconv.i.v", 0.0, "DoDiv :: Execution Error"},
  });
}

TEST_F(VMTable, BitwiseAndShiftsStayDefinedForEveryCount) {
  Check({
      {"push.d 6.9\npush.d 3.2\nand.d.d\nconv.d.v", 2.0},
      {"push.i 12\npush.i 10\nor.i.i\nconv.i.v", 14.0},
      {"push.l 12\npush.l 10\nxor.l.l\nconv.l.v", 6.0},
      {"push.b 1\npush.b 0\nand.b.b\nconv.b.v", 0.0},
      {"push.b 1\npush.b 0\nor.b.b\nconv.b.v", 1.0},
      {"push.b 1\npush.b 1\nxor.b.b\nconv.b.v", 0.0},
      {"push.d 1e300\npush.d 1\nand.d.d\nconv.d.v", 1.0},  // saturates, never undefined
      {"push.s \"a\"\npush.i 1\nand.i.s\nconv.i.v", 0.0, "DoAnd :: Execution Engine - Cannot operate on string type"},
      {"push.s \"a\"\npush.i 1\nor.i.s\nconv.i.v", 0.0, "DoOr :: Execution Engine - Cannot operate on string type"},
      {"push.s \"a\"\npush.i 1\nxor.i.s\nconv.i.v", 0.0, "DoXor :: Execution Engine - Cannot operate on string type"},
      {"push.i 1\npush.i 33\nshl.i.i\nconv.i.v", 2.0},
      {"push.i -8\npush.i 1\nshr.i.i\nconv.i.v", -4.0},
      {"push.i 1\npush.i 31\nshl.i.i\nconv.i.v", -2147483648.0},
      {"push.l 1\npush.l 64\nshl.l.l\nconv.l.v", 0.0},
      {"push.l -5\npush.l 70\nshr.l.l\nconv.l.v", -1.0},
      {"push.l 1\npush.i 256\nshl.i.l\nconv.l.v", 1.0},  // the count's low 8 bits
      {"push.i 1\npush.l 40\nshl.l.i\nconv.l.v", 1099511627776.0},
      {"push.d 1\npush.d 3\nshl.d.d\nconv.d.v", 8.0},
      {"push.i 1\npush.d 35\nshl.d.i\nconv.d.v", 8.0},
      {"push.d 1e300\npush.d 1e300\nshl.d.d\nconv.d.v", 0.0},
      {"push.d 1\nconv.d.v\npush.l 1\nshl.l.v", 0.0, "DoShl :: Execution Error"},
      {"push.l 1\npush.d 1\nconv.d.v\nshr.v.l", 0.0, "DoShr :: Execution Error"},
      {"push.s \"a\"\npush.i 1\nshl.i.s\nconv.i.v", 0.0, "DoShl :: Execution Engine - Cannot operate on string type"},
  });
}

TEST_F(VMTable, NegationAndNotWorkInPlace) {
  Check({
      {"push.d 2.5\nneg.d\nconv.d.v", -2.5},
      {"push.f 2.5\nneg.f\nconv.f.v", -2.5},
      {"push.i -2147483648\nneg.i\nconv.i.v", -2147483648.0},
      {"push.l 5\nneg.l\nconv.l.v", -5.0},
      {"push.b 1\nneg.b\nconv.b.v", 1.0},
      {"push.d 3\nconv.d.v\nneg.v", -3.0},
      {"push.s \"a\"\nconv.s.v\nneg.v", 0.0, "DoNeg :: Execution Engine - Cannot operate on string type"},
      {"push.s \"a\"\nneg.s\nconv.s.v", 0.0, "DoNeg :: Execution Engine - Cannot operate on string type"},
      {"push.d 5.7\nnot.d\nconv.d.v", -6.0},
      {"push.f 5.7\nnot.f\nconv.f.v", -6.0},
      {"push.i 0\nnot.i\nconv.i.v", -1.0},
      {"push.b 1\nnot.b\nconv.b.v", 0.0},
      {"push.d 1e300\nnot.d\nconv.d.v", -9223372036854775808.0},
      {"push.s \"a\"\nconv.s.v\nnot.v", 0.0, "DoNot :: Execution Engine - Cannot operate on string type"},
  });
}

TEST_F(VMTable, ConversionsFollowTheirTable) {
  Check({
      {"push.d 2.7\nconv.d.i\nconv.i.v", 2.0},
      {"push.d 1e300\nconv.d.i\nconv.i.v", 2147483647.0},
      {"push.d -1e300\nconv.d.l\nconv.l.v", -9223372036854775808.0},
      {"push.d 0.5\nconv.d.b\nconv.b.v", 0.0},
      {"push.d 0.6\nconv.d.b\nconv.b.v", 1.0},
      {"push.d 1e300\nconv.d.s\nconv.s.v", "1e+300"},
      {"push.d 0.1\nconv.d.f\nconv.f.v", double(0.1f)},
      {"push.f 2.7\nconv.f.d\nconv.d.v", 2.0},  // truncated first
      {"push.f 2.5\nconv.f.s\nconv.s.v", "2.5"},
      {"push.i -5\nconv.i.s\nconv.s.v", "-5"},
      {"push.i 3\nconv.i.b\nconv.b.v", 1.0},
      {"push.l 8589934593\nconv.l.i\nconv.i.v", 1.0},  // the low 32 bits
      {"push.l -9000000000\nconv.l.s\nconv.s.v", "-9000000000"},
      {"push.b 1\nconv.b.s\nconv.s.v", "true"},
      {"push.b 0\nconv.b.s\nconv.s.v", "false"},
      {"push.b 1\nconv.b.d\nconv.d.v", 1.0},
      {"push.s \"true\"\nconv.s.b\nconv.b.v", 1.0},
      {"push.s \"True\"\nconv.s.b\nconv.b.v", 0.0},
      {"push.s \"  42abc\"\nconv.s.i\nconv.i.v", 42.0},
      {"push.s \"99999999999\"\nconv.s.i\nconv.i.v", 2147483647.0},
      {"push.s \"-99999999999\"\nconv.s.l\nconv.l.v", -2147483648.0},
      {"push.s \"3.5x\"\nconv.s.d\nconv.d.v", 3.5},
      {"push.s \"x\"\nconv.s.d\nconv.d.v", 0.0},
      {"push.s \"hi\"\nconv.s.v", "hi"},
      {"push.s \"7\"\nconv.s.v\nconv.v.i\nconv.i.v", 7.0},
      {"push.d 2\nconv.d.v\nconv.v.s\nconv.s.v", "2"},
      {"push.d 2\nconv.d.v\nconv.v.v", 2.0},
      {"push.d 2\nconv.d.v\nconv.v.d\nconv.d.v", 0.0, "DoConv :: Execution Error"},
      {"push.s \"a\"\nconv.s.v\nconv.v.s\nconv.s.v", 0.0, "DoConv :: Execution Error"},
      {"push.i 1\nconv.i.i\nconv.i.v", 0.0, "DoConv :: Execution Error"},
  });
}

TEST_F(VMTable, ComparisonsUseTheEpsilonAndNaNIsNeverEqual) {
  Check({
      {"push.d 0.30000000000000004\npush.d 0.3\nseq.d.d\nconv.b.v", 1.0},
      {"push.d 0.30000000000000004\npush.d 0.3\nsne.d.d\nconv.b.v", 0.0},
      {"push.d 0.3\npush.d 0.30000000000000004\nslt.d.d\nconv.b.v", 0.0},
      {"push.d 1\npush.d 2\nslt.d.d\nconv.b.v", 1.0},
      {"push.d 2\npush.d 2\nsle.d.d\nconv.b.v", 1.0},
      {"push.d 2\npush.i 2\nsge.i.d\nconv.b.v", 1.0},
      {"push.i 3\npush.l 2\nsgt.l.i\nconv.b.v", 1.0},
      {"push.l 2\npush.l 2\nseq.l.l\nconv.b.v", 0.0, "DoSet :: Invalid comparison type"},
      {"push.i 1\npush.b 1\nseq.b.i\nconv.b.v", 1.0},
      {"push.d 1.5\npush.b 1\nseq.b.d\nconv.b.v", 1.0},  // the difference is truncated
      {"push.d 0\npush.d 0\ndiv.d.d\nconv.d.v", 0.0, "DoDiv :: Divide by zero"},
      {"push.s \"abc\"\npush.s \"abd\"\nslt.s.s\nconv.b.v", 1.0},
      {"push.s \"B\"\npush.s \"a\"\nslt.s.s\nconv.b.v", 1.0},
      {"push.s \"\"\nconv.s.v\npush.s \"\"\nseq.s.v\nconv.b.v", 1.0},
      {"push.s \"a\"\npush.d 1\nseq.d.s\nconv.b.v", 0.0, "DoSet :: Invalid comparison type"},
  });
}

TEST_F(VM, NaNMakesEveryComparisonFalse) {
  // inf - inf is NaN, and so is the difference of anything with it.
  const char* ops[] = {"slt", "sle", "seq", "sne", "sge", "sgt"};
  for (const char* op : ops) {
    SCOPED_TRACE(op);
    ScriptValue_Free(&result_);
    ASSERT_EQ(Run(std::string("push.d 1e308\npush.d 1e308\nmul.d.d\npush.d 1e308\npush.d 1e308\nmul.d.d\nsub.d.d\n"
                              "push.d 1\n") + op + ".d.d\nconv.b.v"),
              "");
    EXPECT_EQ(result_.real, 0.0);
  }
}

TEST_F(VM, TheEpsilonIsReadAtEachComparison) {
  const char* program = "push.d 0.30000000000000004\npush.d 0.3\nseq.d.d\nconv.b.v";
  ASSERT_EQ(Run(program), "");
  EXPECT_EQ(result_.real, 1.0);
  g_MathEpsilon = 0;
  ASSERT_EQ(Run(program), "");
  EXPECT_EQ(result_.real, 0.0);
  g_MathEpsilon = 0.5;
  ASSERT_EQ(Run("push.d 1\npush.d 1.5\nseq.d.d\nconv.b.v"), "");
  EXPECT_EQ(result_.real, 0.0) << "exactly at the epsilon neither seq nor sne holds";
  ASSERT_EQ(Run("push.d 1\npush.d 1.5\nsne.d.d\nconv.b.v"), "");
  EXPECT_EQ(result_.real, 0.0);
}

// ---- Stack instructions and the end of a run -------------------------------------------

TEST_F(VMTable, PushesDupsAndPops) {
  Check({
      {"push.e 65535\nconv.i.v", -1.0},
      {"push.e -7\nconv.i.v", -7.0},
      {"push.f 1.5\nconv.f.v", 1.5},
      {"push.l -3\nconv.l.v", -3.0},
      {"push.b 1\nconv.b.v", 1.0},
      {"push.i 1\npush.i 2\ndup.i 1\nsub.i.i\nconv.i.v\npopz.v\nsub.i.i\nconv.i.v", -1.0},
      {"push.d 4\ndup.d 0\nmul.d.d\nconv.d.v", 16.0},
      {"push.s \"x\"\ndup.s 1\nadd.s.s\nadd.s.s\nconv.s.v", "xxx"},
      {"push.s \"x\"\nconv.s.v\ndup.v 0\npopz.v", "x"},
      {"push.s \"x\"\nconv.s.v\ndup.v 0\npush.s \"y\"\nconv.s.v\nadd.v.v\nadd.v.v", "xxy"},
      {"push.d 1\npush.d 2\npopz.d\nconv.d.v", 1.0},
      {"push.d 5\nconv.d.v\npush.s \"left\"\npush.i 3\npop.e.i 1\npopz.s\npopz.i", 5.0},
      {"word 0\nword 16777216\nword 33554432\npush.d 9\nconv.d.v", 9.0},  // opcodes 0 to 2
  });
}

TEST_F(VM, BranchesFollowTheirLabelsAndPumpMessages) {
  VM_SetMessagePump(CountPump);
  g_pumps = 0;
  // 10000 rounds of a counting loop over a local.
  ASSERT_EQ(Run("push.d 0\npop.v.d local.i\n"
                "top:\n"
                "push.v local.i\npush.d 10000\nslt.d.v\nbf done\n"
                "push.v local.i\npush.d 1\nadd.d.v\npop.v.v local.i\n"
                "b top\n"
                "done:\n"
                "push.v local.i"),
            "");
  EXPECT_EQ(result_.real, 10000.0);
  EXPECT_GE(g_pumps, 4) << "once every 4096 branches";
  EXPECT_EQ(VM_LocalsInUse(), 0);

  ASSERT_EQ(Run("push.b 1\nbt yes\npush.d 1\nconv.d.v\nb out\nyes:\npush.d 2\nconv.d.v\nout:"), "");
  EXPECT_EQ(result_.real, 2.0);
  ASSERT_EQ(Run("push.b 0\nbt yes\npush.d 1\nconv.d.v\nb out\nyes:\npush.d 2\nconv.d.v\nout:"), "");
  EXPECT_EQ(result_.real, 1.0);
}

TEST_F(VM, OnlyAValueBecomesTheResultAndLeftoversAreReleased) {
  struct End {
    const char* program;
    bool taken;
    double value;
  };
  const End ends[] = {
      {"push.d 3\nconv.d.v", true, 3},
      {"push.d 3", false, 0},  // a raw double is no value
      {"push.d 3\nconv.d.v\nret.v\npush.d 4\nconv.d.v", true, 3},
      {"push.d 3\nret.d", false, 0},
      // exit inside a repeat, a switch and a with: counter, value and
      // environment stay behind and are released, never taken.
      {"push.i 5\npush.s \"s\"\nconv.s.v\npush.e -1\npushenv end\nbody:\npush.s \"t\"\nexit.i\nend:\npopenv body", false,
       0},
      {"push.s \"a\"\nconv.s.v\nexit.i", false, 0},
  };
  for (const End& e : ends) {
    SCOPED_TRACE(e.program);
    ScriptValue_Free(&result_);
    result_ = ScriptValue::FromReal(-1);
    ASSERT_EQ(Run(e.program), "");
    EXPECT_EQ(leaked_, 0);
    EXPECT_EQ(result_.real, e.taken ? e.value : -1.0);
  }
  // Code of no bytes runs nothing and leaves the result alone.
  ScriptValue_Free(&result_);
  ScriptValue_SetText(&result_, "kept");
  Load("CODE \"main\"\nEND\n");
  VM_Execute("main", nullptr, nullptr, Code_GetRecord(0)->code.get(), &result_, nullptr, nullptr);
  EXPECT_STREQ(result_.Text(), "kept");
}

TEST_F(VM, AnErrorStopsTheRunAndReleasesWhatItHeld) {
  ASSERT_EQ(Run("push.s \"held\"\nconv.s.v\npush.s \"a\"\npush.s \"b\"\nsub.s.s\npush.d 1\nconv.d.v"),
            "DoSub :: Execution Engine - Cannot operate on string type");
  EXPECT_EQ(leaked_, 0);
  EXPECT_EQ(result_.real, 0.0) << "the run stopped before its value";
  EXPECT_NE(Error_LastText().find("FATAL ERROR in"), std::string::npos);
  EXPECT_NE(Error_LastText().find(" at main (line -1) - <unknown source line>"), std::string::npos);
  EXPECT_EQ(VM_CurrentFrame, nullptr);
}

bool StopRun() {
  VM_FatalError(VM_CurrentFrame, "stopped from the pump");
  return true;
}

TEST_F(VM, ALoopStoppedWhileBranchingReleasesWhatItHeld) {
  VM_SetMessagePump(StopRun);
  EXPECT_EQ(Run("push.s \"held\"\npush.d 1\nconv.d.v\ntop:\nb top"), "stopped from the pump");
  EXPECT_EQ(leaked_, 0);
  EXPECT_EQ(Run("push.s \"held\"\ntop:\npush.b 1\nbt top"), "stopped from the pump");
  EXPECT_EQ(leaked_, 0);
}

// The player asks to quit while the second pump runs.
bool QuitAtSecondPump() { return ++g_pumps < 2; }

TEST_F(VM, AQuitSeenByThePumpEndsARunawayLoopQuietly) {
  VM_SetMessagePump(QuitAtSecondPump);
  const char* const programs[] = {
      "push.s \"held\"\nconv.s.v\ntop:\nb top",
      "push.s \"held\"\ntop:\npush.b 1\nbt top",
      // A counting loop whose test and jump run as one step.
      ("push.d 0\npop.v.d local.i\ntop:\npush.v local.i\npush.d 1e15\nslt.d.v\nbf done\n"
       "push.v local.i\npush.d 1\nadd.d.v\npop.v.v local.i\nb top\ndone:"),
  };
  for (const char* program : programs) {
    SCOPED_TRACE(program);
    g_pumps = 0;
    ScriptValue_Free(&result_);
    result_ = ScriptValue::FromReal(-1);
    EXPECT_EQ(Run(program), "") << "a quit is no error";
    EXPECT_EQ(g_pumps, 2) << "the run ends at the pump that saw the quit";
    EXPECT_EQ(leaked_, 0);
    EXPECT_EQ(result_.real, -1.0) << "a stopped run has no value";
    EXPECT_EQ(VM_CurrentFrame, nullptr);
    EXPECT_EQ(VM_LocalsInUse(), 0);
  }
}

TEST_F(VM, TheArrayIndexCheckLooksWithoutPopping) {
  EXPECT_EQ(Run("push.i -1\nbreak -1\npopz.i"), "Array index must be +'ve");
  EXPECT_EQ(Run("push.i 32000\nbreak -1\npopz.i"), "Array index must be < 32000");
  EXPECT_EQ(Run("push.i 31999\nbreak -1\nconv.i.v"), "");
  EXPECT_EQ(result_.real, 31999.0);
}

// ---- Variables, calls and with-statements --------------------------------------------

TEST_F(VM, LocalsAndGlobalsKeepWhatIsStored) {
  ASSERT_EQ(Run("push.d 2.5\npop.v.d local.a\npush.s \"g\"\npop.v.s global.b\n"
                "push.v global.b\npush.s \"!\"\nconv.s.v\nadd.v.v\npop.v.v global.b\npush.v global.b"),
            "");
  EXPECT_STREQ(result_.Text(), "g!");
  // Locals go with the run; the next run starts with none.
  EXPECT_EQ(Run("push.v local.a"), "");
  EXPECT_EQ(result_.real, 0.0);
  EXPECT_EQ(Run("push.d 1\npush.e -4\npop.v.d stack.x\npush.v noone.x"), "");
  EXPECT_EQ(result_.real, 0.0);
}

TEST_F(VM, CodeIsPlannedWithItsVariableOperandsBound) {
  // Loading binds the variable operands after the load-time check; the plan
  // made at the first run must name the bound variables.
  ASSERT_EQ(Run("push.d 1\npop.v.d local.i\npush.d 5\npop.v.d global.g\n"
                "push.v local.i\npush.v global.g\nadd.v.v\npop.v.v local.i\npush.v local.i"),
            "");
  EXPECT_EQ(result_.real, 6.0);
  const VMCodeInfo* info = Code_GetRecord(0)->code->Info();
  ASSERT_TRUE(info && info->Plan());
  EXPECT_EQ(info->Plan()->LocalIds(), std::vector<int32_t>{VariableName_Lookup("i")});
}

TEST_F(VM, CallsPassArgumentZeroOnTopAndReleaseThem) {
  // sum(a0, a1) with argument 0 on top: 1 * 10 + 2 * 3.
  ASSERT_EQ(Run("push.d 3\nconv.d.v\npush.d 10\nconv.d.v\ncall.i tw_vm_sum 2"), "");
  EXPECT_EQ(result_.real, 16.0);
  ASSERT_EQ(Run("push.s \"x\"\nconv.s.v\ncall.i tw_vm_sum 1"), "");
  EXPECT_EQ(leaked_, 0);
  EXPECT_EQ(result_.real, 0.0);
}

TEST_F(VM, WithOverSelfRunsOnceAndOverNooneSkips) {
  ASSERT_EQ(Run("push.d 0\npop.v.d local.n\n"
                "push.e -1\npushenv end1\nbody1:\npush.v local.n\npush.d 1\nadd.d.v\npop.v.v local.n\nend1:\npopenv body1\n"
                "push.e -4\npushenv end2\nbody2:\npush.v local.n\npush.d 100\nadd.d.v\npop.v.v local.n\nend2:\npopenv body2\n"
                "push.v local.n"),
            "");
  EXPECT_EQ(result_.real, 1.0);
  EXPECT_EQ(Run("push.e -7\npushenv e\nb:\ne:\npopenv b"), "Cannot use local in with statement");
  EXPECT_EQ(leaked_, 0);
}

// ---- Limits -------------------------------------------------------------------------------

TEST_F(VM, TheStackGrowsAndKeepsEveryItem) {
  // 3000 values of 16 bytes are more than the first area holds.
  std::string program;
  for (int i = 1; i <= 3000; ++i) program += "push.d " + std::to_string(i) + "\nconv.d.v\n";
  for (int i = 1; i < 3000; ++i) program += "add.v.v\n";
  ASSERT_EQ(Run(program), "");
  EXPECT_EQ(result_.real, 3000.0 * 3001 / 2);
}

TEST_F(VM, RunsNestedTooDeepEndInStackOverflowAndTheGameGoesOn) {
  g_nestedRuns = 0;
  testing::internal::CaptureStderr();
  ASSERT_EQ(Run("call.i tw_vm_nest 0\npopz.v\npush.d 1\nconv.d.v"), "");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_nestedRuns, kVMMaxNestedRuns);
  EXPECT_NE(err.find("Stack overflow..."), std::string::npos) << err;
  EXPECT_EQ(result_.real, 1.0) << "the outer runs went on";
  EXPECT_EQ(VM_LocalsInUse(), 0);
}

// ---- The load-time check -------------------------------------------------------------------

std::unique_ptr<VMBuffer> Words(std::vector<uint32_t> words) {
  return std::make_unique<VMBuffer>(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(words.data()), words.size() * 4));
}

uint32_t W(uint8_t op, int t1 = 0, int t2 = 0, int16_t imm = 0) { return VM_Word(op, uint8_t(t1), uint8_t(t2), imm); }
uint32_t Br(uint8_t op, int32_t off) { return VM_BranchWord(op, off); }

TEST(VMVerify, RefusesEveryKindOfDamagedProgram) {
  const uint32_t pushE = W(kOpPush, kVMImmediate, 0, 1);
  const uint32_t pushD = W(kOpPush, kVMDouble), pushS = W(kOpPush, kVMString);
  struct Bad {
    const char* what;
    std::vector<uint32_t> words;
    const char* expect;
  };
  std::vector<uint32_t> deep;
  for (int i = 0; i < 8200; ++i) deep.push_back(pushE);
  const Bad cases[] = {
      {"an operand past the end", {pushD, 0}, "needs 12 bytes, but the code ends 8 bytes later"},
      {"a branch into an operand", {pushD, 0, 0, Br(kOpB, -2)}, "leads to +0x4, which is not an instruction"},
      {"a branch out of the code", {Br(kOpB, 5)}, "leads to +0x14"},
      {"a branch before the code", {Br(kOpB, -1)}, "leads to -0x4"},
      {"a type code that is no type", {pushE, pushE, W(kOpAdd, 9, kVMInt)}, "names a type code that is no type"},
      {"a push of type 8", {W(kOpPush, 8)}, "no type"},
      {"a conversion into .e", {pushE, W(kOpConv, kVMInt, kVMImmediate)}, "no type"},
      {"an unknown opcode", {W(0x30)}, "has an opcode the machine does not know"},
      {"popping an empty stack", {W(kOpAdd, kVMDouble, kVMDouble)}, "needs an 8-byte number on the stack, which is empty"},
      {"a string read as a number", {pushS, 0, pushD, 0, 0, W(kOpAdd, kVMDouble, kVMDouble)},
       "needs an 8-byte number on the stack, but finds a string"},
      {"a value read as a string", {pushE, W(kOpConv, kVMInt, kVMVariable), W(kOpPopz, kVMString)}, "finds a value"},
      {"paths meeting with different stacks", {W(kOpPush, kVMBool), 1, Br(kOpBt, 2), pushE, W(kOpPopz, kVMInt)},
       "with a stack unlike the one another path brings there"},
      {"a loop that grows the stack", {pushE, Br(kOpB, -1)}, "unlike"},
      {"a dup of too many items", {pushE, W(kOpDup, kVMInt, 0, 16)}, "duplicates 17 items; at most 16"},
      {"a dup splitting an item", {pushD, 0, 0, W(kOpDup, kVMInt, 0, 0)}, "splits an item"},
      {"a raw dup of a string", {pushS, 0, W(kOpDup, kVMInt, 0, 0)}, "moves a string as raw bytes"},
      {"a dup past the stack", {pushE, W(kOpDup, kVMInt, 0, 1)}, "holds fewer"},
      {"a call with too many arguments", {W(kOpCall, kVMInt, 0, 17), 0}, "passes 17 arguments; at most 16"},
      {"a call that is not .i", {W(kOpCall, kVMDouble, 0, 0), 0, 0}, "first type is not .i"},
      {"a call short of arguments", {pushE, W(kOpConv, kVMInt, kVMVariable), W(kOpCall, kVMInt, 0, 2), 0},
       "needs a value on the stack, which is empty"},
      {"a popenv without an environment", {pushE, Br(kOpPopEnv, 0)}, "needs a with-environment"},
      {"an environment dropped as a value", {pushE, Br(kOpPushEnv, 2), W(kOpPopz, kVMVariable)},
       "needs a value on the stack, but finds a with-environment"},
      {"a stack move by a negative depth", {pushE, pushE, W(kOpPop, kVMImmediate, kVMInt, int16_t(0x00FF))},
       "negative amount"},
      {"a stack move dropping a string", {pushS, 0, pushE, W(kOpPop, kVMImmediate, kVMInt, int16_t(0x0200))},
       "moves a string as raw bytes"},
      {"a store from an empty stack", {W(kOpPop, kVMVariable, kVMDouble), 0xA0000000u | 100000u}, "empty"},
      {"a stack deeper than the limit", deep, "takes the stack beyond 65536 bytes"},
      {"ret of the wrong kind", {pushE, W(kOpRet, kVMVariable)}, "needs a value on the stack"},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.what);
    std::string why;
    EXPECT_EQ(VM_Verify(*Words(c.words), &why), nullptr);
    EXPECT_NE(why.find(c.expect), std::string::npos) << why;
  }
}

TEST(VMVerify, AcceptsEveryInstructionClassAndRecordsTheStack) {
  const uint32_t pushE = W(kOpPush, kVMImmediate, 0, 3);
  const std::vector<uint32_t> words = {
      W(kOpPush, kVMDouble), 0, 0,                      // 0: .d
      pushE,                                            // 12: .i
      W(kOpAdd, kVMInt, kVMDouble),                     // 16: .d
      W(kOpConv, kVMDouble, kVMVariable),               // 20: .v
      W(kOpDup, kVMVariable, 0, 0),                     // 24: .v .v
      W(kOpPopz, kVMVariable),                          // 28: .v
      W(kOpPush, kVMBool), 1,                           // 32: .v .b
      Br(kOpBf, 3),                                     // 40: .v
      W(kOpNeg, kVMVariable),                           // 44
      W(0),                                             // 48: nothing
      pushE,                                            // 52 .v .i
      Br(kOpPushEnv, 1),                                // 56: .v env
      Br(kOpPopEnv, 0),                                 // 60: back to itself
      W(kOpCall, kVMInt, 0, 1), 5,                      // 64: .v
      W(kOpPopz, 9),                                    // 72: nothing
      W(kOpExit, kVMInt),                               // 76
  };
  std::string why;
  auto info = VM_Verify(*Words(words), &why);
  ASSERT_NE(info, nullptr) << why;
  auto depth = [&](int32_t pc) {
    int n = 0;
    for (uint32_t s = info->StackAt(pc); s != VMCodeInfo::kEmpty; s = info->At(s).below) ++n;
    return n;
  };
  EXPECT_EQ(depth(0), 0);
  EXPECT_EQ(depth(24), 1);
  EXPECT_EQ(depth(28), 2);
  EXPECT_EQ(depth(44), 1) << "both ways into the negation bring one value";
  EXPECT_EQ(info->At(info->StackAt(60)).item, VMItem::kEnv);
  EXPECT_EQ(info->StackAt(80), VMCodeInfo::kNone) << "the end is never reached";
  EXPECT_GE(info->MaxStack(), 32 + 16);
}

TEST_F(VM, DamagedCodeIsRefusedAtLoadWithItsPlace) {
  const std::string error = Load("CODE \"main\"\npush.d 1\nadd.d.d\nEND\n");
  EXPECT_NE(error.find("CODE record 0 \"main\": the add.d.d instruction at +0xC needs an 8-byte number"),
            std::string::npos)
      << error;
  EXPECT_EQ(Code_GetRecord(0), nullptr) << "a refused chunk leaves no table";
  EXPECT_EQ(Load("CODE \"main\"\npush.d 1\nEND\nCODE \"second\"\npush.s \"a\"\nb x\nx:\npopz.s\nEND\nSTRG\n"), "");
  EXPECT_NE(Code_GetRecord(1)->code->Info(), nullptr);
}

}  // namespace
