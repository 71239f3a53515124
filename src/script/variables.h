// Variable lists and global variables, as far as start-up needs them so far.
#pragma once
#include <cstdint>

#include "script/variable_names.h"

void GlobalVar_Init();
void Variable_FreeAll();
