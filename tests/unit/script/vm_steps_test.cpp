// The machine's planned steps against its generic handlers: every program
// runs both ways and must give the same result, the same error and the same
// number of branches (the message pump's clock).
#include <gtest/gtest.h>

#include "unit/world_reset.h"

#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "runner/entry.h"
#include "core/instances.h"
#include "core/builtin_vars.h"
#include "script/builtins_math.h"
#include "script/builtins_string.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_plan.h"

namespace {

struct Outcome {
  bool ran = false;
  std::string value;  // the result's kind and exact bits, or its text
  std::string error;
  uint64_t branches = 0;
};

class VMSteps : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitMathFunctions();
    InitStringFunctions();
    VM_Init();
  }
  void TearDown() override {
    VMPlan_SetEnabled(true);
    WorldTest::TearDown();
  }

  // Scripts the programs may call, compiled afresh for each run.
  std::vector<std::pair<std::string, std::string>> scripts_;

  // Runs the program with fresh variables (globals and self's) each time.
  Outcome Run(const std::string& text, bool planned) {
    VMPlan_SetEnabled(planned);
    Script_DeleteAll();
    for (const auto& [name, body] : scripts_) {
      auto script = std::make_unique<CScript>(name);
      script->SetText(body);
      Script_AddForTests(std::move(script));
    }
    for (int32_t i = 0; i < Script_Count(); ++i) EXPECT_TRUE(Script_Get(i)->Compile()) << Script_Get(i)->Name();
    GlobalVar_Init();
    g_MathEpsilon = 1e-16;
    CObjInstance self(0, 0, 100001, -1, false);
    Error_ResetForTests();
    CCode code(text, false);
    EXPECT_TRUE(code.Compile("steps")) << text << "\n" << Code_PendingErrorText();
    Outcome o;
    ScriptValue result;
    const uint64_t before = VM_BranchCount();
    o.ran = Code_Run(&self, &self, &code, &result);
    o.branches = VM_BranchCount() - before;
    if (Error_Occurred()) o.error = Error_LastText();
    char bits[64];
    if (result.IsString()) {
      o.value = std::string("string ") + result.Text();
    } else {
      uint64_t b;
      std::memcpy(&b, &result.real, 8);
      std::snprintf(bits, sizeof bits, "kind %u bits %016llx", result.kind, static_cast<unsigned long long>(b));
      o.value = bits;
    }
    ScriptValue_Free(&result);
    return o;
  }

  void ExpectAgree(const char* program) {
    const Outcome generic = Run(program, false);
    const Outcome planned = Run(program, true);
    EXPECT_EQ(planned.ran, generic.ran) << program;
    EXPECT_EQ(planned.value, generic.value) << program;
    EXPECT_EQ(planned.error, generic.error) << program;
    EXPECT_EQ(planned.branches, generic.branches) << program;
  }
};

