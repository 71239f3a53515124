#include "files/files.h"
#include "files/script_output.h"
#include "files/misc_group.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/builtin_vars.h"
#include "script/console.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/value.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace {
}  // namespace

std::optional<std::string> LoadSave_ChooseGameFile() {
  // A scripted answer for tests; an empty answer is a cancelled dialog.
  if (const char* answer = std::getenv("TARNWICKE_CHOOSE_FILE")) {
    if (!*answer) return std::nullopt;
    return std::string(answer);
  }
  return std::nullopt;
}

void Support_SetCaption(const std::string& caption) { MessageBox_SetGameCaption(caption); }
const std::string& Support_GetCaption() { return MessageBox_GameCaption(); }
void Support_MessageBox(const std::string& text) { MessageBox_Show(MessageBox_GameCaption(), text); }

int Support_ConvertHashNewlines(std::string* text) {
  if (!text) return 0;
  std::string out;
  out.reserve(text->size());
  int count = 0;
  bool afterBackslash = false;
  for (const char* p = text->c_str(); *p;) {
    const int c = UTF8_DecodeChar(&p);
    if (c == '#' && afterBackslash) {
      out.back() = '#';  // the backslash just written becomes the "#"
      afterBackslash = false;
      continue;
    }
    char bytes[8];
    char* end = bytes;
    UTF8_EncodeChar(&end, c == '#' ? '\r' : c);
    out.append(bytes, size_t(end - bytes));
    ++count;
    afterBackslash = c == '\\';
  }
  *text = std::move(out);
  return count;
}

void Platform_Shutdown() { Registry_Flush(); }
namespace {
bool g_pausePending = false;
}

void Platform_Tick() {
  g_pausePending = false;
  Registry_Flush();
  Process_ReapDetached();
}

void Platform_RaisePauseEvent() {
  if (g_pausePending) return;
  Log("OS has raised a pause event\n");
  g_pausePending = true;
}

bool Platform_PausePending() { return g_pausePending; }

namespace {
void F_ShowDebugMessage(ScriptValue*, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  if (argc < 1 || !g_OutputConsole) return;
  if (args[0].IsString()) {
    g_OutputConsole->Output("%s\n", args[0].Text());
    return;
  }
  // A number prints as string() shows it, rather than as an empty line.
  char* buffer = nullptr;
  char* cursor = nullptr;
  int32_t capacity = 0;
  ScriptValue_AppendText(&cursor, &buffer, &capacity, &args[0]);
  g_OutputConsole->Output("%s\n", buffer ? buffer : "");
  MemoryManager::Release(buffer);
}

const NamedBuiltin kDebugBuiltins[] = {
    {"show_debug_message", F_ShowDebugMessage},
};
}  // namespace

std::span<const NamedBuiltin> Files_DebugBuiltins() { return kDebugBuiltins; }

namespace {
TW_VAR_GETTER(GetTempDirectory) { return BuiltinVar_SetText(out, Support_GetTempDirectory()); }
}  // namespace

void Files_BindVariables() { BuiltinVar_Bind("temp_directory", GetTempDirectory, nullptr); }

void InitVeskFunctions() {}
void InitWin8Functions() {}

void Files_Say(const char* format, ...) {
  if (!g_OutputConsole) return;
  va_list ap;
  va_start(ap, format);
  va_list again;
  va_copy(again, ap);
  const int n = std::vsnprintf(nullptr, 0, format, ap);
  va_end(ap);
  std::string line(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) std::vsnprintf(line.data(), line.size() + 1, format, again);
  va_end(again);
  g_OutputConsole->Output("%s", line.c_str());
}
