// A console that keeps what is written to it, for tests that read the
// engine's log lines.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>

#include "script/console.h"

class LineConsole : public tagIConsole {
 public:
  void Output(const char* format, ...) override {
    char buffer[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buffer, sizeof buffer, format, ap);
    va_end(ap);
    text += buffer;
  }
  std::string text;
};
