// Other programs the game starts, and the arguments this one was started with.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Starts `program` (looked up on PATH when it holds no '/') with these
// arguments in the current directory, sharing the terminal and environment;
// nothing runs through a shell. The process id, or nothing with `error` set.
std::optional<int> Process_Start(const std::string& program, const std::vector<std::string>& arguments,
                                 std::string* error = nullptr);
// Waits at most `microseconds` for a started process to end; true once it
// has ended (it is then reaped).
bool Process_Wait(int pid, int64_t microseconds);
// A started process nobody waits for: it is reaped by a later
// Process_ReapDetached once it ends, so no finished child lingers.
void Process_Detach(int pid);
void Process_ReapDetached();
