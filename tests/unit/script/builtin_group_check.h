// The check every built-in group made of families shares: each name stands
// once in the group's order, and the names registered so far came in that
// order with the order's counts.
#pragma once
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <unordered_set>
#include <vector>

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

// The whole group: registered in order, each family's name registered once,
// and no family fault. The names of the order.
inline std::unordered_set<std::string> ExpectGroupRegistered(const BuiltinGroup& group) {
  std::unordered_set<std::string> names = ExpectRegisteredInOrder(group.order);
  std::unordered_multiset<std::string> registered;
  for (int i = 0; i < FunctionRegistry_Count(); ++i) registered.insert(FunctionRegistry_Get(i)->name);
  for (const std::string& name : names) EXPECT_LE(registered.count(name), 1u) << name;
  for (BuiltinFamily family : group.families)
    for (const NamedBuiltin& b : family()) EXPECT_EQ(registered.count(b.name), 1u) << b.name;
  EXPECT_EQ(BuiltinGroup_Faults(group.order, group.families), std::vector<std::string>{});
  return names;
}
