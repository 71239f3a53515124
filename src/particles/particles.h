// Particles, as the runner's start-up, step and shutdown reach them.
#pragma once
#include <cstdint>

#include "particles/particle_draw.h"
#include "particles/particle_effects.h"
#include "particles/particle_systems.h"
#include "particles/particle_types.h"

// Every system, type and effect system: the state of a fresh run.
void Part_Reset();
// Final teardown: the particle state, then the shape textures.
void Part_Shutdown();
void InitParticleFunctions();
