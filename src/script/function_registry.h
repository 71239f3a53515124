// The built-in function registry, as far as start-up needs it so far.
#pragma once
#include <string_view>

// Function index of `name` (scripts first, then extension functions, then
// built-ins); -1 when none.
int FunctionRegistry_Find(std::string_view name);
void FunctionRegistry_Free();
void InitMathFunctions();
