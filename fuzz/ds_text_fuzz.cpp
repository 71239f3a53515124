// Feeds arbitrary text to every container's read built-in, called by name as
// a script calls it. A read may refuse the text or take what it can, but it
// never crashes or allocates for counts the text cannot hold; what it took
// writes out a text that reads into a second container and writes out the
// same again; and every block is given back. Families not registered in this
// build are skipped. The base64 decoder gets the same text.
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "ds/ds.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/value.h"

namespace {

struct Family {
  const char* create;
  std::vector<double> createArgs;
  const char* read;
  const char* write;
  const char* destroy;
};

const Family kFamilies[] = {
    {"ds_stack_create", {}, "ds_stack_read", "ds_stack_write", "ds_stack_destroy"},
    {"ds_queue_create", {}, "ds_queue_read", "ds_queue_write", "ds_queue_destroy"},
    {"ds_list_create", {}, "ds_list_read", "ds_list_write", "ds_list_destroy"},
    {"ds_map_create", {}, "ds_map_read", "ds_map_write", "ds_map_destroy"},
    {"ds_priority_create", {}, "ds_priority_read", "ds_priority_write", "ds_priority_destroy"},
    {"ds_grid_create", {1, 1}, "ds_grid_read", "ds_grid_write", "ds_grid_destroy"},
};

bool Registered(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (FunctionRegistry_Find(name) < 0) return false;
  return true;
}

// Runs a built-in on copies of the arguments and hands back its result.
ScriptValue Run(const char* name, const std::vector<ScriptValue>& args) {
  std::vector<ScriptValue> copies(args.size());
  for (size_t i = 0; i < args.size(); ++i) ScriptValue_Copy(&copies[i], &args[i]);
  ScriptValue result;
  FunctionRegistry_Call(FunctionRegistry_Find(name), nullptr, nullptr, &result, int(copies.size()), copies.data());
  for (ScriptValue& v : copies) ScriptValue_Free(&v);
  return result;
}

ScriptValue Text(const std::string& text) {
  ScriptValue v;
  ScriptValue_SetText(&v, text.c_str());
  return v;
}

double Create(const Family& f) {
  std::vector<ScriptValue> args;
  for (double a : f.createArgs) args.push_back(ScriptValue::FromReal(a));
  return Run(f.create, args).Real();
}

// Reads the text into a new container and writes that container out.
std::string ReadAndWrite(const Family& f, const std::string& input) {
  ScriptValue id = ScriptValue::FromReal(Create(f));
  ScriptValue text = Text(input);
  ScriptValue none = Run(f.read, {id, text});
  ScriptValue_Free(&none);
  ScriptValue_Free(&text);
  ScriptValue written = Run(f.write, {id});
  std::string out = written.Text();
  ScriptValue_Free(&written);
  none = Run(f.destroy, {id});
  ScriptValue_Free(&none);
  return out;
}

void Base64(const std::string& input) {
  if (!Registered({"buffer_base64_decode"})) return;
  ScriptValue text = Text(input);
  ScriptValue buffer = Run("buffer_base64_decode", {text});
  ScriptValue_Free(&text);
  if (buffer.Real() >= 0 && Registered({"buffer_delete"})) {
    ScriptValue none = Run("buffer_delete", {buffer});
    ScriptValue_Free(&none);
  }
  ScriptValue_Free(&buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    g_ShowErrors = false;
    InitDSFunctions();
    InitBufferFunctions();
    return true;
  }();
  (void)ready;
  const std::string input(reinterpret_cast<const char*>(data), size);
  Error_ResetForTests();
  const uint32_t blocks = MemoryManager::LiveBlocks();
  for (const Family& f : kFamilies) {
    if (!Registered({f.create, f.read, f.write, f.destroy})) continue;
    const std::string first = ReadAndWrite(f, input);
    if (ReadAndWrite(f, first) != first) std::abort();
  }
  Base64(input);
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
