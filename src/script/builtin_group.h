// A group of built-ins registered in one fixed order from families of named
// handlers, each family living beside the state it binds. A name of the
// order that no family handles yet is left out, not stubbed.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/function_registry.h"

struct NamedBuiltin {
  const char* name;
  BuiltinHandler handler;
};

struct BuiltinGroupName {
  const char* name;
  int args;
};

using BuiltinFamily = std::span<const NamedBuiltin> (*)();

struct BuiltinGroup {
  std::span<const BuiltinGroupName> order;  // every name with its count
  std::span<const BuiltinFamily> families;
};

// The handler a family gives `name`, or null: for a built-in that stands for
// another group's built-in and calls its handler.
BuiltinHandler BuiltinFamily_Find(std::span<const NamedBuiltin> family, std::string_view name);

// Registers every handled name in the order's sequence with its count.
void BuiltinGroup_Register(const BuiltinGroup& group);
// What would register wrongly: a name the order lacks (it would never be
// registered) or a name handled twice. Empty when the families are sound.
std::vector<std::string> BuiltinGroup_Faults(std::span<const BuiltinGroupName> order,
                                             std::span<const BuiltinFamily> families);
