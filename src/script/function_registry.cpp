#include "script/function_registry.h"

int FunctionRegistry_Find(std::string_view) { return -1; }
void FunctionRegistry_Free() {}
void InitMathFunctions() {}
