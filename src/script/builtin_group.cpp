#include "script/builtin_group.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

BuiltinHandler BuiltinFamily_Find(std::span<const NamedBuiltin> family, std::string_view name) {
  for (const NamedBuiltin& b : family)
    if (name == b.name) return b.handler;
  return nullptr;
}

void BuiltinGroup_Register(const BuiltinGroup& group) {
  std::unordered_map<std::string_view, BuiltinHandler> handlers;
  for (BuiltinFamily family : group.families) {
    for (const NamedBuiltin& b : family()) handlers.emplace(b.name, b.handler);
  }
  for (const BuiltinGroupName& n : group.order) {
    auto it = handlers.find(n.name);
    if (it != handlers.end()) FunctionRegistry_Add(n.name, it->second, n.args);
  }
}

std::vector<std::string> BuiltinGroup_Faults(std::span<const BuiltinGroupName> order,
                                             std::span<const BuiltinFamily> families) {
  std::unordered_set<std::string_view> ordered, seen;
  for (const BuiltinGroupName& n : order) ordered.insert(n.name);
  std::vector<std::string> faults;
  for (BuiltinFamily family : families) {
    for (const NamedBuiltin& b : family()) {
      if (!ordered.contains(b.name)) faults.push_back(std::string(b.name) + ": not in the group's order");
      if (!seen.insert(b.name).second) faults.push_back(std::string(b.name) + ": handled twice");
    }
  }
  return faults;
}
