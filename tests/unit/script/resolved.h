// What a name resolves to, for the tests of constants and resource names.
#pragma once
#include <gtest/gtest.h>

#include "script/constants.h"
#include "script/value.h"

namespace fixture {

// The real value the name resolves to; a failure when it resolves to nothing.
inline double Resolved(const char* name) {
  ScriptValue v;
  EXPECT_TRUE(Constant_Resolve(name, &v)) << name;
  const double r = v.Real();
  ScriptValue_Free(&v);
  return r;
}

}  // namespace fixture
