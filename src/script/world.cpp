#include "script/world.h"

#include "script/value.h"

namespace {
bool NoVar(CObjInstance*, int32_t, int32_t, ScriptValue*) { return false; }
bool NoTargetVar(int32_t, int32_t, int32_t, ScriptValue*) { return false; }
void NoTargets(int32_t, PendingTargets, std::vector<CObjInstance*>& out) { out.clear(); }
CObjInstance* NoInstance(int32_t) { return nullptr; }
bool NotLive(const CObjInstance*) { return false; }
bool NoExternal(int32_t, int, ScriptValue*, ScriptValue*) { return false; }
size_t NoStrings() { return 0; }
std::string_view NoString(size_t) { return {}; }

constexpr ScriptWorld kEmptyWorld = {NoVar,      NoVar,   NoTargetVar, NoTargetVar, NoTargets,
                                     NoInstance, NotLive, NoExternal,  NoStrings,   NoString,
                                     0};
}  // namespace

ScriptWorld g_ScriptWorld = kEmptyWorld;

void ScriptWorld_Install(const ScriptWorld& world) { g_ScriptWorld = world; }