TEST_F(VMSteps, PlannedAndGenericRunsAgree) {
  const char* const programs[] = {
      // loops: step and test fused, constant and local limits, counting down
      "var i, t; t = 0; for (i = 0; i < 5000; i += 1) t += i; return t;",
      "var i, t; t = 0; for (i = 10; i > 0; i -= 0.5) t += i * 2; return t;",
      "var i, n, t; n = 7; t = 0; for (i = 0; i <= n; i += 1) t += i; return t;",
      "var i, j, t; t = 0; for (i = 0; i < 30; i += 1) for (j = i; j >= 0; j -= 3) t += i - j; return t;",
      "var i, t; i = 0; t = 0; while (i != 12) { i += 1; t = t * 3 + i; } return t;",
      "var i; i = 0; do { i += 2; } until (i >= 9); return i;",
      "var i, t; t = 1; for (i = 0; i < 10; i += 1) { if (i == 7) break; t *= 2; } return t;",
      // the limit stops being a real halfway: the test falls back
      "var i, n, t; n = 5; t = 0; for (i = 0; i < n; i += 1) { t += i; if (i == 3) n = \"x\"; } return t;",
      // the loop variable becomes a string
      "var i, t; t = 0; for (i = 0; i < 3; i += 1) { t += 1; i = \"s\"; } return t;",
      // every comparison, also within the epsilon
      "var a, b; a = 1; b = 1 + 0.00000000000000001; return (a < b) * 1 + (a <= b) * 2 + (a == b) * 4 + (a != b) * 8 + (a >= b) * 16 "
      "+ (a > b) * 32;",
      "var a, b, r; a = 2; b = 3; r = 0; if (a < b) r += 1; if (a <= b) r += 2; if (a == b) r += 4; if (a != b) r += 8; "
      "if (a >= b) r += 16; if (a > b) r += 32; return r;",
      "math_set_epsilon(0.5); var a, r; a = 1; r = 0; if (a == 1.3) r += 1; if (a < 1.4) r += 2; return r;",
      // operands of every kind: strings fall back, mixed int and real
      "var a, b; a = \"x\"; b = \"y\"; a = a + b; return a;",
      "var a, b; a = \"ab\"; b = a * 3; return b;",
      "var a; a = 3; return a / 2 + 7 div 2 - (a < 4) + a mod 2;",
      "var a, b, c; a = 0.1; b = 0.2; c = a + b; c -= 0.3; c *= 100000000000000000; return c;",
      "var r, i; r = 0; for (i = 0; i < 100; i += 1) { r = r * 0.5 + i / 3 - 1.25; } return r;",
      // errors inside fused runs
      "var a, b; a = 1; b = 0; return a / b;",
      "var a, b; a = 1; b = 0.00000000001; return a / b;",
      "var a; a = \"s\"; return a - 1;",
      "var a; return a + 1;",
      "var a, b; a = 1; return a < \"z\";",
      // instance and global variables, with globalvar
      "iv = 0; for (ii = 0; ii < 50; ii += 1) { iv += ii; } return iv;",
      "global.g = 2; global.g *= 3; global.h = global.g - 1; return global.g * 10 + global.h;",
      "globalvar gg; gg = 4; gg += 1; return gg;",
      "self.sv = 1.5; sv += self.sv; return sv;",
      "return undefinedvar + 1;",
      "global.s = \"a\"; global.s += \"b\"; return global.s;",
  };
  for (const char* p : programs) ExpectAgree(p);
}

TEST_F(VMSteps, EveryArithmeticShapeAgreesAndFallsBack) {
  // Each class of operand on either side (the stack, a constant, a local,
  // an instance variable plain and through self, a global), each operation
  // and each destination: the dispatch inlines some of these shapes and
  // calls out for the others. Reals take the fast way; a string, a divisor
  // of 0 and a variable never set send the step back to the generic
  // handlers, which must find the stack and position as the step found them.
  // x and y are built-in variables, read and written through their getters
  // and setters.
  const char* const lefts[] = {"(a * 1)", "2.5", "a", "v", "self.v", "global.g", "x"};
  const char* const rights[] = {"(b * 1)", "1.5", "b", "w", "self.w", "global.h", "self.y"};
  const char* const values[] = {"7", "3", "\"s\"", "4", "undefined"};
  const char* const others[] = {"2", "3", "2", "0", "2"};
  const char* const arithmetic[] = {"+", "-", "*", "/"};
  const char* const comparisons[] = {"<", "<=", "==", "!=", ">=", ">"};
  for (size_t k = 0; k < std::size(values); ++k) {
    // "undefined": the left variables are never set.
    const std::string left = values[k] == std::string("undefined") ? "" : values[k];
    const std::string set =
        (left.empty() ? std::string() : "a = " + left + "; v = " + left + "; global.g = " + left + "; x = " + left + "; ") +
        "b = " + others[k] + "; w = " + others[k] + "; global.h = " + others[k] + "; y = " + others[k] + "; ";
    const std::string prelude = "var a, b, t, r; " + set;
    for (const char* l : lefts) {
      for (const char* r : rights) {
        const std::string e = std::string(l) + " OP " + r;
        auto with = [&](const std::string& text, const char* op) {
          std::string out = text;
          out.replace(out.find("OP"), 2, op);
          return out;
        };
        for (const char* op : arithmetic) {
          for (const std::string& body : {"return " + e + ";", "t = " + e + "; return t;", "u = " + e + "; return u;",
                                          "global.k = " + e + "; return global.k;", "hspeed = " + e + "; return speed;"}) {
            ExpectAgree((prelude + with(body, op)).c_str());
          }
        }
        for (const char* op : comparisons) {
          for (const std::string& body : {"return " + e + ";", "r = 0; if (" + e + ") r = 1; else r = 2; return r;"}) {
            ExpectAgree((prelude + with(body, op)).c_str());
          }
        }
      }
    }
  }
  // Agreeing on a wrong answer fails here: shapes of each kind, with their values.
  const std::pair<const char*, double> anchors[] = {
      {"var a, b; a = 7; b = 2; return a - b;", 5},            // local, local to the stack: inlined
      {"var a, b; a = 7; b = 2; return a < b;", 0},            // a comparison left on the stack: called
      {"v = 7; w = 2; u = v * w; return u;", 14},              // instance variables: inlined
      {"var b; v = 7; b = 2; u = v / b; return u;", 3.5},      // a variable and a local: called
      {"global.h = 2; global.k = 3 - global.h; return global.k;", 1},  // a constant on the left: called
      {"var a, r; a = 4; r = 0; if (2.5 >= a) r = 1; else r = 2; return r;", 2},
  };
  for (const auto& [program, expected] : anchors) {
    EXPECT_EQ(Run(program, true).value, Run("return " + std::to_string(expected) + ";", true).value) << program;
  }
}

