// Element reads and writes on the machine: the planned one-step accesses
// and every case they hand back to the generic handlers (not an array, a
// shared array, a bad or growing index, an element holding a block).
#include <gtest/gtest.h>

#include "unit/world_reset.h"

#include <string>
#include <vector>

#include "runner/entry.h"
#include "core/instances.h"
#include "core/builtin_vars.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/memory_manager.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_plan.h"
#include "script/vm_verify.h"

namespace {

class VMElements : public WorldTest {
 protected:
  struct Outcome {
    ScriptValue result;
    std::string error;  // the reported text, "" when none
    int leaked = 0;     // engine blocks left behind by the run
  };

  Outcome Run(const std::string& text) {
    CCode code(text, false);
    Outcome out;
    EXPECT_TRUE(code.Compile("run")) << text << "\n" << Code_PendingErrorText();
    Error_ResetForTests();
    const uint32_t before = MemoryManager::LiveBlocks();
    Code_Run(&self_, &self_, &code, &out.result);
    if (Error_Occurred()) out.error = Error_LastText();
    ScriptValue kept;
    ScriptValue_Copy(&kept, &out.result);
    ScriptValue_Free(&out.result);
    out.leaked = int(MemoryManager::LiveBlocks()) - int(before);
    out.result = kept;
    return out;
  }

  // The kinds of the steps planned for a program.
  static std::vector<VMStepKind> Kinds(const std::string& text) {
    CCode code(text, false);
    EXPECT_TRUE(code.Compile("plan"));
    std::string why;
    auto info = VM_Verify(*code.Bytecode(), &why);
    EXPECT_TRUE(info) << why;
    std::vector<VMStepKind> kinds;
    if (!info) return kinds;
    const std::shared_ptr<const VMPlan> plan = VMPlan_Build(*code.Bytecode(), *info);
    const VMStep* steps = plan->Steps();
    for (int32_t pc = 0; pc <= code.Bytecode()->Size(); pc += 4) kinds.push_back(steps[pc / 4].kind);
    return kinds;
  }

