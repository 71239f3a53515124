#include "script/builtins_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "script/random.h"
#include "unit/script/builtins_call.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.1415927410125732;  // the script constant pi

using MathBuiltins = BuiltinsTest;

TEST_F(MathBuiltins, RegistersTheGroupInItsFixedOrder) {
  struct Expected {
    const char* name;
    int argCount;
  };
  const Expected kOrder[] = {
      {"is_real", 1}, {"is_string", 1}, {"is_array", 1}, {"array_length_1d", 1}, {"array_length_2d", 2},
      {"array_height_2d", 1}, {"random", 1}, {"random_range", 2}, {"irandom", 1}, {"irandom_range", 2},
      {"random_set_seed", 1}, {"random_get_seed", 0}, {"randomize", 0}, {"abs", 1}, {"round", 1},
      {"floor", 1}, {"ceil", 1}, {"sign", 1}, {"frac", 1}, {"sqrt", 1}, {"sqr", 1}, {"exp", 1}, {"ln", 1},
      {"log2", 1}, {"log10", 1}, {"sin", 1}, {"cos", 1}, {"tan", 1}, {"arcsin", 1}, {"arccos", 1},
      {"arctan", 1}, {"arctan2", 2}, {"degtorad", 1}, {"radtodeg", 1}, {"power", 2}, {"logn", 2},
      {"min", -1}, {"max", -1}, {"min3", 3}, {"max3", 3}, {"mean", -1}, {"median", -1}, {"choose", -1},
      {"clamp", 3}, {"lerp", 3}, {"real", 1}, {"string", 1}, {"string_format", 3}, {"chr", 1},
      {"ansi_char", 1}, {"ord", 1}, {"string_length", 1}, {"string_pos", 2}, {"string_copy", 3},
      {"string_char_at", 2}, {"string_byte_length", 1}, {"string_byte_at", 2}, {"string_set_byte_at", 3},
      {"string_delete", 3}, {"string_insert", 3}, {"string_lower", 1}, {"string_upper", 1},
      {"string_repeat", 2}, {"string_letters", 1}, {"string_digits", 1}, {"string_lettersdigits", 1},
      {"string_replace", 3}, {"string_replace_all", 3}, {"string_count", 2}, {"point_distance", 4},
      {"point_direction", 4}, {"lengthdir_x", 2}, {"lengthdir_y", 2}, {"point_distance_3d", 6},
      {"dot_product", 4}, {"dot_product_normalised", 4}, {"dot_product_3d", 6},
      {"dot_product_3d_normalised", 6}, {"math_set_epsilon", 1}};
  ASSERT_EQ(FunctionRegistry_Count(), 79);
  for (int i = 0; i < 79; ++i) {
    const FunctionEntry* e = FunctionRegistry_Get(i);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, kOrder[i].name) << "position " << i;
    EXPECT_EQ(e->argCount, kOrder[i].argCount) << kOrder[i].name;
    EXPECT_NE(e->handler, nullptr) << kOrder[i].name;
  }
  // min3 and max3 are min and max under another count.
  EXPECT_EQ(FunctionRegistry_Get(FunctionRegistry_Find("min3"))->handler,
            FunctionRegistry_Get(FunctionRegistry_Find("min"))->handler);
}

struct RealCase {
  const char* name;
  std::vector<double> args;
  double expected;
};

class MathTable : public BuiltinsTest, public testing::WithParamInterface<RealCase> {};

std::string CaseName(const RealCase& c) {
  std::string s = c.name;
  s += "(";
  for (size_t i = 0; i < c.args.size(); ++i) s += (i ? ", " : "") + std::to_string(c.args[i]);
  return s + ")";
}

