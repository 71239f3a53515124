// The command line: copied once, cut into tokens and matched against the
// switches before any subsystem starts.
#pragma once
#include <string>
#include <vector>

#include "runner/runner_flags.h"

constexpr size_t kCommandLineMax = 8191;  // characters kept of the command line
constexpr size_t kCommandTokenMax = 4095;  // characters kept of one token

// The command line as one text: arguments joined by blanks, each holding a
// blank (or nothing) put between double quotes, cut to kCommandLineMax.
std::string CommandLine_FromArgs(int argc, const char* const* argv);
// Copies the next token into `token` and returns the position that ended it.
size_t CommandLine_NextToken(const std::string& text, size_t position, std::string& token);
// All tokens of a command line (for tests and tools); an empty token at the
// very end is dropped.
std::vector<std::string> CommandLine_Tokens(const std::string& text);
// Sets the switch flags of every subsystem from the command line.
void Runner_ParseCommandLine(const std::string& text);
