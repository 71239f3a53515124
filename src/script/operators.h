// The language's operators on values, as constant folding and the tree
// interpreter apply them. Unlike the machine's typed instructions, equality
// here is exact and the bitwise operators round to the nearest integer.
#pragma once

class CCode;
struct ScriptValue;

// Token kinds of the operators.
enum OperatorToken : int {
  kTokAssign = 101,
  kTokAnd = 201,
  kTokOr = 202,
  kTokNot = 203,
  kTokLess = 204,
  kTokLessEqual = 205,
  kTokEqual = 206,
  kTokNotEqual = 207,
  kTokGreaterEqual = 208,
  kTokGreater = 209,
  kTokPlus = 210,
  kTokMinus = 211,
  kTokTimes = 212,
  kTokDivide = 213,
  kTokDiv = 214,
  kTokMod = 215,
  kTokXor = 216,
  kTokBitOr = 217,
  kTokBitAnd = 218,
  kTokBitXor = 219,
  kTokBitNot = 220,
  kTokShiftLeft = 221,
  kTokShiftRight = 222,
};

// The result replaces left (a real for comparisons and logical operators).
// Errors are reported as code errors of `code` at `position`; the result is
// false, except for "^^" on a string, which reports and still gives true.
bool Code_OperatorBinary(const CCode* code, int position, int op, ScriptValue* left, const ScriptValue* right);
bool Code_OperatorUnary(const CCode* code, int position, int op, ScriptValue* value);
