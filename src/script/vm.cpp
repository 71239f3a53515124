#include "script/vm.h"

bool g_TraceVM = false;
bool g_UseVM = true;

void VM_Init() {}
void Compiler_Free() {}
