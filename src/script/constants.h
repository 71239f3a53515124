// Built-in and game constants, as far as start-up needs them so far.
#pragma once
#include <cstdint>

void Constant_RegisterBuiltins();
void Constant_FreeAll();
bool Code_Constant_Prepare();