TEST_F(VMSteps, BuiltInVariablesOfSelfAgree) {
  // Read and written whole through their getters and setters, whose side
  // effects must be the generic way's; elements, read-only variables and
  // values the getters refuse go back to the generic handlers.
  const char* const programs[] = {
      "x = 3; y = x + 2; x += y; return x * 100 + y;",
      "hspeed = 3; vspeed = 4; return speed * 1000 + direction;",
      "speed = 2; direction = 90; return hspeed * 10 + vspeed;",
      "x = -1; hspeed = -2; if ((x < 0 && hspeed < 0) || (x > 614 && hspeed > 0)) hspeed = -hspeed; return hspeed;",
      "var i; for (i = 0; i < 20; i += 1) { x += hspeed + 1; if (x > 10) x = 0; } return x;",
      "image_single = 3; return image_single * 10 + image_speed;",
      "x = \"s\"; return x;",
      "x = 2.75; return x;",
      "id = 5; return id;",
      "object_index += 1; return object_index;",
      "var a; a[2] = 7; x = 2; return a[x];",
      "alarm[1] = 4; alarm[1] -= 1; return alarm[1] + alarm;",
      "var t; t = 0; while (x < 5) { x += 1; t += x; } return t;",
  };
  for (const char* p : programs) ExpectAgree(p);
  EXPECT_EQ(Run("hspeed = 3; vspeed = 4; return speed;", true).value, Run("return 5;", true).value);
  EXPECT_EQ(Run("x = 2.75; return x;", true).value, Run("return 2.75;", true).value);
  const Outcome readOnly = Run("id = 5; return id;", true);
  EXPECT_NE(readOnly.error.find("read only variable?"), std::string::npos) << readOnly.error;
}

TEST_F(VMSteps, LogicOfComparisonsGivesTheTruthTable) {
  // && || ^^ of two comparisons take a short way; `and` of numbers the
  // general one. Both must give the same table.
  for (int p = 0; p < 2; ++p) {
    for (int q = 0; q < 2; ++q) {
      const std::string set = "var a, b; a = " + std::to_string(p) + "; b = " + std::to_string(q) + "; ";
      const struct {
        const char* op;
        const char* numbers;
        int expected;
      } cases[] = {{"&&", "and", p & q}, {"||", "or", p | q}, {"^^", "xor", p ^ q}};
      for (const auto& c : cases) {
        const std::string compared = set + "return (a > 0.5) " + c.op + " (b > 0.5);";
        const std::string numbers = set + "return a " + c.numbers + " b;";
        SCOPED_TRACE(compared);
        const Outcome o = Run(compared, true);
        EXPECT_EQ(o.error, "");
        EXPECT_EQ(o.value, Run("return " + std::to_string(c.expected) + ";", true).value);
        EXPECT_EQ(o.value, Run(numbers, true).value);
      }
    }
  }
}

