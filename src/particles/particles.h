// Particles, as the runner's start-up, step and shutdown reach them.
#pragma once
#include <cstdint>

#include "particles/particle_systems.h"
#include "particles/particle_types.h"

void Part_CreateTextures();
// Final teardown: every system and type, then the shape textures.
void Part_Shutdown();
void InitParticleFunctions();
// Removes the particles of both effect systems (room entry).
void Effect_Clear();
