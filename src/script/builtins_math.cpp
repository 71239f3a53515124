#include "script/builtins_math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "script/builtin_args.h"
#include "script/builtins_string.h"
#include "script/convert.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/random.h"
#include "script/value.h"

double g_MathEpsilon = kDefaultMathEpsilon;

double Math_Abs(double x) { return std::fabs(x); }

double Math_Sign(double x) { return x > 0 ? 1.0 : x == 0 ? 0.0 : -1.0; }

double Math_AbsForCompare(double x) { return x >= 0 ? x : -0.0 - x; }

namespace {

// Scripts see the single-precision pi.
constexpr float kPi = 3.1415927f;
constexpr double kPiD = kPi;

inline float F(double x) { return static_cast<float>(x); }

// Adding +0.0 turns -0.0 into 0, so whole results print and compare as the
// integers they stand for.
inline double Whole(double x) { return x + 0.0; }


// ---- Types and arrays ---------------------------------------------------------

// The whole kind word counts: a flagged real is none of the three.
TW_BUILTIN(F_IsReal) { Return(result, argc >= 1 && args[0].kind == kKindReal); }
TW_BUILTIN(F_IsString) { Return(result, argc >= 1 && args[0].kind == kKindString); }
TW_BUILTIN(F_IsArray) { Return(result, argc >= 1 && args[0].kind == kKindArray); }

TW_BUILTIN(F_ArrayLength1D) {
  if (argc < 1 || !args[0].IsArray() || !args[0].array) return;
  const ScriptArray* a = args[0].array;
  Return(result, a->rowCount > 0 ? a->rows[0].length : 0);
}

TW_BUILTIN(F_ArrayLength2D) {
  if (argc != 2 || !args[0].IsArray() || !args[0].array || !args[1].IsReal()) return;
  const ScriptArray* a = args[0].array;
  int32_t row = Real_ToInt32(args[1].real);
  if (row >= 0 && row < a->rowCount) Return(result, a->rows[row].length);
}

TW_BUILTIN(F_ArrayHeight2D) {
  if (argc != 1 || !args[0].IsArray() || !args[0].array) return;
  Return(result, args[0].array->rowCount);
}

// ---- Random numbers -------------------------------------------------------------

// Two draws, the first as the low word, the second as the high word without
// its top bit.
uint64_t Draw63() {
  uint64_t low = Random_Next32();
  uint64_t high = Random_Next32() & 0x7FFFFFFFu;
  return high << 32 | low;
}

TW_BUILTIN(F_Random) { Return(result, Random_Real(1.0) * Arg(argc, args, 0)); }

TW_BUILTIN(F_RandomRange) {
  double a = Arg(argc, args, 0), b = Arg(argc, args, 1);
  Return(result, Random_Real(1.0) * std::fabs(b - a) + std::min(a, b));
}

TW_BUILTIN(F_IRandom) {
  double x = Arg(argc, args, 0);
  int64_t n = Real_ToInt64(x >= 0 ? x + 1 : x - 1);
  if (n == 0) return;  // only NaN gets here; a zero range has one answer
  uint64_t range = n < 0 ? 0 - uint64_t(n) : uint64_t(n);
  double r = double(Draw63() % range);
  Return(result, n < 0 ? 0.0 - r : r);
}

TW_BUILTIN(F_IRandomRange) {
  double a = Arg(argc, args, 0), b = Arg(argc, args, 1);
  double lo = a < b ? a : b;
  int64_t range = Real_ToInt64(std::fabs(b - a) + 1);
  if (range < 1) range = 1;  // NaN bounds: no modulo by zero
  Return(result, Whole(double(Real_ToInt64(lo)) + double(Draw63() % uint64_t(range))));
}

TW_BUILTIN(F_RandomSetSeed) { Random_SetSeed(Real_ToInt32(Arg(argc, args, 0))); }

TW_BUILTIN(F_RandomGetSeed) { Return(result, double(uint32_t(Random_GetSeed()))); }

TW_BUILTIN(F_Randomize) {
  // The run's clock plus its base is the platform clock itself.
  auto t = uint64_t(Clock_Microseconds());
  auto low = uint32_t(t), high = uint32_t(t >> 32);
  uint32_t seed = (low + high) ^ uint32_t((t >> 16) & 0xFFFF) ^ (low << 16);
  Random_SetSeed(int32_t(seed));
  Return(result, double(seed));
}

// ---- Rounding and arithmetic ------------------------------------------------------

TW_BUILTIN(F_Abs) { Return(result, std::fabs(F(Arg(argc, args, 0)))); }

// Rounding keeps the whole real: integers beyond 32 bits stay exact and NaN
// stays NaN rather than turning into some 32-bit number.
TW_BUILTIN(F_Round) { Return(result, Whole(std::nearbyint(Arg(argc, args, 0)))); }
TW_BUILTIN(F_Floor) { Return(result, Whole(std::floor(Arg(argc, args, 0)))); }
TW_BUILTIN(F_Ceil) { Return(result, Whole(std::ceil(Arg(argc, args, 0)))); }

TW_BUILTIN(F_Sign) { Return(result, Math_Sign(Arg(argc, args, 0))); }

TW_BUILTIN(F_Frac) {
  double whole;
  Return(result, Whole(std::modf(Arg(argc, args, 0), &whole)));
}

TW_BUILTIN(F_Sqrt) {
  double x = Arg(argc, args, 0);
  if (x < 0) {
    Error_ReportRuntime(ErrorSeverity::kError, "Cannot apply sqrt to negative number.");
    return;
  }
  Return(result, std::sqrt(x));
}

TW_BUILTIN(F_Sqr) {
  double x = Arg(argc, args, 0);
  Return(result, x * x);
}

TW_BUILTIN(F_Exp) { Return(result, std::exp(Arg(argc, args, 0))); }
TW_BUILTIN(F_Ln) { Return(result, std::log(Arg(argc, args, 0))); }
TW_BUILTIN(F_Log2) { Return(result, std::log(Arg(argc, args, 0)) / std::log(2.0)); }
TW_BUILTIN(F_Log10) { Return(result, std::log10(Arg(argc, args, 0))); }
TW_BUILTIN(F_Power) { Return(result, std::pow(Arg(argc, args, 0), Arg(argc, args, 1))); }
TW_BUILTIN(F_LogN) { Return(result, std::log(Arg(argc, args, 1)) / std::log(Arg(argc, args, 0))); }

// ---- Trigonometry, in single precision ---------------------------------------------

// Results this close to zero are the rounding noise of the float pi.
double SnapTrig(float r) { return std::fabs(double(r)) < 0.00001 ? 0.0 : double(r); }

template <double (*Fn)(double)>
TW_BUILTIN(F_Trig) {
  Return(result, SnapTrig(F(Fn(F(Arg(argc, args, 0))))));
}

double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }
double Tan(double x) { return std::tan(x); }
double ArcTan(double x) { return std::atan(x); }

