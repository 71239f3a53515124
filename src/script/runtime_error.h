// Fatal script errors raised outside the virtual machine's own dispatch.
#pragma once
#include <cstdarg>
#include <cstdio>

#include "core/console.h"

// For now the message only reaches the output console and the caller carries
// on; the virtual machine replaces this with the real report, which ends the
// program except while the debugger evaluates an expression.
inline void Runtime_FatalError(const char* format, ...) TW_PRINTF(1, 2);
inline void Runtime_FatalError(const char* format, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  g_OutputConsole->Output("%s\n", text);
}
