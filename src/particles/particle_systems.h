// Particle systems: containers of live particles and of the components that
// act on them, the system table, particle creation and the per-step update.
// Systems are global: no room owns them.
#pragma once
#include <cstdint>
#include <vector>

#include "particles/particle_modifiers.h"

struct Particle {
  bool alive = false;
  int32_t type = 0;
  int32_t age = 0;
  int32_t life = 0;
  float x = 0, y = 0;
  float xPrevious = 0, yPrevious = 0;
  float speed = 0;
  float direction = 0;
  float orientation = 0;
  uint32_t colour = 0;
  float alpha = 0;
  float size = 0;
  int32_t frameStart = 0;
  int32_t seed = 0;
};

struct ParticleSystem {
  bool inUse = false;
  // Live particles, oldest first.
  std::vector<Particle> particles;
  // Components keep their slots when destroyed; a create reuses the first
  // free one.
  std::vector<ParticleEmitter> emitters;
  std::vector<ParticleAttractor> attractors;
  std::vector<ParticleDestroyer> destroyers;
  std::vector<ParticleDeflector> deflectors;
  std::vector<ParticleChanger> changers;
  bool oldToNew = true;
  float depth = 0;
  float x = 0, y = 0;
  bool automaticUpdate = true;
  bool automaticDraw = true;
};

int32_t PartSystem_Create();
void PartSystem_Destroy(int32_t index);
bool PartSystem_Exists(int32_t index);
// Frees the particles and every component and restores the defaults.
void PartSystem_Clear(int32_t index);
// The system at the index when it is in use, else null. Valid until the
// next system is created or the table is freed.
ParticleSystem* PartSystem_Get(int32_t index);
int32_t PartSystem_SlotCount();
// Particles and component slots held by every system record, destroyed ones
// included: a destroyed system holds none.
int64_t PartSystem_HeldRecords();

void PartSystem_DrawOrder(int32_t index, bool oldToNew);
void PartSystem_Depth(int32_t index, float depth);
void PartSystem_Position(int32_t index, float x, float y);
void PartSystem_AutomaticUpdate(int32_t index, bool on);
void PartSystem_AutomaticDraw(int32_t index, bool on);

// Writes its message to the debug console for a missing system or type.
void PartParticles_Create(int32_t system, float x, float y, int32_t type, int32_t number);
void PartParticles_CreateColor(int32_t system, float x, float y, int32_t type, uint32_t colour, int32_t number);
void PartParticles_Clear(int32_t system);
int32_t PartParticles_Count(int32_t system);
// Fills a particle of the type at (x, y); nothing for a missing type.
void Part_Spawn(float x, float y, int32_t type, Particle& particle);

// One update, whatever the automatic-update flag.
void PartSystem_Update(int32_t index);
// Once per game step: every system with automatic update on, in slot order.
void PartSystem_UpdateAll();
void PartSystem_FreeAll();
// Types then systems: the state of a fresh run.
void Part_ClearAll();
