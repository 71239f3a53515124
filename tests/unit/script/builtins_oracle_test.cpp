// The math and string built-ins against the table builtins_oracle.py writes
// at build time: a few thousand generated cases per built-in, each with the
// result an independent model computed and the report it expects, if any.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "script/builtins_math.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/oracle_hex.h"

#ifndef TW_BUILTIN_CASES
#error "TW_BUILTIN_CASES names the generated table"
#endif

namespace {

using oracle::FromHex;

// r<hex float> or s<hex bytes>.
ScriptValue Decode(const std::string& token) {
  ScriptValue v;
  if (token[0] == 'r') {
    v.real = std::strtod(token.c_str() + 1, nullptr);
  } else {
    ScriptValue_SetText(&v, FromHex(token.substr(1)).c_str());
  }
  return v;
}

std::string Show(const ScriptValue& v) {
  std::ostringstream s;
  if (v.IsString()) {
    s << '"' << v.Text() << '"';
  } else if (v.IsReal()) {
    s.precision(17);
    s << v.real;
  } else {
    s << "<kind " << v.kind << '>';
  }
  return s.str();
}

// Reals must match bit for bit (any NaN matches any NaN): the sign of a zero
// counts, and single-precision results are exactly representable.
bool Same(const ScriptValue& got, const ScriptValue& want) {
  if (want.IsString()) return got.IsString() && std::strcmp(got.Text(), want.Text()) == 0;
  if (!got.IsReal() || got.kind != kKindReal) return false;
  if (std::isnan(want.real)) return std::isnan(got.real);
  return got.real == want.real && std::signbit(got.real) == std::signbit(want.real);
}

struct Case {
  int line;
  std::string name;
  std::vector<ScriptValue> args;
  ScriptValue expected;
  std::string report;  // empty: nothing may be reported
};

std::vector<Case> LoadCases() {
  std::ifstream in(TW_BUILTIN_CASES);
  std::vector<Case> cases;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    std::istringstream words(text);
    Case c;
    c.line = line;
    words >> c.name;
    std::string w;
    while (words >> w && w != "=") c.args.push_back(Decode(w));
    words >> w;
    c.expected = Decode(w);
    words >> w;
    if (w != "-") c.report = FromHex(w.substr(1));
    cases.push_back(std::move(c));
  }
  return cases;
}

TEST(BuiltinOracle, EveryGeneratedCaseMatches) {
  std::vector<Case> cases = LoadCases();
  ASSERT_GT(cases.size(), 10000u) << "no table at " << TW_BUILTIN_CASES;

  FunctionRegistry_Free();
  InitMathFunctions();
  Error_ResetForTests();
  bool showErrors = g_ShowErrors;
  g_ShowErrors = false;

  std::map<std::string, int> perFunction;
  std::vector<std::string> failures;
  // Reports reach the output console; the expected ones would flood the log.
  testing::internal::CaptureStdout();
  for (Case& c : cases) {
    int index = FunctionRegistry_Find(c.name);
    if (index < 0) {
      failures.push_back("unknown built-in " + c.name);
      continue;
    }
    ++perFunction[c.name];
    Error_ClearOccurred();
    ScriptValue result;
    FunctionRegistry_Call(index, nullptr, nullptr, &result, int(c.args.size()), c.args.data());
    bool reported = Error_Occurred();
    bool reportOk = c.report.empty() ? !reported
                                     : reported && Error_LastText().find(c.report) != std::string::npos;
    if (!Same(result, c.expected) || !reportOk) {
      std::string call = c.name + "(";
      for (size_t i = 0; i < c.args.size(); ++i) call += (i ? ", " : "") + Show(c.args[i]);
      failures.push_back("line " + std::to_string(c.line) + ": " + call + ") gave " + Show(result) +
                         (reported ? " with a report" : "") + ", expected " + Show(c.expected) +
                         (c.report.empty() ? "" : " with the report \"" + c.report + "\""));
    }
    ScriptValue_Free(&result);
    for (ScriptValue& a : c.args) ScriptValue_Free(&a);
    ScriptValue_Free(&c.expected);
  }
  testing::internal::GetCapturedStdout();
  g_ShowErrors = showErrors;
  Error_ResetForTests();
  FunctionRegistry_Free();

  for (const char* name : {"round", "floor", "ceil", "sqrt", "power", "point_distance", "point_direction",
                           "string_length", "string_copy", "string_delete", "string_insert", "string_pos",
                           "string_replace_all", "string_count", "string_upper", "string_format", "real", "chr",
                           "ord"})
    EXPECT_GE(perFunction[name], 1000) << name;
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << cases.size() << " cases differ; the first:\n"
                                << [&] {
                                     std::string s;
                                     for (size_t i = 0; i < failures.size() && i < 25; ++i) s += failures[i] + "\n";
                                     return s;
                                   }();
}

}  // namespace
