#include "particles/particles.h"

void PartType_FreeAll() {}
void PartSystem_FreeAll() {}
void Part_CreateTextures() {}
void Part_Shutdown() {}
void InitParticleFunctions() {}
void Effect_Clear() {}
void PartSystem_UpdateAll() {}
