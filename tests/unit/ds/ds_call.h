// Calls a registered built-in by name as a script would, with no instance,
// and keeps what the script would see: the result and any error text.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "ds/ds.h"
#include "ds/hash.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/world_reset.h"

namespace dstest {

constexpr const char* kMissing = "Data structure with index does not exist.";

// A fresh world with the "DS.." group registered.
class DSWorld : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Crc32_InitTable();
    InitDSFunctions();
  }
};

// A script value that owns its text.
struct Value {
  ScriptValue v;
  Value(double r) { v = ScriptValue::FromReal(r); }  // NOLINT: a number reads as a real
  Value(const char* text) { ScriptValue_SetText(&v, text); }  // NOLINT
  Value(const Value& o) { ScriptValue_Copy(&v, &o.v); }
  Value& operator=(const Value&) = delete;
  ~Value() { ScriptValue_Free(&v); }
};

struct Called {
  ScriptValue result;  // owned: freed by the destructor
  std::string error;   // "" when nothing was reported
  Called() = default;
  Called(const Called& o) : error(o.error) { ScriptValue_Copy(&result, &o.result); }
  Called& operator=(const Called&) = delete;
  ~Called() { ScriptValue_Free(&result); }
  double Real() const { return result.Real(); }
  std::string Text() const { return result.Text(); }
  bool IsString() const { return result.IsString(); }
};

// `initial` is what the caller put in the result before the call.
inline Called Call(const char* name, std::span<const Value> args, double initial = -12345) {
  const int index = FunctionRegistry_Find(name);
  EXPECT_GE(index, 0) << name << " is not registered";
  Called out;
  out.result = ScriptValue::FromReal(initial);
  if (index < 0) return out;
  std::vector<ScriptValue> values;
  for (const Value& a : args) {
    ScriptValue copy;
    ScriptValue_Copy(&copy, &a.v);
    values.push_back(copy);
  }
  Error_ResetForTests();
  FunctionRegistry_Call(index, nullptr, nullptr, &out.result, int(values.size()), values.data());
  if (Error_Occurred()) out.error = Error_LastText();
  for (ScriptValue& v : values) ScriptValue_Free(&v);
  return out;
}

inline Called Call(const char* name, std::initializer_list<Value> args = {}, double initial = -12345) {
  return Call(name, std::span<const Value>(args.begin(), args.size()), initial);
}

// As Call, with the arguments gathered at run time.
inline Called CallArgs(const char* name, const std::vector<Value>& args, double initial = -12345) {
  return Call(name, std::span<const Value>(args.data(), args.size()), initial);
}

// Each text read into the container by `read` is refused without a report:
// `write` gives what it gave before.
inline void ExpectTextsRefused(const char* read, const char* write, double id,
                               const std::vector<std::string>& texts) {
  const std::string before = Call(write, {id}).Text();
  for (const std::string& text : texts) {
    EXPECT_EQ(Call(read, {id, text.c_str()}).error, "") << text;
    EXPECT_EQ(Call(write, {id}).Text(), before) << text;
  }
  // Anything but a string is no text at all.
  Call(read, {id, 5.0});
  EXPECT_EQ(Call(write, {id}).Text(), before);
}

}  // namespace dstest
