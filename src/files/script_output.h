// How the files' built-ins answer a script: lines on the output console and
// text results.
#pragma once
#include <string>

#include "script/console.h"
#include "script/value.h"

// A line on the output console, when there is one.
void Files_Say(const char* format, ...) TW_PRINTF(1, 2);

inline void Files_SetText(ScriptValue* result, const std::string& text) { ScriptValue_SetText(result, text.c_str()); }
