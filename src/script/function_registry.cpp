#include "script/function_registry.h"

#include <algorithm>
#include <cstring>

#include "script/memory_manager.h"

namespace {

struct FunctionRegistry {
  FunctionEntry* entries = nullptr;
  int count = 0;
  int capacity = 0;
};
FunctionRegistry g_registry;
uint32_t g_generation = 0;

constexpr int kGrowBy = 500;

int NoName(std::string_view) { return -1; }
int NoArgCount(int) { return kNoSuchFunction; }
int (*g_findScript)(std::string_view) = NoName;
int (*g_findExtension)(std::string_view) = NoName;
int (*g_extensionArgCount)(int) = NoArgCount;

int Position(std::string_view name) {
  for (int i = 0; i < g_registry.count; ++i)
    if (std::string_view(g_registry.entries[i].name) == name) return i;
  return -1;
}

}  // namespace

void FunctionRegistry_Add(std::string_view name, BuiltinHandler handler, int argCount) {
  if (g_registry.count == g_registry.capacity) {
    g_registry.capacity += kGrowBy;
    MemoryManager::ResizeField(g_registry.entries,
                               uint32_t(g_registry.capacity) * sizeof(FunctionEntry), __FILE__,
                               __LINE__);
  }
  FunctionEntry& e = g_registry.entries[g_registry.count++];
  size_t n = std::min(name.size(), sizeof e.name - 1);
  if (n) std::memcpy(e.name, name.data(), n);
  e.name[n] = '\0';
  e.handler = handler;
  e.argCount = argCount;
  e.callCount = -1;
}

void FunctionRegistry_Replace(std::string_view name, BuiltinHandler handler) {
  int pos = Position(name);
  if (pos >= 0) g_registry.entries[pos].handler = handler;
}

int FunctionRegistry_Find(std::string_view name) {
  if (name.empty()) return -1;
  // A script hides an extension function or built-in of the same name.
  if (int n = g_findScript(name); n >= 0) return kFirstScriptFunction + n;
  if (int n = g_findExtension(name); n >= 0) return kFirstExtensionFunction + n;
  return Position(name);
}

int FunctionRegistry_GetArgCount(int index) {
  if (index >= kFirstExtensionFunction)
    return g_extensionArgCount(index - kFirstExtensionFunction);
  if (index >= kFirstScriptFunction) return kAnyArgCount;
  const FunctionEntry* e = FunctionRegistry_Get(index);
  return e ? e->argCount : kNoSuchFunction;
}

FunctionEntry* FunctionRegistry_Get(int index) {
  return index >= 0 && index < g_registry.count ? &g_registry.entries[index] : nullptr;
}

ScriptValue* FunctionRegistry_Call(int index, CObjInstance* self, CObjInstance* other,
                                   ScriptValue* result, int argc, ScriptValue* args) {
  // Compiled code's indexes were resolved at load; a stale or corrupt one
  // must not become a jump through an arbitrary pointer.
  const FunctionEntry* e = FunctionRegistry_Get(index);
  if (e && e->handler) e->handler(result, self, other, argc, args);
  return result;
}

int FunctionRegistry_Count() { return g_registry.count; }
int FunctionRegistry_Capacity() { return g_registry.capacity; }

void FunctionRegistry_Free() {
  MemoryManager::Release(g_registry.entries);
  g_registry = {};
  ++g_generation;
}

uint32_t FunctionRegistry_Generation() { return g_generation; }

void FunctionRegistry_SetScriptLookup(int (*findScript)(std::string_view)) {
  g_findScript = findScript ? findScript : NoName;
}

void FunctionRegistry_SetExtensionLookups(int (*findExtension)(std::string_view), int (*extensionArgCount)(int)) {
  g_findExtension = findExtension ? findExtension : NoName;
  g_extensionArgCount = extensionArgCount ? extensionArgCount : NoArgCount;
}
