// The operators of constant folding and the tree interpreter.
#include "script/operators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <variant>

#include "script/code.h"
#include "script/code_run.h"
#include "script/value.h"

namespace {

using Operand = std::variant<double, const char*>;

ScriptValue Make(const Operand& o) {
  ScriptValue v;
  if (std::holds_alternative<double>(o)) v.real = std::get<double>(o);
  else ScriptValue_SetText(&v, std::get<const char*>(o));
  return v;
}

struct Binary {
  Operand left;
  int op;
  Operand right;
  Operand result;
  const char* error = "";  // the end of the recorded message
};

TEST(Operators, BinaryOperatorsOnRealsAndStrings) {
  const double nan = std::nan("");
  const Binary cases[] = {
      {2.0, kTokTimes, "ab", "abab"},
      {2.5, kTokTimes, "ab", "abab"},  // 2.5 rounds to 2
      {3.5, kTokTimes, "ab", "abababab"},
      {0.0, kTokTimes, "ab", ""},
      {"ab", kTokTimes, 2.0, 0.0, "Wrong type of arguments to *."},
      {"B", kTokLess, "a", 1.0},
      {"", kTokEqual, "", 1.0},
      {"abc", kTokGreaterEqual, "abd", 0.0},
      {0.30000000000000004, kTokEqual, 0.3, 0.0},  // exact, no epsilon
      {0.30000000000000004, kTokAssign, 0.3, 0.0},
      {nan, kTokNotEqual, 1.0, 1.0},
      {nan, kTokEqual, nan, 0.0},
      {"a", kTokEqual, 1.0, 0.0, "Cannot compare arguments."},
      {7.0, kTokDiv, 2.0, 3.0},
      {-7.0, kTokDiv, 2.0, -3.0},
      {-2147483648.0, kTokDiv, -1.0, 2147483648.0},
      {1e300, kTokDiv, 1.0, 2147483647.0},
      {7.0, kTokDiv, 0.5, 0.0, "Division by 0."},
      {-7.0, kTokMod, 3.0, -1.0},
      {5.5, kTokMod, 2.0, 1.5},
      {5.0, kTokMod, 0.0, 0.0, "Modulo by 0."},
      {1.0, kTokDivide, 0.0, 0.0, "Division by 0."},
      {1.0, kTokDivide, 4.0, 0.25},
      {5.5, kTokBitOr, 0.0, 6.0},  // rounds, halves to even
      {4.5, kTokBitOr, 0.0, 4.0},
      {6.0, kTokBitAnd, 3.0, 2.0},
      {6.0, kTokBitXor, 3.0, 5.0},
      {nan, kTokBitOr, 1.0, 1.0},
      {1.0, kTokShiftLeft, 33.0, 2.0},
      {-8.0, kTokShiftRight, 1.0, -4.0},
      {1.0, kTokShiftLeft, 31.0, -2147483648.0},
      {"a", kTokShiftLeft, 1.0, 0.0, "Wrong type of arguments for <<."},
      {0.5, kTokAnd, 0.5, 1.0},
      {0.4, kTokAnd, 1.0, 0.0},
      {0.4, kTokOr, 0.5, 1.0},
      {"a", kTokAnd, 1.0, 0.0, "Wrong type of arguments for &&."},
      {1.0, kTokXor, 0.0, 1.0},
      {1.0, kTokXor, 1.0, 0.0},
      {"ab", kTokPlus, "cd", "abcd"},
      {"", kTokPlus, "", ""},
      {1.0, kTokPlus, "a", 0.0, "Wrong type of arguments to +."},
      {3.0, kTokMinus, 5.0, -2.0},
      {"a", kTokMinus, "b", 0.0, "Wrong type of arguments to -."},
      {1.0, 999, 1.0, 0.0, "Internal error: unknown binary operator."},
  };
  CCode code(std::string("x"), true);
  for (const Binary& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.op << " " << (std::holds_alternative<double>(c.left)
                                                              ? std::to_string(std::get<double>(c.left))
                                                              : std::get<const char*>(c.left)));
    Code_ClearPendingError();
    ScriptValue left = Make(c.left), right = Make(c.right);
    const bool ok = Code_OperatorBinary(&code, 0, c.op, &left, &right);
    if (*c.error) {
      EXPECT_FALSE(ok);
      ASSERT_TRUE(Code_HasPendingError());
      const std::string& text = Code_PendingErrorText();
      EXPECT_EQ(text.substr(text.size() - std::string(c.error).size()), c.error) << text;
    } else {
      EXPECT_TRUE(ok);
      EXPECT_FALSE(Code_HasPendingError()) << Code_PendingErrorText();
      if (std::holds_alternative<double>(c.result)) {
        ASSERT_TRUE(left.IsReal());
        EXPECT_EQ(left.real, std::get<double>(c.result));
      } else {
        ASSERT_TRUE(left.IsString());
        EXPECT_STREQ(left.Text(), std::get<const char*>(c.result));
      }
    }
    ScriptValue_Free(&left);
    ScriptValue_Free(&right);
  }
}

TEST(Operators, XorOfAStringReportsButStillSucceeds) {
  CCode code(std::string("a ^^ b"), true);
  Code_ClearPendingError();
  ScriptValue left = Make("a"), right = Make(1.0);
  EXPECT_TRUE(Code_OperatorBinary(&code, 2, kTokXor, &left, &right));
  EXPECT_TRUE(Code_HasPendingError());
  EXPECT_EQ(Code_PendingErrorText(), "Error in expression: a ^^ b\n position 3: Wrong type of arguments for ^^.");
  EXPECT_TRUE(left.IsReal());
  EXPECT_EQ(left.real, 1.0);
  ScriptValue_Free(&right);
}

TEST(Operators, UnaryOperators) {
  CCode code(std::string("x"), true);
  struct Unary {
    int op;
    double value;
    double result;
  };
  const Unary cases[] = {{kTokNot, 0.4, 1},  {kTokNot, 0.5, 0},   {kTokPlus, -3, -3},
                         {kTokMinus, 2, -2}, {kTokBitNot, 0, -1}, {kTokBitNot, 2.5, -3}};
  for (const Unary& c : cases) {
    ScriptValue v = ScriptValue::FromReal(c.value);
    EXPECT_TRUE(Code_OperatorUnary(&code, 0, c.op, &v));
    EXPECT_EQ(v.real, c.result) << c.op << " " << c.value;
  }
  Code_ClearPendingError();
  ScriptValue s = Make("a");
  EXPECT_FALSE(Code_OperatorUnary(&code, 0, kTokMinus, &s));
  EXPECT_NE(Code_PendingErrorText().find("Wrong type of arguments to unary operator."), std::string::npos);
  ScriptValue_Free(&s);
  Code_ClearPendingError();
  ScriptValue v = ScriptValue::FromReal(1);
  EXPECT_FALSE(Code_OperatorUnary(&code, 0, 999, &v));
  EXPECT_NE(Code_PendingErrorText().find("Internal error: unknown unary operator."), std::string::npos);
  Code_ClearPendingError();
}

}  // namespace
