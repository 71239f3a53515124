// The "Math.." group of built-ins: value and array queries, random numbers,
// rounding, arithmetic, trigonometry, aggregates, geometry and the comparison
// epsilon. The string built-ins register inside the same group, in its fixed
// order (builtins_string.h).
#pragma once

// Registers the whole group, string built-ins included, in their fixed order.
void InitMathFunctions();

// The epsilon of the machine's and compiled code's equality and ordering
// tests; math_set_epsilon changes it.
constexpr double kDefaultMathEpsilon = 1e-16;
extern double g_MathEpsilon;

// Direct forms the compiled game code calls without the registry.
double Math_Abs(double x);  // double precision, unlike the abs built-in
double Math_Sign(double x);
// x when x >= 0, else -0.0 - x: the |a - b| of the epsilon test.
double Math_AbsForCompare(double x);
