#include "particles/particles.h"

#include "particles/particle_draw.h"
#include "particles/particle_effects.h"

void Part_Reset() {
  Part_ClearAll();
  Effect_Forget();
}

void Part_Shutdown() {
  Part_Reset();
  Part_FreeTextures();
}