TEST_F(VMSteps, ScriptCallsArgumentsAndReturnsAgree) {
  scripts_ = {
      {"sfib", "if (argument0 < 2) return argument0; return sfib(argument0 - 1) + sfib(argument0 - 2);"},
      {"sargs", "return string(argument_count) + \":\" + string(argument0) + string(argument1) + string(argument2);"},
      {"snoret", "var a; a = argument0 * 2;"},
      {"sstr", "return argument0 + \"!\";"},
      {"sinner", "return argument0 * 10 + argument1;"},
      {"souter", "var t; t = sinner(argument0 + 1, argument0) + argument0; argument0 = \"w\"; return t;"},
      {"sdeep", "if (argument0 <= 0) return 0; return 1 + sdeep(argument0 - 1);"},
  };
  const char* const programs[] = {
      "return sfib(15);",
      "return sargs(\"a\", 2);",
      "return sargs();",
      "var r; r = snoret(3); return r;",
      "return sstr(\"hi\") + sstr(\"yo\");",
      "return sstr(1);",
      "var t, i; t = 0; for (i = 0; i < 12; i += 1) t += sfib(i); return t;",
      "return souter(4) + souter(5);",
      "return sdeep(300);",
      "return sdeep(5000);",
  };
  for (const char* p : programs) ExpectAgree(p);
  EXPECT_EQ(Run("return sfib(15);", true).value, Run("return 610;", true).value);
  EXPECT_EQ(Run("return sargs(\"a\", 2);", true).value, "string 2:a20");
}

TEST_F(VMSteps, ACallFindsTheScriptsCodeAsItIsNow) {
  // The caller's code stays; the script it calls is given new code.
  scripts_ = {{"s", "return 1;"}};
  Run("return 0;", true);  // makes the script table
  CCode caller("return s() * 10 + s();", false);
  ASSERT_TRUE(caller.Compile("caller"));
  CObjInstance self(0, 0, 100001, -1, false);
  auto run = [&] {
    ScriptValue result;
    EXPECT_TRUE(Code_Run(&self, &self, &caller, &result));
    const double r = result.Real();
    ScriptValue_Free(&result);
    return r;
  };
  EXPECT_EQ(run(), 11);
  Script_Get(0)->SetText("return 2;");
  ASSERT_TRUE(Script_Get(0)->Compile());
  EXPECT_EQ(run(), 22);
  Script_Get(0)->SetText("return argument_count + 3;");
  ASSERT_TRUE(Script_Get(0)->Compile());
  EXPECT_EQ(run(), 33);
  Script_DeleteAll();
  auto other = std::make_unique<CScript>("s");
  other->SetText("return 4;");
  Script_AddForTests(std::move(other));
  ASSERT_TRUE(Script_Get(0)->Compile());
  EXPECT_EQ(run(), 44);
}

TEST_F(VMSteps, TheResultsAreTheExpectedOnes) {
  // A few anchors, so that agreeing on a wrong answer fails too.
  EXPECT_EQ(Run("var i, t; t = 0; for (i = 0; i < 5000; i += 1) t += i; return t;", true).value,
            Run("return 12497500;", true).value);
  EXPECT_EQ(Run("var a, b; a = \"x\"; b = \"y\"; a = a + b; return a;", true).value, "string xy");
  const Outcome div = Run("var a, b; a = 1; b = 0; return a / b;", true);
  EXPECT_NE(div.error.find("DoDiv :: Divide by zero"), std::string::npos) << div.error;
  EXPECT_EQ(Run("math_set_epsilon(0.5); var a, r; a = 1; r = 0; if (a == 1.3) r += 1; if (a < 1.4) r += 2; return r;",
                true)
                .value,
            Run("return 1;", true).value);
}

}  // namespace
