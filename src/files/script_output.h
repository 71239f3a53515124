// How the files' built-ins answer a script: lines on the output console and
// text results.
#pragma once
#include <string>

#include "script/console.h"
#include "script/value.h"

template <typename... Args>
void Files_Say(const char* format, Args... args) {
  if (g_OutputConsole) g_OutputConsole->Output(format, args...);
}

inline void Files_SetText(ScriptValue* result, const std::string& text) { ScriptValue_SetText(result, text.c_str()); }
