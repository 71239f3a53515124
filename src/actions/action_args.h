// What the action handlers share: arguments read relative to self's values
// while the relative flag is set, and the report of a misuse.
#pragma once

#include "actions/actions.h"
#include "script/builtin_args.h"
#include "script/errors.h"

// The argument, plus base while the relative flag is set.
inline float RelativeArg(int argc, const ScriptValue* args, int i, float base) {
  return Action_GetRelative() ? base + FloatArg(argc, args, i) : FloatArg(argc, args, i);
}

// Misuse is reported, not fatal; the action then does nothing more.
inline void Action_Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }
