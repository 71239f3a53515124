// The built-in variable table, as far as start-up needs it so far.
#pragma once
#include <cstdint>
#include <string>

void BuiltinVar_RegisterAll();
// The game's working directory, set once from the game data's path.
void WorkingDirectory_Init(const std::string& gamePath);
const std::string& WorkingDirectory_Get();