// Bit-exact, with any NaN matching NaN, so single-precision rounding and the
// sign of zero are both checked.
TEST_P(MathTable, GivesTheExactResult) {
  const RealCase& c = GetParam();
  std::vector<ScriptValue> values;
  for (double x : c.args) values.push_back(ScriptValue::FromReal(x));
  Outcome out = CallArgs(c.name, values);
  ASSERT_TRUE(out.IsReal()) << CaseName(c);
  EXPECT_FALSE(out.reported) << CaseName(c) << ": " << out.report;
  if (std::isnan(c.expected)) {
    EXPECT_TRUE(std::isnan(out.Real())) << CaseName(c) << " gave " << out.Real();
  } else {
    EXPECT_EQ(out.Real(), c.expected) << CaseName(c);
    EXPECT_EQ(std::signbit(out.Real()), std::signbit(c.expected)) << CaseName(c) << " sign of zero";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MathTable,
    testing::Values(
        // abs goes through a float; the direct form does not.
        RealCase{"abs", {16777217}, 16777216}, RealCase{"abs", {-2.5}, 2.5},
        RealCase{"abs", {1e300}, kInf},
        // Whole results stay whole beyond 32 bits, NaN stays NaN, -0 becomes 0.
        RealCase{"round", {2.5}, 2}, RealCase{"round", {3.5}, 4}, RealCase{"round", {-2.5}, -2},
        RealCase{"round", {-0.4}, 0}, RealCase{"round", {1e10 + 0.5}, 1e10},
        RealCase{"round", {kNaN}, kNaN}, RealCase{"floor", {1e10 + 0.5}, 1e10},
        RealCase{"floor", {-3e9 - 0.5}, -3e9 - 1}, RealCase{"floor", {-0.0}, 0},
        RealCase{"ceil", {-0.5}, 0}, RealCase{"ceil", {4294967296.5}, 4294967297},
        RealCase{"floor", {kInf}, kInf}, RealCase{"sign", {-0.0}, 0}, RealCase{"sign", {kNaN}, -1},
        RealCase{"sign", {1e-300}, 1}, RealCase{"frac", {-2.5}, -0.5}, RealCase{"frac", {-2.0}, 0},
        RealCase{"frac", {kInf}, 0}, RealCase{"sqr", {-3}, 9}, RealCase{"sqrt", {kNaN}, kNaN},
        RealCase{"exp", {0}, 1}, RealCase{"ln", {0}, -kInf}, RealCase{"log2", {8}, 3},
        RealCase{"log10", {1000}, 3}, RealCase{"logn", {2, 8}, 3}, RealCase{"logn", {1, 5}, kInf},
        RealCase{"power", {2, 10}, 1024}, RealCase{"power", {0, -1}, kInf},
        // Trigonometry in single precision, with noise near zero snapped.
        RealCase{"sin", {kPi}, 0}, RealCase{"cos", {kPi / 2}, 0}, RealCase{"tan", {0}, 0},
        RealCase{"sin", {1}, double(float(std::sin(1.0)))}, RealCase{"cos", {kPi}, -1},
        RealCase{"arctan", {1}, double(float(std::atan(1.0)))},
        RealCase{"arctan2", {1, -1}, double(float(std::atan2(1.0, -1.0)))},
        RealCase{"arcsin", {1}, double(float(std::asin(1.0)))}, RealCase{"arccos", {1}, 0},
        // Aggregates.
        RealCase{"min", {3, 1, 1}, 1}, RealCase{"max", {3, 7, -1}, 7}, RealCase{"min", {}, 0},
        RealCase{"min3", {2, -4, 9}, -4}, RealCase{"max3", {2, -4, 9}, 9}, RealCase{"mean", {1, 2, 6}, 3},
        RealCase{"mean", {}, 0}, RealCase{"median", {3, 1, 2}, 2}, RealCase{"median", {4, 1, 3, 2}, 3},
        RealCase{"median", {}, 0}, RealCase{"median", {7}, 7},
        // Large arguments are ordered as themselves, not after a 32-bit stand-in.
        RealCase{"median", {3e9, 1, 2}, 2}, RealCase{"median", {5e9, 4e9, 3e9}, 4e9},
        RealCase{"median", {1e20, -1e20, 2147483647, 5e9}, 5e9}, RealCase{"median", {kNaN, 1, 2}, 2},
        RealCase{"clamp", {5, 10, 0}, 0}, RealCase{"clamp", {5, 0, 10}, 5}, RealCase{"clamp", {-1, 0, 10}, 0},
        RealCase{"lerp", {10, 20, 0.25}, 12.5}, RealCase{"lerp", {10, 20}, 0},
        // Geometry.
        RealCase{"point_direction", {0, 0, 0, 10}, 270}, RealCase{"point_direction", {0, 0, 10, 0}, 0},
        RealCase{"point_direction", {0, 0, 10, -10}, 45}, RealCase{"point_direction", {0, 0, 0, -10}, 90},
        RealCase{"point_direction", {5, 5, 5, 5}, 0}, RealCase{"point_direction", {0, 0, -10, 0}, 180},
        RealCase{"point_direction", {0, 0, 10, 10}, 315}, RealCase{"point_distance", {0, 0, 3, 4}, 5},
        RealCase{"point_distance", {0, 0, 0.1, 0}, double(0.1f)},
        RealCase{"point_distance_3d", {1, 2, 3, 3, 5, 9}, 7}, RealCase{"lengthdir_x", {10, 90}, 0},
        RealCase{"lengthdir_y", {10, 90}, -10}, RealCase{"lengthdir_x", {10, 180}, -10},
        RealCase{"lengthdir_y", {10, 0}, 0}, RealCase{"lengthdir_x", {1e-5, 0}, 0},
        RealCase{"lengthdir_x", {2.00001, 0}, 2}, RealCase{"lengthdir_y", {-7.00005, 90}, 7},
        // cos 60 degrees as a float is just below one half: nothing to snap.
        RealCase{"lengthdir_x", {2, 60}, double(float(std::cos(double(60.0f * float(kPi) / 180.0f))) * 2.0f)},
        RealCase{"dot_product", {1, 2, 3, 4}, 11}, RealCase{"dot_product_3d", {1, 2, 3, 4, 5, 6}, 32},
        RealCase{"dot_product_normalised", {3, 4, 3, 4}, 1}, RealCase{"dot_product_normalised", {1, 0, 0, 1}, 0},
        RealCase{"dot_product_normalised", {2, 0, -5, 0}, -1},
        // A zero-length vector has no direction.
        RealCase{"dot_product_normalised", {0, 0, 1, 1}, 0},
        RealCase{"dot_product_3d_normalised", {0, 0, 0, 1, 2, 3}, 0},
        RealCase{"dot_product_3d_normalised", {0, 0, 2, 0, 0, 7}, 1}));

TEST(MathDirectForms, KeepDoublePrecision) {
  EXPECT_EQ(Math_Abs(-16777217), 16777217);
  EXPECT_EQ(Math_Sign(-3), -1);
  EXPECT_EQ(Math_Sign(0), 0);
  EXPECT_EQ(Math_Sign(kNaN), -1);
  EXPECT_EQ(Math_AbsForCompare(-2.5), 2.5);
  EXPECT_EQ(Math_AbsForCompare(2.5), 2.5);
  EXPECT_EQ(Math_AbsForCompare(-0.0), 0);
  EXPECT_TRUE(std::isnan(Math_AbsForCompare(kNaN)));
}

TEST_F(MathBuiltins, AnglesUseTheSinglePrecisionPi) {
  EXPECT_DOUBLE_EQ(Real("degtorad", {180}), kPi);
  EXPECT_DOUBLE_EQ(Real("radtodeg", {kPi}), 180);
  EXPECT_EQ(Real("cos", {Real("degtorad", {90})}), 0);
  EXPECT_EQ(Real("sin", {Real("degtorad", {180})}), 0);
  EXPECT_EQ(Real("sin", {Real("degtorad", {90})}), 1);
}

TEST_F(MathBuiltins, DomainErrorsReportAndGiveZero) {
  struct Case {
    const char* name;
    double x;
    const char* message;
  };
  const Case cases[] = {{"sqrt", -1, "Cannot apply sqrt to negative number."},
                        {"sqrt", -kInf, "Cannot apply sqrt to negative number."},
                        {"arcsin", 1.5, "Error in function arcsin()."},
                        {"arcsin", kNaN, "Error in function arcsin()."},
                        {"arccos", -1.0000001, "Error in function arccos()."},
                        {"arccos", kInf, "Error in function arccos()."}};
  for (const Case& c : cases) {
    Outcome out = Call(c.name, {c.x});
    EXPECT_TRUE(out.reported) << c.name << "(" << c.x << ")";
    EXPECT_NE(out.report.find(c.message), std::string::npos) << out.report;
    EXPECT_EQ(out.report.find("FATAL"), std::string::npos) << out.report;
    EXPECT_EQ(out.Real(), 0);
    EXPECT_FALSE(Error_Aborting());
  }
  // A value that rounds into the range as a float is accepted.
  EXPECT_EQ(Real("arcsin", {1.00000001}), double(float(std::asin(1.0))));
}

TEST_F(MathBuiltins, MinAndMaxRefuseStrings) {
  for (const char* name : {"min", "max", "min3", "max3"}) {
    Outcome out = Call(name, {4, "x", 1});
    EXPECT_TRUE(out.reported) << name;
    std::string fn = std::string(name).substr(0, 3);
    EXPECT_NE(out.report.find("Error " + fn + "(): illegal argument; strings not permitted"), std::string::npos)
        << out.report;
    EXPECT_TRUE(out.IsReal());
    EXPECT_EQ(out.Real(), 0);
  }
  // Reals carrying container flags are not plain reals either.
  ScriptValue flagged = ScriptValue::FromReal(5);
  flagged.kind = 0x01000000;
  EXPECT_TRUE(Call("max", {1, flagged}).reported);
}

TEST_F(MathBuiltins, MedianLeavesTheCallersArgumentsAlone) {
  std::vector<ScriptValue> values = {ScriptValue::FromReal(9), ScriptValue::FromReal(1), ScriptValue::FromReal(5)};
  EXPECT_EQ(CallArgs("median", values).Real(), 5);
  EXPECT_EQ(values[0].real, 9);
  EXPECT_EQ(values[1].real, 1);
  EXPECT_EQ(values[2].real, 5);
}

TEST_F(MathBuiltins, TypeQueriesReadTheWholeKindWord) {
  ScriptValue array;
  ScriptValue one = ScriptValue::FromReal(1);
  ScriptValue_SetElement(&array, &one, 0);
  ScriptValue flagged = ScriptValue::FromReal(2);
  flagged.kind = 0x02000000;
  struct Case {
    Arg value;
    double real, string, isArray;
  };
  const Case cases[] = {{Arg(3.0), 1, 0, 0}, {Arg("s"), 0, 1, 0}, {Arg(array), 0, 0, 1}, {Arg(flagged), 0, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(Real("is_real", {c.value}), c.real);
    EXPECT_EQ(Real("is_string", {c.value}), c.string);
    EXPECT_EQ(Real("is_array", {c.value}), c.isArray);
  }
  ScriptValue_Free(&array);
}

TEST_F(MathBuiltins, ArrayLengthsAndHeight) {
  // Row 0 of length 3, row 1 empty, row 2 of length 6.
  ScriptValue array, x = ScriptValue::FromReal(7);
  ScriptValue_SetElement(&array, &x, 2);
  ScriptValue_SetElement(&array, &x, 2 * kArrayRowStride + 5);
  EXPECT_EQ(Real("array_length_1d", {array}), 3);
  EXPECT_EQ(Real("array_height_2d", {array}), 3);
  const std::pair<double, double> rows[] = {{0, 3},  {1, 0},    {2, 6},    {2.9, 6}, {3, 0},
                                            {-1, 0}, {kNaN, 3}, {1e300, 0}, {-kInf, 0}};
  for (auto [row, length] : rows) EXPECT_EQ(Real("array_length_2d", {array, row}), length) << row;
  EXPECT_EQ(Real("array_length_2d", {array, "1"}), 0);
  for (const char* name : {"array_length_1d", "array_height_2d"}) {
    EXPECT_EQ(Real(name, {5}), 0) << name;
    EXPECT_EQ(Real(name, {"abc"}), 0) << name;
  }
  ScriptValue empty;
  empty.kind = kKindArray;
  empty.array = ScriptArray_Create(&empty);
  EXPECT_EQ(Real("array_length_1d", {empty}), 0);
  EXPECT_EQ(Real("array_height_2d", {empty}), 0);
  ScriptValue_Free(&empty);
  ScriptValue_Free(&array);
}

TEST_F(MathBuiltins, RandomRangesCoverTheirEnds) {
  Random_SetSeed(7);
  std::set<double> ir5, irm5, range16, range33, chosen;
  for (int i = 0; i < 2000; ++i) {
    ir5.insert(Real("irandom", {5}));
    irm5.insert(Real("irandom", {-5}));
    range16.insert(Real("irandom_range", {6, 1}));
    range33.insert(Real("irandom_range", {3, 3}));
    double r = Real("random", {10});
    EXPECT_TRUE(r >= 0 && r < 10) << r;
    double rr = Real("random_range", {5, -5});
    EXPECT_TRUE(rr >= -5 && rr < 5) << rr;
    chosen.insert(Real("choose", {4}));
  }
  EXPECT_EQ(ir5, (std::set<double>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(irm5, (std::set<double>{-5, -4, -3, -2, -1, 0}));
  EXPECT_EQ(range16, (std::set<double>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(range33, (std::set<double>{3}));
  EXPECT_EQ(chosen, (std::set<double>{4}));
  EXPECT_EQ(Real("choose"), 0);
}

TEST_F(MathBuiltins, IRandomDrawsSixtyThreeBitsFromTwoDraws) {
  Random_SetSeed(99);
  uint64_t low = Random_Next32(), high = Random_Next32() & 0x7FFFFFFFu;
  uint64_t draw = high << 32 | low;
  Random_SetSeed(99);
  EXPECT_EQ(Real("irandom", {1e12}), double(draw % uint64_t(1e12 + 1)));
  Random_SetSeed(99);
  EXPECT_EQ(Real("irandom", {-1e12}), -double(draw % uint64_t(1e12 + 1)));
  Random_SetSeed(99);
  EXPECT_EQ(Real("irandom_range", {-10.5, 10}), -10.0 + double(draw % 21));
}

TEST_F(MathBuiltins, RandomWithUnusableBoundsStaysDefined) {
  // NaN and infinite ranges would otherwise be a modulo by zero or an
  // out-of-range conversion.
  EXPECT_EQ(Real("irandom", {kNaN}), 0);
  double r = Real("irandom", {kInf});
  EXPECT_TRUE(r >= 0 && std::isfinite(r));
  r = Real("irandom", {-kInf});
  EXPECT_TRUE(r <= 0 && std::isfinite(r));
  EXPECT_EQ(Real("irandom_range", {kNaN, kNaN}), 0);
  r = Real("irandom_range", {4, kNaN});
  EXPECT_TRUE(std::isfinite(r));
  r = Real("irandom_range", {-1e300, 1e300});
  EXPECT_TRUE(std::isfinite(r));
}

TEST_F(MathBuiltins, SeedsAreSetReadAndRandomised) {
  EXPECT_EQ(Real("random_set_seed", {1234.9}), 0);
  EXPECT_EQ(Random_GetSeed(), 1234);
  EXPECT_EQ(Real("random_get_seed"), 1234);
  double first = Real("random", {1});
  Real("random_set_seed", {1234});
  EXPECT_EQ(Real("random", {1}), first);
  // The seed reads back as an unsigned 32-bit number.
  Real("random_set_seed", {-1});
  EXPECT_EQ(Real("random_get_seed"), 4294967295.0);
  Real("random_set_seed", {kNaN});
  EXPECT_EQ(Real("random_get_seed"), 0);
  double seed = Real("randomize");
  EXPECT_EQ(Real("random_get_seed"), seed);
  EXPECT_TRUE(seed >= 0 && seed <= 4294967295.0);
}

TEST_F(MathBuiltins, EpsilonAcceptsZeroUpToOneAndOtherwiseIsFatal) {
  EXPECT_EQ(g_MathEpsilon, 1e-16);
  EXPECT_EQ(Real("math_set_epsilon", {0.25}), 0);
  EXPECT_EQ(g_MathEpsilon, 0.25);
  EXPECT_EQ(Real("math_set_epsilon", {0}), 0);
  EXPECT_EQ(g_MathEpsilon, 0);
  // A string changes nothing and reports nothing.
  Real("math_set_epsilon", {"0.5"});
  EXPECT_EQ(g_MathEpsilon, 0);
  for (double bad : {1.0, -0.001, kNaN, kInf}) {
    Error_ResetForTests();
    Outcome out = Call("math_set_epsilon", {bad});
    EXPECT_TRUE(out.reported) << bad;
    EXPECT_NE(out.report.find("FATAL ERROR"), std::string::npos) << out.report;
    EXPECT_NE(out.report.find("math_set_epsilon :: value should be between 0 and 1"), std::string::npos);
    EXPECT_TRUE(Error_Aborting());
    EXPECT_EQ(g_MathEpsilon, 0);
  }
}

// Every built-in of the group, called with every count of hostile arguments
// the parser allows for it: nothing may read past its arguments, crash or
// misbehave under the sanitizers, whatever it returns.
TEST_F(MathBuiltins, HostileArgumentsAreHarmless) {
  ScriptValue array, x = ScriptValue::FromReal(1);
  ScriptValue_SetElement(&array, &x, kArrayRowStride + 1);
  std::vector<Arg> pool = {Arg(kNaN), Arg(kInf), Arg(-kInf), Arg(1e300), Arg(-1e300), Arg(-0.0), Arg(2147483648.0),
                           Arg(-2147483649.0), Arg(""), Arg("\xE2"), Arg("a\xE2\x82"), Arg("\xC3"),
                           Arg("\xFF\xFF\x80"), Arg("h\xC3\xA9llo"), Arg(array), Arg(0.5), Arg(3.0)};
  ScriptValue_Free(&array);
  std::vector<std::string> odd;
  testing::internal::CaptureStdout();  // the reports some of these make
  for (int index = 0; index < FunctionRegistry_Count(); ++index) {
    std::string name = FunctionRegistry_Get(index)->name;
    for (int argc = 0; argc <= 6; ++argc) {
      for (size_t shift = 0; shift < pool.size(); ++shift) {
        // Exactly argc values in a block of their own, so reading past them is seen.
        std::vector<ScriptValue> values(static_cast<size_t>(argc));
        for (int i = 0; i < argc; ++i)
          ScriptValue_Copy(&values[size_t(i)], &pool[(shift + size_t(i) * 5) % pool.size()].value);
        ScriptValue result;
        FunctionRegistry_Call(index, nullptr, nullptr, &result, argc, values.data());
        if (result.kind > kKindArray) odd.push_back(name);
        ScriptValue_Free(&result);
        for (ScriptValue& v : values) ScriptValue_Free(&v);
        Error_ResetForTests();
      }
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(odd.empty()) << odd.front() << " returned a value of no kind";
}

}  // namespace
