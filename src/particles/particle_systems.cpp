#include "particles/particle_systems.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>

#include "particles/particle_types.h"
#include "script/console.h"
#include "script/random.h"

namespace {

// Records stay where they are while the table grows, so a system being
// updated is never moved by a create.
std::vector<std::unique_ptr<ParticleSystem>> g_Systems;

constexpr float kDegToRad = 3.1415927f / 180.0f;
constexpr float kRadToDeg = 180.0f / 3.1415927f;

// Removes the dead particles, the others keeping their order; settled (the
// particles that were there before this update) shrinks by its own dead.
void RemoveDead(std::vector<Particle>& particles, size_t& settled) {
  size_t kept = 0, keptSettled = 0;
  for (size_t i = 0; i < particles.size(); ++i) {
    if (!particles[i].alive) continue;
    if (i < settled) ++keptSettled;
    if (kept != i) particles[kept] = particles[i];
    ++kept;
  }
  particles.resize(kept);
  settled = keptSettled;
}

// A step or death emission: n particles, or for -n one with a chance of one in n.
void Emit(int32_t system, float x, float y, int32_t type, int32_t number) {
  if (number > 0) {
    PartParticles_Create(system, x, y, type, number);
  } else if (number < 0) {
    double n = -double(number);
    if (std::floor(Random_Real(1.0) * n) == 0.0) PartParticles_Create(system, x, y, type, 1);
  }
}

// Ages one particle and makes its step or death emission. The emission may
// move the particle list, so the particle is not touched after it.
void AgeAndEmitOne(int32_t index, Particle& p, const ParticleType& type) {
  ++p.age;
  int32_t number, emitted;
  if (p.age >= p.life) {
    p.alive = false;
    number = type.deathNumber, emitted = type.deathType;
  } else {
    number = type.stepNumber, emitted = type.stepType;
  }
  if (number != 0) Emit(index, p.x, p.y, emitted, number);
}

void Attract(const ParticleSystem& system, const Particle& p, float& vx, float& vy, float& dx, float& dy) {
  for (const ParticleAttractor& a : system.attractors) {
    if (!a.inUse) continue;
    float ax = a.x - p.x, ay = a.y - p.y;
    float d = std::sqrt(ax * ax + ay * ay);
    if (d > a.distance || d == 0.0f || a.force == 0.0f || a.distance == 0.0f) continue;
    float fx = a.force * ax / d, fy = a.force * ay / d;
    float w = (a.distance - d) / a.distance;
    if (a.kind == kPsForceLinear) {
      fx *= w, fy *= w;
    } else if (a.kind == kPsForceQuadratic) {
      fx *= w * w, fy *= w * w;
    }
    if (a.additive) {
      vx += fx, vy += fy;
    } else {
      dx += fx, dy += fy;
    }
  }
}

// atan2 in degrees, within a few float steps of the exact angle: the
// library's arctangent costs as much as the rest of a particle's update.
// Reduced to [0, tan 22.5°], where a short odd polynomial is float-exact.
// Every case is a select rather than a branch: the octant of a particle's
// velocity is random, and mispredicted branches cost more than the
// arithmetic they would skip.
// c ? a : b without a branch, which compilers would otherwise emit for floats.
inline float Select(bool c, float a, float b) {
  uint32_t mask = 0u - uint32_t(c);
  return std::bit_cast<float>((std::bit_cast<uint32_t>(a) & mask) | (std::bit_cast<uint32_t>(b) & ~mask));
}

float Atan2Degrees(float y, float x) {
  float ax = std::fabs(x), ay = std::fabs(y);
  bool steep = ay > ax;
  float t = std::min(ax, ay) / std::max(ax, ay);
  bool folded = t > 0.41421356f;
  float u = (t - 1.0f) / (t + 1.0f);
  t = Select(folded, u, t);
  float base = Select(folded, 0.78539816f, 0.0f);
  float z = t * t;
  float r = (((8.05374449538e-2f * z - 1.38776856032e-1f) * z + 1.99777106478e-1f) * z - 3.33329491539e-1f) * z * t +
            t + base;
  r = Select(steep, 1.5707963f - r, r);
  r = Select(x < 0.0f, 3.1415927f - r, r);
  return std::copysign(r, y) * kRadToDeg;
}

// (age + k × seed) mod period, for the wiggles.
float WigglePhase(const Particle& p, int64_t k, int64_t period) {
  int64_t m = (int64_t(p.age) + k * int64_t(p.seed)) % period;
  return float(m < 0 ? m + period : m);
}

// What the update reads of a particle's type, with what depends on the type
// alone worked out once per run of particles of one type.
struct TypeView {
  int32_t index = -1;
  const ParticleType* type = nullptr;
  float gravityX = 0, gravityY = 0;
  bool emits = false, wiggles = false, agedColour = false;
  // The colour and alpha depend on the age and the life alone: particles
  // born together share them.
  int32_t memoAge = -1, memoLife = -1;
  uint32_t memoColour = 0;
  float memoAlpha = 0;

