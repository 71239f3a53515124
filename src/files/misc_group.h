// The "Misc.." built-in group: its fixed order and the families that handle it.
#pragma once
#include <span>

#include "script/builtin_group.h"

BuiltinGroup Files_MiscGroup();

// Debug output.
std::span<const NamedBuiltin> Files_DebugBuiltins();
// The date and time built-ins (date_builtins.cpp).
std::span<const NamedBuiltin> Files_DateBuiltins();
// Local time again for the date built-ins, as when a game starts.
void Dates_ResetTimezone();
