// Particles, as far as start-up and shutdown need them so far.
#pragma once
#include <cstdint>

void PartType_FreeAll();
void PartSystem_FreeAll();
void Part_CreateTextures();
void Part_Shutdown();
void InitParticleFunctions();
// Removes the particles of both effect systems (room entry).
void Effect_Clear();
// Per-step update of every automatically updated particle system.
void PartSystem_UpdateAll();