TW_BUILTIN(F_ArcSin) {
  float x = F(Arg(argc, args, 0));
  if (!(x >= -1.0f && x <= 1.0f)) {
    Error_ReportRuntime(ErrorSeverity::kError, "Error in function arcsin().");
    return;
  }
  Return(result, SnapTrig(F(std::asin(double(x)))));
}

TW_BUILTIN(F_ArcCos) {
  float x = F(Arg(argc, args, 0));
  if (!(x >= -1.0f && x <= 1.0f)) {
    Error_ReportRuntime(ErrorSeverity::kError, "Error in function arccos().");
    return;
  }
  Return(result, SnapTrig(F(std::acos(double(x)))));
}

TW_BUILTIN(F_ArcTan2) {
  float y = F(Arg(argc, args, 0)), x = F(Arg(argc, args, 1));
  Return(result, SnapTrig(F(std::atan2(double(y), double(x)))));
}

TW_BUILTIN(F_DegToRad) { Return(result, Arg(argc, args, 0) * kPiD / 180.0); }
TW_BUILTIN(F_RadToDeg) { Return(result, Arg(argc, args, 0) * 180.0 / kPiD); }

// ---- Aggregates --------------------------------------------------------------------

void MinMax(ScriptValue* result, int argc, const ScriptValue* args, bool max, const char* error) {
  if (argc <= 0) return;
  for (int i = 0; i < argc; ++i) {
    if (args[i].kind != kKindReal) {
      Error_ReportRuntime(ErrorSeverity::kError, error);
      return;
    }
  }
  int best = 0;  // the earliest wins ties
  for (int i = 1; i < argc; ++i)
    if (max ? args[i].real > args[best].real : args[i].real < args[best].real) best = i;
  Return(result, args[best].real);
}

TW_BUILTIN(F_Min) { MinMax(result, argc, args, false, "Error min(): illegal argument; strings not permitted"); }
TW_BUILTIN(F_Max) { MinMax(result, argc, args, true, "Error max(): illegal argument; strings not permitted"); }

TW_BUILTIN(F_Mean) {
  if (argc <= 0) return;
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum += args[i].Real();
  Return(result, sum / argc);
}

