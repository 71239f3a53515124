// The consoles: every developer-facing line the runner writes goes through
// one of them. The debug console carries the engine's log; the output console
// carries runtime errors and the game's own messages.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <string>

#define TW_PRINTF(a, b) __attribute__((format(printf, a, b)))

class tagIConsole {
 public:
  virtual ~tagIConsole() = default;
  // Never called by the runner; kept for the interface's shape.
  virtual bool Control(int, int) { return true; }
  virtual void Output(const char* format, ...) TW_PRINTF(2, 3) = 0;
};

class TConsole : public tagIConsole {
 public:
  enum Mode { kOutput = 0, kDebug = 1 };
  explicit TConsole(int mode) : mode_(mode) {}
  void Output(const char* format, ...) override TW_PRINTF(2, 3);
  void OutputV(const char* format, va_list ap);

 private:
  int mode_;
};

// Collects formatted text in a growing buffer for the error reporter.
class TErrStreamConsole : public tagIConsole {
 public:
  TErrStreamConsole();
  ~TErrStreamConsole() override;
  TErrStreamConsole(const TErrStreamConsole&) = delete;
  TErrStreamConsole& operator=(const TErrStreamConsole&) = delete;
  void Output(const char* format, ...) override TW_PRINTF(2, 3);
  const char* Text() const { return text_; }
  int Capacity() const { return capacity_; }

 private:
  int capacity_;
  char* text_;
  uint32_t length_ = 0;
};

extern tagIConsole* g_DebugConsole;
extern tagIConsole* g_OutputConsole;

// One line, as it stands, to the debug console.
void Log(const char* line);

// The "-debugoutput" and "-output" files; an empty name means none.
void Console_SetDebugOutputFile(const std::string& path);
void Console_SetOutputFile(const std::string& path);
// Where console text goes besides stdout and the files: the debug window and
// the remote debugger, which the runner installs (null: nowhere). It gets at
// most 4,095 bytes of each piece.
void Console_SetDebuggerSink(void (*sink)(const char* text));

// A failure the player must hear of: a warning report (the debug console
// and stderr) of the formatted text.
void Console_Error(const char* format, ...) TW_PRINTF(1, 2);
