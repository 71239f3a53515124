#include "script/constants.h"

void Constant_RegisterBuiltins() {}
void Constant_FreeAll() {}
bool Code_Constant_Prepare() { return true; }
