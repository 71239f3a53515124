// The built-in function registry, as far as start-up needs it so far.
#pragma once
#include <cstdint>

void FunctionRegistry_Free();
void InitMathFunctions();
