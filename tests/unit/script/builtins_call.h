// Calling registered built-ins by name from tests, with the registry holding
// just the "Math.." group and error reports captured instead of shown.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "script/builtins_math.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/world_reset.h"

// An argument: a real, a text, or a value built elsewhere (copied in).
struct Arg {
  ScriptValue value;
  Arg(double x) { value.real = x; }
  Arg(int x) { value.real = x; }
  Arg(const char* text) { ScriptValue_SetText(&value, text); }
  Arg(const ScriptValue& v) { ScriptValue_Copy(&value, &v); }
  Arg(const Arg& other) { ScriptValue_Copy(&value, &other.value); }
  Arg& operator=(const Arg&) = delete;
  ~Arg() { ScriptValue_Free(&value); }
};

// The result of one call and what it reported.
struct Outcome {
  ScriptValue result;
  bool reported = false;
  std::string report;  // the full text of the last report
  Outcome() = default;
  Outcome(const Outcome& o) : reported(o.reported), report(o.report) { ScriptValue_Copy(&result, &o.result); }
  Outcome& operator=(const Outcome&) = delete;
  ~Outcome() { ScriptValue_Free(&result); }

  double Real() const { return result.Real(); }
  std::string Text() const { return result.Text(); }
  bool IsText() const { return result.IsString(); }
  bool IsReal() const { return result.kind == kKindReal; }
};

class BuiltinsTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitMathFunctions();
  }

  // As the instances self and other when given.
  static Outcome CallArgs(const std::string& name, std::vector<ScriptValue>& values, CObjInstance* self = nullptr,
                          CObjInstance* other = nullptr) {
    int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name << " is not registered";
    Outcome out;
    Error_ClearOccurred();
    testing::internal::CaptureStdout();  // reports reach the output console
    FunctionRegistry_Call(index, self, other, &out.result, int(values.size()), values.data());
    testing::internal::GetCapturedStdout();
    out.reported = Error_Occurred();
    if (out.reported) out.report = Error_LastText();
    return out;
  }

  static Outcome Call(const std::string& name, std::initializer_list<Arg> args = {}) {
    return CallAs(nullptr, nullptr, name, args);
  }

  static Outcome CallAs(CObjInstance* self, CObjInstance* other, const std::string& name,
                        std::initializer_list<Arg> args = {}) {
    std::vector<ScriptValue> values(args.size());
    size_t i = 0;
    for (const Arg& a : args) ScriptValue_Copy(&values[i++], &a.value);
    Outcome out = CallArgs(name, values, self, other);
    for (ScriptValue& v : values) ScriptValue_Free(&v);
    return out;
  }

  static double Real(const std::string& name, std::initializer_list<Arg> args = {}) {
    Outcome out = Call(name, args);
    EXPECT_TRUE(out.IsReal()) << name;
    EXPECT_FALSE(out.reported) << name << ": " << out.report;
    return out.Real();
  }

  static std::string Text(const std::string& name, std::initializer_list<Arg> args = {}) {
    Outcome out = Call(name, args);
    EXPECT_TRUE(out.IsText()) << name;
    EXPECT_FALSE(out.reported) << name << ": " << out.report;
    return out.Text();
  }

};