// The middle of the sorted arguments (the upper middle for an even count).
// The caller's arguments are left alone and every real takes part at its own
// size, however large; NaN sorts after everything.
TW_BUILTIN(F_Median) {
  if (argc <= 0) return;
  std::vector<double> v;
  v.reserve(size_t(argc));
  for (int i = 0; i < argc; ++i) v.push_back(args[i].Real());
  std::stable_sort(v.begin(), v.end(), [](double a, double b) {
    return a < b || (!std::isnan(a) && std::isnan(b));
  });
  Return(result, v[size_t(argc / 2)]);
}

TW_BUILTIN(F_Choose) {
  if (argc <= 0) return;
  int k = std::min(Random_Int(argc), argc - 1);
  ScriptValue_Copy(result, &args[k]);
}

TW_BUILTIN(F_Clamp) {
  if (argc < 3) return;
  double r = args[0].Real(), lo = args[1].Real(), hi = args[2].Real();
  if (r < lo) r = lo;
  if (hi < r) r = hi;
  Return(result, r);
}

TW_BUILTIN(F_Lerp) {
  if (argc != 3) return;
  double a = args[0].Real(), b = args[1].Real(), t = args[2].Real();
  Return(result, (b - a) * t + a);
}

// ---- Geometry ----------------------------------------------------------------------

// Products of floats are exact in double; the sum is rounded once more to float.
float LengthF(float dx, float dy, float dz = 0.0f) {
  float sum = F(double(dx) * dx + double(dy) * dy + double(dz) * dz);
  return F(std::sqrt(double(sum)));
}

TW_BUILTIN(F_PointDistance) {
  float dx = F(Arg(argc, args, 2)) - F(Arg(argc, args, 0));
  float dy = F(Arg(argc, args, 3)) - F(Arg(argc, args, 1));
  Return(result, LengthF(dx, dy));
}

TW_BUILTIN(F_PointDistance3D) {
  float dx = F(Arg(argc, args, 3)) - F(Arg(argc, args, 0));
  float dy = F(Arg(argc, args, 4)) - F(Arg(argc, args, 1));
  float dz = F(Arg(argc, args, 5)) - F(Arg(argc, args, 2));
  Return(result, LengthF(dx, dy, dz));
}

TW_BUILTIN(F_PointDirection) {
  float dx = F(Arg(argc, args, 2)) - F(Arg(argc, args, 0));
  float dy = F(Arg(argc, args, 3)) - F(Arg(argc, args, 1));
  if (dx == 0.0f) {
    Return(result, dy > 0 ? 270.0 : dy < 0 ? 90.0 : 0.0);
    return;
  }
  float a = F(std::atan2(double(dy), double(dx)));
  a = a * 180.0f;
  a = a / kPi;
  // Room y grows downwards, so the angle turns the other way.
  float r = a <= 0 ? -a : 360.0f - a;
  Return(result, Whole(r));
}

// A result within 0.0001 of a whole number is taken as that number.
double SnapLength(float r) {
  float whole = std::trunc(r);
  return Whole(std::fabs(r - whole) < 0.0001f ? whole : r);
}

float Radians(double degrees) { return F(degrees) * kPi / 180.0f; }

TW_BUILTIN(F_LengthDirX) {
  float len = F(Arg(argc, args, 0));
  float c = F(std::cos(double(Radians(Arg(argc, args, 1)))));
  Return(result, SnapLength(c * len));
}

TW_BUILTIN(F_LengthDirY) {
  float len = F(Arg(argc, args, 0));
  float s = F(std::sin(double(Radians(Arg(argc, args, 1)))));
  Return(result, SnapLength(-s * len));
}

TW_BUILTIN(F_DotProduct) {
  Return(result, Arg(argc, args, 0) * Arg(argc, args, 2) + Arg(argc, args, 1) * Arg(argc, args, 3));
}

TW_BUILTIN(F_DotProduct3D) {
  Return(result, Arg(argc, args, 0) * Arg(argc, args, 3) + Arg(argc, args, 1) * Arg(argc, args, 4) +
                     Arg(argc, args, 2) * Arg(argc, args, 5));
}

// A zero-length vector has no direction: 0 instead of 0/0.
double Normalised(float dot, float length1, float length2) {
  float denominator = length1 * length2;
  return denominator == 0.0f ? 0.0 : double(dot / denominator);
}

