#include "script/variable_names.h"

#include <cstring>

#include "script/memory_manager.h"

namespace {

struct VariableNameTable {
  char** names = nullptr;
  int count = 0;
};
VariableNameTable g_names;

int NoBuiltinFind(std::string_view) { return -1; }
const char* NoBuiltinName(int) { return "<unknown built-in variable>"; }
BuiltinVarLookups g_builtins = {NoBuiltinFind, NoBuiltinName};

int Position(std::string_view name) {
  for (int i = 0; i < g_names.count; ++i)
    if (std::string_view(g_names.names[i]) == name) return i;
  return -1;
}

}  // namespace

int VariableName_FindOrAdd(std::string_view name) {
  int pos = Position(name);
  if (pos >= 0) return kFirstUserVariableId + pos;
  // One entry at a time: the table only grows while code is bound or compiled.
  MemoryManager::ResizeField(g_names.names, uint32_t(g_names.count + 1) * sizeof(char*), __FILE__,
                             __LINE__);
  auto* copy = static_cast<char*>(TW_ALLOC(uint32_t(name.size() + 1), false));
  if (!name.empty()) std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = '\0';
  g_names.names[g_names.count] = copy;
  return kFirstUserVariableId + g_names.count++;
}

int VariableName_Lookup(std::string_view name) {
  int pos = Position(name);
  return pos < 0 ? -1 : kFirstUserVariableId + pos;
}

int VariableName_ToID(std::string_view name) {
  int builtin = g_builtins.find(name);
  return builtin >= 0 ? builtin : VariableName_FindOrAdd(name);
}

const char* VariableName_FromID(int id) {
  if (id < kFirstUserVariableId) return g_builtins.getName(id);
  int pos = id - kFirstUserVariableId;
  return pos < g_names.count ? g_names.names[pos] : "<unknown variable>";
}

int VariableName_Count() { return g_names.count; }

void VariableName_Free() {}

void VariableName_SetBuiltinLookups(const BuiltinVarLookups& lookups) {
  g_builtins = {lookups.find ? lookups.find : NoBuiltinFind,
                lookups.getName ? lookups.getName : NoBuiltinName};
}
