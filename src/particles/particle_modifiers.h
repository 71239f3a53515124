// Emitters, attractors, destroyers, deflectors and changers: the components a
// particle system owns, their operations and the update stages they act in.
// Coordinates are in the system's own space (the particles' space).
#pragma once
#include <cstddef>
#include <cstdint>

struct ParticleSystem;

// Region shapes (the ps_shape constants).
enum : int32_t { kPsShapeRectangle = 0, kPsShapeEllipse = 1, kPsShapeDiamond = 2, kPsShapeLine = 3 };
// Attractor kinds (ps_force), deflector kinds (ps_deflect), changer kinds
// (ps_change).
enum : int32_t { kPsForceConstant = 0, kPsForceLinear = 1, kPsForceQuadratic = 2 };
enum : int32_t { kPsDeflectVertical = 0, kPsDeflectHorizontal = 1 };
enum : int32_t { kPsChangeAll = 0, kPsChangeShape = 1, kPsChangeMotion = 2 };

struct ParticleEmitter {
  bool inUse = false;
  int32_t streamNumber = 0;
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int32_t distribution = 0;
  int32_t shape = 0;
  int32_t streamType = 0;
};

struct ParticleAttractor {
  bool inUse = false;
  float x = 0, y = 0;
  float force = 0;
  float distance = 0;
  int32_t kind = 0;
  bool additive = true;
};

struct ParticleDestroyer {
  bool inUse = false;
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int32_t shape = 0;
};

struct ParticleDeflector {
  bool inUse = false;
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int32_t kind = 0;
  float friction = 0;
};

struct ParticleChanger {
  bool inUse = false;
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int32_t shape = 0;
  int32_t typeFrom = -1, typeTo = -1;
  int32_t kind = 0;
};

// The five kinds share create / destroy / destroy all / exists / clear.
// Creates return -1 for a system not in use; the rest do nothing then, or
// for a component index out of range or not in use.
enum class PartModifier { Emitter, Attractor, Destroyer, Deflector, Changer };
int32_t PartModifier_Create(PartModifier kind, int32_t system);
void PartModifier_Destroy(PartModifier kind, int32_t system, int32_t index);
void PartModifier_DestroyAll(PartModifier kind, int32_t system);
bool PartModifier_Exists(PartModifier kind, int32_t system, int32_t index);
void PartModifier_Clear(PartModifier kind, int32_t system, int32_t index);
// The slot count of that kind (in use or not), 0 for a system not in use.
int32_t PartModifier_SlotCount(PartModifier kind, int32_t system);

inline int32_t PartEmitter_Create(int32_t system) { return PartModifier_Create(PartModifier::Emitter, system); }
inline void PartEmitter_Destroy(int32_t system, int32_t index) {
  PartModifier_Destroy(PartModifier::Emitter, system, index);
}

void PartEmitter_Region(int32_t system, int32_t emitter, float xmin, float xmax, float ymin, float ymax,
                        int32_t shape, int32_t distribution);
void PartEmitter_Stream(int32_t system, int32_t emitter, int32_t type, int32_t number);
// Creates the particles at once; a negative number is a one-in-n chance of one.
void PartEmitter_Burst(int32_t system, int32_t emitter, int32_t type, int32_t number);
void PartAttractor_Position(int32_t system, int32_t attractor, float x, float y);
void PartAttractor_Force(int32_t system, int32_t attractor, float force, float distance, int32_t kind,
                         bool additive);
void PartDestroyer_Region(int32_t system, int32_t destroyer, float xmin, float xmax, float ymin, float ymax,
                          int32_t shape);
void PartDeflector_Region(int32_t system, int32_t deflector, float xmin, float xmax, float ymin, float ymax);
void PartDeflector_Kind(int32_t system, int32_t deflector, int32_t kind);
void PartDeflector_Friction(int32_t system, int32_t deflector, float friction);
void PartChanger_Region(int32_t system, int32_t changer, float xmin, float xmax, float ymin, float ymax,
                        int32_t shape);
void PartChanger_Kind(int32_t system, int32_t changer, int32_t kind);
void PartChanger_Types(int32_t system, int32_t changer, int32_t typeFrom, int32_t typeTo);

// The update stages of the components, over the system's first count
// particles (the system update calls them).
void PartSystem_Deflect(ParticleSystem& system, size_t count);
void PartSystem_Change(ParticleSystem& system, size_t count);
// Marks the particles inside the destroyers dead; the update removes them.
void PartSystem_Destroyers(ParticleSystem& system, size_t count);
void PartSystem_Streams(int32_t system);
