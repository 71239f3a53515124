#include "graphics/transitions.h"

#include <map>

#include "script/scripts.h"

namespace {
std::map<int32_t, int32_t>& Defined() {
  static std::map<int32_t, int32_t> kinds;
  return kinds;
}
}  // namespace

bool Transition_Define(int32_t kind, std::string_view scriptName) {
  const int32_t script = Script_Find(scriptName);
  if (script < 0) return false;
  Defined()[kind] = script;
  return true;
}

bool TransFunctionExists(int32_t kind) { return (kind >= 1 && kind <= 21) || Defined().count(kind) > 0; }

int32_t Transition_Script(int32_t kind) {
  auto it = Defined().find(kind);
  return it == Defined().end() ? -1 : it->second;
}

void Transition_ClearDefined() { Defined().clear(); }
