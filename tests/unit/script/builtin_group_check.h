// The check every built-in group made of families shares: each name stands
// once in the group's order, and the names registered so far came in that
// order with the order's counts.
#pragma once
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <unordered_set>

#include "script/builtin_group.h"
#include "script/function_registry.h"

// The names of the order.
inline std::unordered_set<std::string> ExpectRegisteredInOrder(std::span<const BuiltinGroupName> order) {
  std::unordered_set<std::string> group;
  int last = -1;
  for (const BuiltinGroupName& n : order) {
    EXPECT_TRUE(group.insert(n.name).second) << n.name << " stands twice in the order";
    const int index = FunctionRegistry_Find(n.name);
    if (index < 0) continue;  // no family handles it yet
    EXPECT_GT(index, last) << n.name << " is registered out of the group's order";
    last = index;
    EXPECT_EQ(FunctionRegistry_GetArgCount(index), n.args) << n.name;
  }
  return group;
}