TW_BUILTIN(F_DotProductNormalised) {
  float x1 = F(Arg(argc, args, 0)), y1 = F(Arg(argc, args, 1));
  float x2 = F(Arg(argc, args, 2)), y2 = F(Arg(argc, args, 3));
  float dot = x1 * x2 + y1 * y2;
  Return(result, Normalised(dot, std::sqrt(x1 * x1 + y1 * y1), std::sqrt(x2 * x2 + y2 * y2)));
}

TW_BUILTIN(F_DotProduct3DNormalised) {
  float x1 = F(Arg(argc, args, 0)), y1 = F(Arg(argc, args, 1)), z1 = F(Arg(argc, args, 2));
  float x2 = F(Arg(argc, args, 3)), y2 = F(Arg(argc, args, 4)), z2 = F(Arg(argc, args, 5));
  float dot = x1 * x2 + y1 * y2 + z1 * z2;
  Return(result, Normalised(dot, std::sqrt(x1 * x1 + y1 * y1 + z1 * z1),
                            std::sqrt(x2 * x2 + y2 * y2 + z2 * z2)));
}

TW_BUILTIN(F_MathSetEpsilon) {
  if (argc != 1 || args[0].IsString()) return;
  double x = args[0].Real();
  if (args[0].IsReal() && x >= 0 && x < 1)
    g_MathEpsilon = x;
  else
    Error_ReportRuntime(ErrorSeverity::kAbort, "math_set_epsilon :: value should be between 0 and 1");
}

#undef TW_BUILTIN

}  // namespace

void InitMathFunctions() {
  struct Entry {
    const char* name;
    BuiltinHandler handler;
    int argCount;
  };
  static const Entry kBefore[] = {
      {"is_real", F_IsReal, 1},
      {"is_string", F_IsString, 1},
      {"is_array", F_IsArray, 1},
      {"array_length_1d", F_ArrayLength1D, 1},
      {"array_length_2d", F_ArrayLength2D, 2},
      {"array_height_2d", F_ArrayHeight2D, 1},
      {"random", F_Random, 1},
      {"random_range", F_RandomRange, 2},
      {"irandom", F_IRandom, 1},
      {"irandom_range", F_IRandomRange, 2},
      {"random_set_seed", F_RandomSetSeed, 1},
      {"random_get_seed", F_RandomGetSeed, 0},
      {"randomize", F_Randomize, 0},
      {"abs", F_Abs, 1},
      {"round", F_Round, 1},
      {"floor", F_Floor, 1},
      {"ceil", F_Ceil, 1},
      {"sign", F_Sign, 1},
      {"frac", F_Frac, 1},
      {"sqrt", F_Sqrt, 1},
      {"sqr", F_Sqr, 1},
      {"exp", F_Exp, 1},
      {"ln", F_Ln, 1},
      {"log2", F_Log2, 1},
      {"log10", F_Log10, 1},
      {"sin", F_Trig<Sin>, 1},
      {"cos", F_Trig<Cos>, 1},
      {"tan", F_Trig<Tan>, 1},
      {"arcsin", F_ArcSin, 1},
      {"arccos", F_ArcCos, 1},
      {"arctan", F_Trig<ArcTan>, 1},
      {"arctan2", F_ArcTan2, 2},
      {"degtorad", F_DegToRad, 1},
      {"radtodeg", F_RadToDeg, 1},
      {"power", F_Power, 2},
      {"logn", F_LogN, 2},
      {"min", F_Min, kAnyArgCount},
      {"max", F_Max, kAnyArgCount},
      {"min3", F_Min, 3},
      {"max3", F_Max, 3},
      {"mean", F_Mean, kAnyArgCount},
      {"median", F_Median, kAnyArgCount},
      {"choose", F_Choose, kAnyArgCount},
      {"clamp", F_Clamp, 3},
      {"lerp", F_Lerp, 3},
  };
  static const Entry kAfter[] = {
      {"point_distance", F_PointDistance, 4},
      {"point_direction", F_PointDirection, 4},
      {"lengthdir_x", F_LengthDirX, 2},
      {"lengthdir_y", F_LengthDirY, 2},
      {"point_distance_3d", F_PointDistance3D, 6},
      {"dot_product", F_DotProduct, 4},
      {"dot_product_normalised", F_DotProductNormalised, 4},
      {"dot_product_3d", F_DotProduct3D, 6},
      {"dot_product_3d_normalised", F_DotProduct3DNormalised, 6},
      {"math_set_epsilon", F_MathSetEpsilon, 1},
  };
  for (const Entry& e : kBefore) FunctionRegistry_Add(e.name, e.handler, e.argCount);
  InitStringFunctions();
  for (const Entry& e : kAfter) FunctionRegistry_Add(e.name, e.handler, e.argCount);
}
