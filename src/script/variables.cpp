#include "script/variables.h"

void GlobalVar_Init() {}
void Variable_FreeAll() {}
