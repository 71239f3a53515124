// Fatal script errors raised outside the virtual machine's own dispatch (by
// compiled game code and the value routines it shares with the machine).
#pragma once

#include "script/console.h"

// Reported as fatal, then the program ends in order with -1; while the
// debugger evaluates an expression (or when tests ask for it) it returns
// and the caller carries on.
void Runtime_FatalError(const char* format, ...) TW_PRINTF(1, 2);