  const ParticleType& For(int32_t typeIndex) {
    if (typeIndex != index || !type) {
      index = typeIndex;
      type = &PartType_Record(typeIndex);
      float g = type->gravityDirection * kDegToRad;
      gravityX = type->gravityAmount * std::cos(g);
      gravityY = -type->gravityAmount * std::sin(g);
      emits = type->stepNumber != 0 || type->deathNumber != 0;
      wiggles = type->directionWiggle != 0.0f || type->speedWiggle != 0.0f;
      agedColour = type->colourMode == kPartColourTwo || type->colourMode == kPartColourThree;
      memoAge = memoLife = -1;
    }
    return *type;
  }
};

// Particles moved and coloured together: enough to hide the latency of one
// particle's arithmetic behind the others', few enough to stay in cache.
constexpr size_t kChunk = 64;

// The step without gravity or attractors, or after them for a wiggling type.
void Drift(Particle& p, const ParticleType& type) {
  float direction = p.direction, speed = p.speed;
  if (type.directionWiggle != 0.0f)
    direction += type.directionWiggle * Part_Triangle(WigglePhase(p, 3, 24) / 6.0f);
  if (type.speedWiggle != 0.0f) speed += type.speedWiggle * Part_Triangle(WigglePhase(p, 4, 20) / 5.0f);
  if (speed != 0.0f) {
    float rad = direction * kDegToRad;
    p.x += std::cos(rad) * speed;
    p.y -= std::sin(rad) * speed;
  }
}

void Accelerate(Particle& p, const ParticleType& type) {
  p.xPrevious = p.x;
  p.yPrevious = p.y;
  p.speed += type.speedIncrement;
  if (p.speed < 0.0f) p.speed = 0.0f;
  p.direction += type.directionIncrement;
  p.orientation += type.orientationIncrement;
}

// Moves the live particles among ps[0, n), all of one type. With gravity or
// attractors the velocity becomes the new speed and direction; that part
// runs over the whole chunk at once, free of branches, so it vectorises.
void MoveChunk(const ParticleSystem& system, Particle* ps, size_t n, const ParticleType& type,
               const TypeView& view) {
  bool attract = !system.attractors.empty();
  if (type.gravityAmount == 0.0f && !attract) {
    for (size_t k = 0; k < n; ++k) {
      if (!ps[k].alive) continue;
      Accelerate(ps[k], type);
      Drift(ps[k], type);
    }
    return;
  }
  float vx[kChunk], vy[kChunk], dx[kChunk], dy[kChunk], speed[kChunk], direction[kChunk];
  for (size_t k = 0; k < n; ++k) {
    Particle& p = ps[k];
    dx[k] = dy[k] = 0.0f;
    if (!p.alive) {
      vx[k] = vy[k] = direction[k] = 0.0f;
      continue;
    }
    Accelerate(p, type);
    float rad = p.direction * kDegToRad;
    vx[k] = p.speed * std::cos(rad) + view.gravityX;
    vy[k] = -p.speed * std::sin(rad) + view.gravityY;
    if (attract) Attract(system, p, vx[k], vy[k], dx[k], dy[k]);
    direction[k] = p.direction;
  }
  for (size_t k = 0; k < n; ++k) {
    float x = vx[k], y = vy[k];
    speed[k] = std::sqrt(x * x + y * y);
    float a = Atan2Degrees(y, x);
    float up = -a, down = 360.0f - a;
    float along = Select(a <= 0.0f, up, down);
    // Straight up or down; a velocity of 0 keeps the direction.
    float vertical = Select(y > 0.0f, 270.0f, Select(y < 0.0f, 90.0f, direction[k]));
    direction[k] = Select(x != 0.0f, along, vertical);
  }
  for (size_t k = 0; k < n; ++k) {
    Particle& p = ps[k];
    if (!p.alive) continue;
    p.speed = speed[k];
    float d = direction[k];
    if (d < 0.0f || d >= 360.0f) d -= 360.0f * std::floor(d / 360.0f);
    p.direction = d;
    if (!view.wiggles) {
      // The new speed and direction are the velocity itself.
      p.x += vx[k] + dx[k];
      p.y += vy[k] + dy[k];
    } else {
      p.x += dx[k];
      p.y += dy[k];
      Drift(p, type);
    }
  }
}

float AlphaAt(const ParticleType& type, int32_t age, int32_t life) {
  if (life <= 0) return type.alpha2;
  float t = 2.0f * float(age) / float(life);
  return t < 1.0f ? (1.0f - t) * type.alpha1 + t * type.alpha2 : (2.0f - t) * type.alpha2 + (t - 1.0f) * type.alpha3;
}

void AppearChunk(Particle* ps, size_t n, const ParticleType& type, TypeView& view) {
  for (size_t k = 0; k < n; ++k) {
    Particle& p = ps[k];
    if (!p.alive) continue;
    p.size += type.sizeIncrement;
    if (p.size < 0.0f) p.size = 0.0f;
    if (p.age <= 0 || p.life <= 0) {
      // A birth colour: drawn afresh, never shared.
      Part_ComputeColour(p);
      p.alpha = AlphaAt(type, p.age, p.life);
      continue;
    }
    if (p.age != view.memoAge || p.life != view.memoLife) {
      if (view.agedColour) Part_ComputeColour(p);
      view.memoColour = p.colour;
      view.memoAlpha = AlphaAt(type, p.age, p.life);
      view.memoAge = p.age, view.memoLife = p.life;
    }
    if (view.agedColour) p.colour = view.memoColour;
    p.alpha = view.memoAlpha;
  }
}

// The length of the run of particles of one type starting at first, at most
// a chunk.
size_t ChunkAt(const std::vector<Particle>& particles, size_t first, size_t end) {
  size_t n = 1;
  int32_t type = particles[first].type;
  while (n < kChunk && first + n < end && particles[first + n].type == type) ++n;
  return n;
}

// The particles appended by the ageing (step and death emissions) are
// neither aged nor emitted from until the next update: ageing them as well
// would never end for a type that emits itself. Nor do the later stages
// touch them: they start, as streamed particles do, at the next update.
//
// Without deflectors, changers and destroyers nothing stands between the
// motion and the appearance, so one pass does all three stages.
void AgeMoveAppear(int32_t index, ParticleSystem& system, size_t& settled, bool fused) {
  TypeView view;
  for (size_t i = 0; i < settled;) {
    const ParticleType& type = view.For(system.particles[i].type);
    // An emission may move the particle list: one particle at a time.
    size_t n = 1;
    if (view.emits) {
      AgeAndEmitOne(index, system.particles[i], type);
    } else {
      n = ChunkAt(system.particles, i, settled);
      for (size_t k = i; k < i + n; ++k) {
        Particle& p = system.particles[k];
        if (++p.age >= p.life) p.alive = false;
      }
    }
    if (fused) {
      MoveChunk(system, &system.particles[i], n, type, view);
      AppearChunk(&system.particles[i], n, type, view);
    }
    i += n;
  }
  RemoveDead(system.particles, settled);
}

void Move(ParticleSystem& system, size_t count) {
  TypeView view;
  for (size_t i = 0; i < count;) {
    const ParticleType& type = view.For(system.particles[i].type);
    size_t n = ChunkAt(system.particles, i, count);
    MoveChunk(system, &system.particles[i], n, type, view);
    i += n;
  }
}

void Appearance(ParticleSystem& system, size_t count) {
  TypeView view;
  for (size_t i = 0; i < count;) {
    const ParticleType& type = view.For(system.particles[i].type);
    size_t n = ChunkAt(system.particles, i, count);
    AppearChunk(&system.particles[i], n, type, view);
    i += n;
  }
}

// Validates the system and the type as particle creation does; false after
// writing the message.
bool CanCreate(int32_t system, int32_t type) {
  if (!PartSystem_Get(system)) {
    Log("part_particles_create :: particle system does not exist!\n");
    return false;
  }
  if (!PartType_Exists(type)) {
    Log("part_particles_create :: particle type does not exist!\n");
    return false;
  }
  return true;
}

}  // namespace

