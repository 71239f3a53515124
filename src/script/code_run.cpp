#include "script/code_run.h"

#include <algorithm>
#include <cstring>

#include "script/code.h"
#include "script/errors.h"
#include "script/native_code.h"
#include "script/tree_interp.h"
#include "script/value.h"
#include "script/vm.h"

namespace {
bool g_pendingError = false;
std::string g_pendingText;
}  // namespace

bool Code_HasPendingError() { return g_pendingError; }
const std::string& Code_PendingErrorText() { return g_pendingText; }
void Code_ClearPendingError() { g_pendingError = false; }
void Code_SetPendingErrorText(std::string text) {
  g_pendingError = true;
  g_pendingText = std::move(text);
}

void Code_ReportError(const CCode* code, int position, const char* message) {
  Error_LeaveFullScreen();
  if (g_pendingError) return;
  g_pendingError = true;
  const char* text = code ? code->GetText() : "";
  int len = int(std::strlen(text));
  position = std::clamp(position, 0, len);
  int line = 1, lineStart = 0, column = 0;
  for (int i = 0; i < position; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
      column = 0;
    } else if (text[i] != '\r') {
      ++column;
    }
  }
  int lineEnd = lineStart;
  while (lineEnd < len && text[lineEnd] != '\n') ++lineEnd;
  std::string lineText(text + lineStart, text + lineEnd);
  // Built whole: a fixed buffer would cut the message off after a long line.
  const std::string where = std::to_string(column + 1) + ": " + (message ? message : "");
  if (!code || code->Kind() == CCode::kProgram) {
    g_pendingText = "Error in code at line " + std::to_string(line) + ":\n   " + lineText + "\n\nat position " + where;
  } else {
    g_pendingText = std::string("Error in expression: ") + text + "\n position " + where;
  }
}

bool Code_Run(CObjInstance* self, CObjInstance* other, CCode* code, ScriptValue* result) {
  g_pendingError = false;
  if (!code) return true;
  if (!g_UseVM && !code->Compiled()) {
    // Empty creation code is left uncompiled by its owner: nothing to run.
    if (!*code->GetText()) return true;
    Code_ReportError(code, 0, "Internal Error: Executing non-compiled code->");
    return false;
  }
  if (code->Kind() == CCode::kConstantExpression) {
    ScriptValue_Copy(result, &code->Constant());
    return true;
  }
  if (const NativeCodeEntry* native = code->Native()) {
    if (native->fn) native->fn(self, other);
    return true;
  }
  if (!g_UseVM && code->Tree()) return TreeInterp_Run(self, other, code, result);
  // The game's own bytecode has no tree: it runs on the machine even with
  // the tree interpreter chosen.
  if (code->Bytecode()) {
    VM_Execute(code->Name().c_str(), self, other, code->Bytecode(), result, code->LineTable(), code->GetText());
  }
  return true;
}

bool Code_RunReportingErrors(CObjInstance* self, CObjInstance* other, CCode* code, ScriptValue* result) {
  if (Code_Run(self, other, code, result)) return true;
  Code_ReportPendingError();
  return false;
}

void Code_ReportPendingError() {
  if (!g_pendingError) return;
  Error_ReportRuntime(ErrorSeverity::kError, g_pendingText.c_str());
  g_pendingError = false;
}

bool Code_RunOrErrorValue(CObjInstance* self, CObjInstance* other, CCode* code, ScriptValue* result) {
  if (Code_Run(self, other, code, result)) return true;
  ScriptValue_SetText(result, "ERROR");
  return false;
}
