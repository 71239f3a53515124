// The bytecode machine, as far as start-up needs it so far.
#pragma once
#include <cstdint>

extern bool g_TraceVM;  // "-trace"
extern bool g_UseVM;    // off with "-oldexec": code runs on the tree interpreter

void VM_Init();
void Compiler_Free();