int32_t PartSystem_Create() {
  size_t slot = 0;
  while (slot < g_Systems.size() && g_Systems[slot]->inUse) ++slot;
  if (slot == g_Systems.size()) g_Systems.push_back(std::make_unique<ParticleSystem>());
  g_Systems[slot]->inUse = true;
  PartSystem_Clear(int32_t(slot));
  return int32_t(slot);
}

void PartSystem_Destroy(int32_t index) {
  if (ParticleSystem* system = PartSystem_Get(index)) {
    PartSystem_Clear(index);
    system->inUse = false;
  }
}

bool PartSystem_Exists(int32_t index) { return PartSystem_Get(index) != nullptr; }

void PartSystem_Clear(int32_t index) {
  if (ParticleSystem* system = PartSystem_Get(index)) {
    // Assigning a fresh record releases the particles and every component list.
    *system = ParticleSystem{};
    system->inUse = true;
  }
}

ParticleSystem* PartSystem_Get(int32_t index) {
  if (index < 0 || index >= int32_t(g_Systems.size())) return nullptr;
  ParticleSystem* system = g_Systems[size_t(index)].get();
  return system->inUse ? system : nullptr;
}

int32_t PartSystem_SlotCount() { return int32_t(g_Systems.size()); }

int64_t PartSystem_HeldRecords() {
  int64_t held = 0;
  for (const auto& s : g_Systems) {
    held += int64_t(s->particles.capacity() + s->emitters.capacity() + s->attractors.capacity());
    held += int64_t(s->destroyers.capacity() + s->deflectors.capacity() + s->changers.capacity());
  }
  return held;
}

