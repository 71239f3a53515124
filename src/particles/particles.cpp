#include "particles/particles.h"

void Part_CreateTextures() {}
void Part_Shutdown() { Part_ClearAll(); }
void InitParticleFunctions() {}
void Effect_Clear() {}
