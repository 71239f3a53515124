#include "script/function_registry.h"

void FunctionRegistry_Free() {}
void InitMathFunctions() {}