  CObjInstance self_{0, 0, 100001, -1, false};
};

bool Has(const std::vector<VMStepKind>& kinds, VMStepKind kind) {
  for (VMStepKind k : kinds)
    if (k == kind) return true;
  return false;
}

TEST_F(VMElements, PlainAccessesArePlannedAsOneStep) {
  struct Case {
    const char* text;
    VMStepKind kind;
  };
  const Case cases[] = {
      {"var a, i; i = 1; a[i] = i;", kStepElementPop},
      {"var a, i; i = 1; a[i] = 2.5;", kStepElementPop},
      {"var a, i, j; i = 1; j = 2; a[i, j] = i + j;", kStepElementPop},
      {"var a; a[3, 4] = 1;", kStepElementPop},
      {"globalvar g; var i; i = 1; g[i] = 1;", kStepElementPop},
      {"var i; i = 1; v[i] = 1;", kStepElementPop},
      {"var a, i, b; i = 1; b = a[i];", kStepElementPush},
      {"var a, b; b = a[299, 299];", kStepElementPush},
  };
  for (const Case& c : cases) EXPECT_TRUE(Has(Kinds(c.text), c.kind)) << c.text;
  // Built-in variables keep their own setters.
  EXPECT_FALSE(Has(Kinds("var i; i = 1; alarm[i] = 1;"), kStepElementPop));
}

TEST_F(VMElements, ResultsMatchTheGenericHandlers) {
  struct Case {
    const char* text;
    double result;
  };
  const Case cases[] = {
      {"var a, i; for (i = 0; i < 100; i += 1) a[i] = i * 2; return a[37] + a[99];", 272},
      {"var a, i; for (i = 99; i >= 0; i -= 1) a[i] = i; return a[0] + a[99];", 99},
      {"var a, i, j; for (i = 0; i < 20; i += 1) for (j = 0; j < 30; j += 1) a[i, j] = i * 100 + j; "
       "return a[19, 29] + a[3, 4];",
       1929 + 304},
      // Written as a string, overwritten by a real.
      {"var a, i, s; s = 'x'; i = 1; a[i] = s; a[i] = 4; return a[1];", 4},
      // A string variable becomes an array.
      {"var a, i; a = 'text'; i = 2; a[i] = 5; return a[2] + a[0];", 5},
      // Another holder of the owner's array gets its own copy when it writes.
      {"var a, b, i; i = 1; a[0] = 1; a[1] = 2; b = a; b[i] = 9; return a[1] * 10 + b[1];", 29},
      // The owner writes in place even while the array is shared.
      {"var a, b, i; i = 1; a[0] = 1; a[1] = 2; b = a; a[i] = 9; return b[1];", 9},
      // The last holder of an ownerless array becomes its owner by writing.
      {"var a, b, c, i; i = 1; a[1] = 1; b = a; a = 0; b[i] = 5; c = b; b[i] = 9; return c[1];", 9},
      // Past the length and past the allocation: zeros between.
      {"var a, i; a[0] = 1; i = 1000; a[i] = 3; i = 5; a[i] = 2; return a[999] + a[1000] * 10 + a[5] * 100;", 230},
      // A new row, and a column of 32000 or more running into the next rows.
      {"var a, i, j; a[0, 0] = 1; i = 5; j = 2; a[i, j] = 7; return a[i, j] + a[0, 0] + a[5, 1];", 8},
      {"var a, i; a[0, 0] = 1; i = 32001; a[0, i] = 4; return a[1, 1];", 4},
      // Indices are truncated toward zero.
      {"var a, i; a[0] = 0; i = 2.7; a[i] = 1; i = -0.5; a[i] = 6; return a[2] * 10 + a[0];", 16},
      // Index -1 is the whole variable.
      {"var a, i; a[0] = 1; i = -1; a[i] = 5; return a;", 5},
      // An index variable never set reads as 0.
      {"var a, i; a[0] = 3; return a[i];", 3},
  };
  for (const Case& c : cases) {
    Outcome o = Run(c.text);
    EXPECT_EQ(o.error, "") << c.text;
    EXPECT_EQ(o.leaked, 0) << c.text;
    EXPECT_TRUE(o.result.IsReal()) << c.text;
    EXPECT_EQ(o.result.Real(), c.result) << c.text;
    ScriptValue_Free(&o.result);
  }
}

TEST_F(VMElements, InstanceAndGlobalArraysTakeTheSameWay) {
  struct Case {
    const char* text;
    double result;
  };
  const Case cases[] = {
      {"var i; i = 2; v[i] = 3; v[i] += 1; return self.v[2];", 4},
      {"var i; i = 2; v[i] = 1; v[0] = 5; return v[i] + v[0];", 6},
      {"globalvar g; var i; i = 2; g[i] = 3; g[i] *= 2; return global.g[2];", 6},
      {"var i; i = 1; global.h[i] = 3; global.h[i] += 1; return global.h[1];", 4},
  };
  for (const Case& c : cases) {
    Outcome o = Run(c.text);
    EXPECT_EQ(o.error, "") << c.text;
    EXPECT_EQ(o.result.Real(), c.result) << c.text;
  }
}

TEST_F(VMElements, BlocksInElementsAreCopiedAndReleased) {
  Outcome o = Run("var a, i, s; s = 'ab'; i = 3; a[i] = s; s = 0; a[0] = 1; return a[i];");
  EXPECT_EQ(o.error, "");
  EXPECT_EQ(o.leaked, 1) << "only the result's own text";
  EXPECT_STREQ(o.result.Text(), "ab");
  ScriptValue_Free(&o.result);
  o = Run("var a, b, i; i = 1; b[0] = 7; a[i] = b; b = 0; return a[i];");
  EXPECT_EQ(o.error, "");
  ASSERT_TRUE(o.result.IsArray());
  EXPECT_EQ(o.result.array->rows[0].elements[0].real, 7);
  EXPECT_EQ(o.leaked, 3) << "only the result's array, its rows and its row";
  ScriptValue_Free(&o.result);
}

TEST_F(VMElements, IndexingARealIsFatalAndWhereTheReportReturnsReadsTheReal) {
  Outcome o = Run("var a, i; a = 2; i = 0; return a[i];");
  EXPECT_NE(o.error.find("FATAL ERROR in"), std::string::npos) << o.error;
  EXPECT_NE(o.error.find("trying to index variable that is not an array"), std::string::npos) << o.error;
  EXPECT_EQ(o.leaked, 0);
  EXPECT_TRUE(o.result.IsReal());
  EXPECT_EQ(o.result.Real(), 2);
  ScriptValue_Free(&o.result);
}

TEST_F(VMElements, BadIndicesKeepTheirErrors) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"var a, i; a[0] = 1; i = -2; a[i] = 5;", "Pop :: Execution Error - Variable index out of range a"},
      {"var a, i; a[0] = 1; i = 70000; a[i, 0] = 5;", "Pop :: Execution Error - Variable index out of range a"},
      {"var a, i; a[0] = 1; a[1] = 2; i = 5; return a[i];", "Push :: Execution Error - Variable Index [0,5] out of range [1,2]"},
      {"var a, i; a[0] = 1; i = 3; return a[i, 0];", "Push :: Execution Error - Variable Index [3,0] out of range [1,-1]"},
      {"var a, i; a[0] = 1; i = -3; return a[i];", "Push :: Execution Error - Variable Index [0,-3] out of range [1,1]"},
  };
  for (const Case& c : cases) {
    Outcome o = Run(c.text);
    EXPECT_NE(o.error.find(c.error), std::string::npos) << c.text << "\n" << o.error;
    ScriptValue_Free(&o.result);
  }
}

}  // namespace
