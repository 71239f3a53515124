#include "script/console.h"

#include <cstdio>
#include <cstring>

#include "script/errors.h"
#include "script/memory_manager.h"

namespace {
TConsole g_debugConsoleObject(TConsole::kDebug);
TConsole g_outputConsoleObject(TConsole::kOutput);
std::string g_debugOutputFile;
std::string g_outputFile;
void (*g_debuggerSink)(const char* text) = nullptr;

void AppendToFile(const std::string& path, const char* text, size_t len) {
  // Opened and closed per line so the log survives a crash.
  FILE* f = std::fopen(path.c_str(), "a+");
  if (!f) return;
  std::fwrite(text, 1, len, f);
  std::fclose(f);
}
}  // namespace

tagIConsole* g_DebugConsole = &g_debugConsoleObject;
tagIConsole* g_OutputConsole = &g_outputConsoleObject;

void Console_SetDebugOutputFile(const std::string& path) { g_debugOutputFile = path; }
void Console_SetOutputFile(const std::string& path) { g_outputFile = path; }
void Console_SetDebuggerSink(void (*sink)(const char* text)) { g_debuggerSink = sink; }

void TConsole::Output(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  OutputV(format, ap);
  va_end(ap);
}

void TConsole::OutputV(const char* format, va_list ap) {
  if (!format) return;
  // Formatted once in full: the log files keep long lines whole; the debug
  // window and the remote debugger take at most 4,095 bytes of it.
  char small[4096];
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  if (n < 0) {
    va_end(copy);
    return;
  }
  std::string big;
  const char* text = small;
  if (size_t(n) >= sizeof small) {
    big.resize(size_t(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, copy);
    text = big.c_str();
  }
  va_end(copy);
  std::fwrite(text, 1, size_t(n), stdout);
  if (g_debuggerSink) g_debuggerSink(small);
  const std::string& file = mode_ == kDebug ? g_debugOutputFile : g_outputFile;
  if (!file.empty()) AppendToFile(file, text, size_t(n));
  std::fflush(stdout);
}

TErrStreamConsole::TErrStreamConsole() : capacity_(102400) {
  text_ = static_cast<char*>(MemoryManager::Allocate(uint32_t(capacity_), "VM_Exec", 79, true));
}

TErrStreamConsole::~TErrStreamConsole() { MemoryManager::Release(text_); }

void TErrStreamConsole::Output(const char* format, ...) {
  if (!format) return;
  char piece[16384];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(piece, sizeof piece, format, ap);
  va_end(ap);
  uint32_t n = uint32_t(std::strlen(piece));
  if (length_ + n + 2 >= uint32_t(capacity_)) {
    capacity_ = capacity_ + int(n) + 1024;
    MemoryManager::ResizeField(text_, uint32_t(capacity_), "VM_Exec", 94);
  }
  std::memcpy(text_ + length_, piece, n + 1);
  length_ += n;
}

void Console_Error(const char* format, ...) {
  char text[4096];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  Error_Report(ErrorSeverity::kWarning, text);
}

void Log(const char* line) { g_DebugConsole->Output("%s", line); }
