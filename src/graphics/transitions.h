// Room transitions: the built-in kinds and those a game defines with a
// script of its own.
#pragma once
#include <cstdint>
#include <string_view>

// Stores a kind drawn by the named script; false (nothing stored) when no
// script has that name.
bool Transition_Define(int32_t kind, std::string_view scriptName);
// True for the built-in kinds 1 to 21 and every kind defined.
bool TransFunctionExists(int32_t kind);
// The script a defined kind draws with, -1 for any other kind.
int32_t Transition_Script(int32_t kind);
// Forgets every defined kind (a new game, or a test).
void Transition_ClearDefined();