void PartSystem_DrawOrder(int32_t index, bool oldToNew) {
  if (ParticleSystem* s = PartSystem_Get(index)) s->oldToNew = oldToNew;
}

void PartSystem_Depth(int32_t index, float depth) {
  if (ParticleSystem* s = PartSystem_Get(index)) s->depth = depth;
}

void PartSystem_Position(int32_t index, float x, float y) {
  if (ParticleSystem* s = PartSystem_Get(index)) s->x = x, s->y = y;
}

void PartSystem_AutomaticUpdate(int32_t index, bool on) {
  if (ParticleSystem* s = PartSystem_Get(index)) s->automaticUpdate = on;
}

void PartSystem_AutomaticDraw(int32_t index, bool on) {
  if (ParticleSystem* s = PartSystem_Get(index)) s->automaticDraw = on;
}

void PartParticles_Create(int32_t system, float x, float y, int32_t type, int32_t number) {
  number = Part_LimitCount("part_particles_create", number);
  if (number <= 0 || !CanCreate(system, type)) return;
  std::vector<Particle>& particles = PartSystem_Get(system)->particles;
  for (int32_t i = 0; i < number; ++i) Part_Spawn(x, y, type, particles.emplace_back());
}

void PartParticles_CreateColor(int32_t system, float x, float y, int32_t type, uint32_t colour, int32_t number) {
  number = Part_LimitCount("part_particles_create_color", number);
  if (number <= 0 || !CanCreate(system, type)) return;
  std::vector<Particle>& particles = PartSystem_Get(system)->particles;
  for (int32_t i = 0; i < number; ++i) {
    Particle& p = particles.emplace_back();
    Part_Spawn(x, y, type, p);
    p.colour = colour;
  }
}

void PartParticles_Clear(int32_t system) {
  if (ParticleSystem* s = PartSystem_Get(system)) std::vector<Particle>().swap(s->particles);
}

int32_t PartParticles_Count(int32_t system) {
  ParticleSystem* s = PartSystem_Get(system);
  return s ? int32_t(s->particles.size()) : 0;
}

void Part_Spawn(float x, float y, int32_t type, Particle& p) {
  const ParticleType* t = PartType_Get(type);
  if (!t) return;
  p = Particle{};
  p.alive = true;
  p.type = type;
  p.x = p.xPrevious = x;
  p.y = p.yPrevious = y;
  p.speed = Part_RandomInRange(t->speedMin, t->speedMax, kPsDistrLinear);
  p.direction = Part_RandomInRange(t->directionMin, t->directionMax, kPsDistrLinear);
  p.orientation = Part_RandomInRange(t->orientationMin, t->orientationMax, kPsDistrLinear);
  p.life = int32_t(std::trunc(Part_RandomInRange(float(t->lifeMin), float(t->lifeMax), kPsDistrLinear)));
  p.age = 0;
  Part_ComputeColour(p);
  p.alpha = t->alpha1;
  p.size = Part_RandomInRange(t->sizeMin, t->sizeMax, kPsDistrLinear);
  p.frameStart = t->randomFrame ? Random_Int(10000) : 0;
  p.seed = Random_Int(100000);
}

void PartSystem_Update(int32_t index) {
  ParticleSystem* system = PartSystem_Get(index);
  if (!system) return;
  // Later stages leave the particles born in this update as they were made.
  size_t settled = system->particles.size();
  bool modifiers = !system->deflectors.empty() || !system->changers.empty() || !system->destroyers.empty();
  AgeMoveAppear(index, *system, settled, !modifiers);
  if (!modifiers) {
    PartSystem_Streams(index);
    return;
  }
  Move(*system, settled);
  if (!system->deflectors.empty()) PartSystem_Deflect(*system, settled);
  if (!system->changers.empty()) PartSystem_Change(*system, settled);
  if (!system->destroyers.empty()) {
    PartSystem_Destroyers(*system, settled);
    RemoveDead(system->particles, settled);
  }
  Appearance(*system, settled);
  PartSystem_Streams(index);
}

void PartSystem_UpdateAll() {
  for (size_t i = 0; i < g_Systems.size(); ++i)
    if (g_Systems[i]->inUse && g_Systems[i]->automaticUpdate) PartSystem_Update(int32_t(i));
}

void PartSystem_FreeAll() {
  g_Systems.clear();
  g_Systems.shrink_to_fit();
}

void Part_ClearAll() {
  PartType_FreeAll();
  PartSystem_FreeAll();
}
