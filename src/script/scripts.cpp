#include "script/scripts.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "script/code.h"
#include "script/code_run.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/native_code.h"

ScriptValue g_ArgumentSlots[kScriptArgumentSlots];
uint64_t g_ScriptTableGeneration = 0;
int32_t g_ArgumentCount = 0;
int32_t g_ArgumentSlotsUsed = kScriptArgumentSlots;
BuiltinArgumentDoor g_BuiltinArgumentDoor{-1, g_ArgumentSlots};

namespace {
std::vector<std::unique_ptr<CScript>> g_scripts;
std::vector<std::string> g_names;
ScriptCompiler g_compiler = nullptr;

int FindForRegistry(std::string_view name) { return Script_Find(name); }

void InstallLookup() { FunctionRegistry_SetScriptLookup(FindForRegistry); }

// The error text of a failed call prefixed with the script's name. The
// message itself is never cut off, and a recursion that failed deep down
// names each script once rather than once per level.
std::string WithScriptName(const std::string& name, const std::string& text) {
  const std::string line = "In script " + name + ":\n";
  if (text.compare(0, line.size(), line) == 0) return text;
  int lines = 0;
  for (size_t at = 0; text.compare(at, 10, "In script ") == 0 && lines < 8; ++lines) {
    at = text.find('\n', at);
    if (at == std::string::npos) break;
    ++at;
  }
  if (lines >= 8) return text;
  return line + text;
}
}  // namespace

CScript::CScript(std::string name) : name_(std::move(name)) {}
CScript::~CScript() { ++g_ScriptTableGeneration; }

void CScript::SetCodeIndex(int32_t index) {
  ++g_ScriptTableGeneration;
  code_.reset();
  native_ = nullptr;
  text_.clear();
  index_ = index;
}

void CScript::SetText(std::string text) {
  ++g_ScriptTableGeneration;
  code_.reset();
  native_ = nullptr;
  text_ = std::move(text);
  index_ = -1;
}

void CScript::BindNative(const NativeCodeEntry* entry) {
  ++g_ScriptTableGeneration;
  code_.reset();
  native_ = entry;
}

bool CScript::Compile() {
  ++g_ScriptTableGeneration;
  if (Code_HasNativeTable()) {
    BindNative(Code_NativeEntry(index_));
    return true;
  }
  if (index_ >= 0) {
    code_ = std::make_unique<CCode>(int(index_), false);
    return true;
  }
  code_ = std::make_unique<CCode>(text_, false);
  std::string name = "Script." + name_;
  if (name.size() > 255) name.resize(255);
  code_->SetName(name);
  return !g_compiler || g_compiler(code_.get(), code_->Name());
}

void Script_SetCompiler(ScriptCompiler compiler) { g_compiler = compiler; }

void Script_DeleteAll() {
  ++g_ScriptTableGeneration;
  g_scripts.clear();
  g_names.clear();
}

void Script_Clear() { Script_DeleteAll(); }

void Script_SetTable(std::vector<std::unique_ptr<CScript>> scripts) {
  Script_DeleteAll();
  g_names.assign(scripts.size(), std::string());
  for (size_t i = 0; i < scripts.size(); ++i)
    if (scripts[i]) g_names[i] = scripts[i]->Name();
  g_scripts = std::move(scripts);
  ++g_ScriptTableGeneration;
  InstallLookup();
}

bool Script_Prepare() {
  for (auto& script : g_scripts) {
    if (!script || script->Compile()) continue;
    char text[2048];
    std::snprintf(text, sizeof text, "COMPILATION ERROR in Script: %s\n%s", script->Name().c_str(),
                  Code_PendingErrorText().c_str());
    Error_Report(ErrorSeverity::kAbort, text);
    return false;
  }
  return true;
}

void Script_Shutdown() { Script_DeleteAll(); }

void Arguments_FreeAll() {
  for (ScriptValue& v : g_ArgumentSlots) ScriptValue_Free(&v);
}

int32_t Arguments_CountUsed() {
  int32_t used = kScriptArgumentSlots;
  while (used > 0) {
    const ScriptValue& v = g_ArgumentSlots[used - 1];
    uint64_t bits;
    std::memcpy(&bits, &v.real, sizeof bits);
    if (v.kind != kKindReal || bits != 0) break;
    --used;
  }
  return used;
}

int32_t Script_Count() { return int32_t(g_scripts.size()); }

CScript* Script_Get(int32_t index) {
  if (index < 0 || size_t(index) >= g_scripts.size()) return nullptr;
  return g_scripts[size_t(index)].get();
}

bool Script_Exists(int32_t index) { return Script_Get(index) != nullptr; }

std::string Script_GetName(int32_t index) { return Script_Exists(index) ? g_names[size_t(index)] : "<undefined>"; }

int32_t Script_Find(std::string_view name) {
  for (size_t i = 0; i < g_scripts.size(); ++i) {
    if (g_scripts[i] && g_names[i] == name) return int32_t(i);
  }
  return -1;
}

bool Script_Run(int32_t index, CObjInstance* self, CObjInstance* other, int argc, ScriptValue* result,
                const ScriptValue* args) {
  CScript* script = Script_Get(index);
  if (!script) return false;
  ScriptValue saved[kScriptArgumentSlots];
  std::memcpy(static_cast<void*>(saved), g_ArgumentSlots, sizeof saved);
  const int32_t savedCount = g_ArgumentCount;
  const int32_t savedUsed = g_ArgumentSlotsUsed;
  if (argc < 0) argc = 0;
  const int used = argc < kScriptArgumentSlots ? argc : kScriptArgumentSlots;
  // The script sees its own count, and the caller gets its own back.
  g_ArgumentCount = used;
  g_ArgumentSlotsUsed = used;
  for (int i = 0; i < kScriptArgumentSlots; ++i) {
    new (&g_ArgumentSlots[i]) ScriptValue;
    if (i < used) ScriptValue_Copy(&g_ArgumentSlots[i], &args[i]);
  }
  bool ok = true;
  if (CCode* code = script->Code()) {
    if (!Code_RunOrErrorValue(self, other, code, result)) {
      Code_SetPendingErrorText(WithScriptName(script->Name(), Code_PendingErrorText()));
      ok = false;
    }
  } else if (const NativeCodeEntry* native = script->Native()) {
    if (native->script) {
      ScriptValue* slots[kScriptArgumentSlots];
      for (int i = 0; i < kScriptArgumentSlots; ++i) slots[i] = &g_ArgumentSlots[i];
      // The count handed on is the one the slots hold, so the body never
      // reads past them.
      native->script(self, other, result, used, slots);
    } else if (native->fn) {
      native->fn(self, other);
    }
  }
  for (ScriptValue& v : g_ArgumentSlots)
    if (!v.IsReal()) ScriptValue_Free(&v);  // reals own nothing
  std::memcpy(static_cast<void*>(g_ArgumentSlots), saved, sizeof saved);
  g_ArgumentCount = savedCount;
  g_ArgumentSlotsUsed = savedUsed;
  return ok;
}

int32_t Script_AddForTests(std::unique_ptr<CScript> script) {
  g_names.push_back(script ? script->Name() : std::string());
  g_scripts.push_back(std::move(script));
  ++g_ScriptTableGeneration;
  InstallLookup();
  return int32_t(g_scripts.size() - 1);
}
