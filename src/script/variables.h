// Variable lists and global variables, as far as start-up needs them so far.
#pragma once
#include <cstdint>

void GlobalVar_Init();
void Variable_FreeAll();
void VariableName_Free();
