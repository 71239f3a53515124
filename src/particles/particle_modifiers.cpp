#include "particles/particle_modifiers.h"

#include <cmath>

#include "particles/particle_systems.h"
#include "particles/particle_types.h"
#include "script/random.h"

namespace {

template <typename F>
decltype(auto) WithList(PartModifier kind, ParticleSystem& s, F&& f) {
  switch (kind) {
    case PartModifier::Emitter: return f(s.emitters);
    case PartModifier::Attractor: return f(s.attractors);
    case PartModifier::Destroyer: return f(s.destroyers);
    case PartModifier::Deflector: return f(s.deflectors);
    case PartModifier::Changer: break;
  }
  return f(s.changers);
}

// The component at the index when the system and the component are in use.
template <typename T>
T* Component(std::vector<T> ParticleSystem::*list, int32_t system, int32_t index) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s || index < 0 || index >= int32_t((s->*list).size())) return nullptr;
  T& record = (s->*list)[size_t(index)];
  return record.inUse ? &record : nullptr;
}

template <typename T>
bool Inside(const T& region, const Particle& p) {
  return region.xmin <= p.x && p.x <= region.xmax && region.ymin <= p.y && p.y <= region.ymax;
}

template <typename T>
bool HasArea(const T& region) {
  return region.xmin < region.xmax && region.ymin < region.ymax;
}

void EmitInRegion(int32_t system, const ParticleEmitter& e, int32_t type, int32_t number) {
  if (number < 0) {
    if (Random_Int(number) != 0) return;
    number = 1;
  }
  if (number == 0) return;
  if (ParticleSystem* s = PartSystem_Get(system)) {
    // Room for all at once; every number that gets here is capped.
    size_t wanted = s->particles.size() + size_t(number);
    if (wanted > s->particles.capacity()) s->particles.reserve(wanted);
  }
  bool inverse = e.distribution == kPsDistrInvGaussian && e.shape != kPsShapeLine;
  for (int32_t made = 0; made < number;) {
    float fx = Part_RandomInRange(0.0f, 1.0f, e.distribution);
    float fy = Part_RandomInRange(0.0f, 1.0f, e.distribution);
    // The inverse-gaussian spread applies along one axis at a time.
    if (inverse) {
      if (Random_Real(1.0) < 0.5) {
        fx = float(Random_Real(1.0));
      } else {
        fy = float(Random_Real(1.0));
      }
    }
    if (e.shape == kPsShapeEllipse) {
      if ((fx - 0.5f) * (fx - 0.5f) + (fy - 0.5f) * (fy - 0.5f) > 0.25f) continue;
    } else if (e.shape == kPsShapeDiamond) {
      if (std::fabs(fx - 0.5f) + std::fabs(fy - 0.5f) > 0.5f) continue;
    } else if (e.shape == kPsShapeLine) {
      fy = fx;
    }
    PartParticles_Create(system, e.xmin + (e.xmax - e.xmin) * fx, e.ymin + (e.ymax - e.ymin) * fy, type, 1);
    ++made;
  }
}

}  // namespace

int32_t PartModifier_Create(PartModifier kind, int32_t system) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return -1;
  return WithList(kind, *s, [](auto& list) {
    using Record = typename std::decay_t<decltype(list)>::value_type;
    size_t slot = 0;
    while (slot < list.size() && list[slot].inUse) ++slot;
    if (slot == list.size()) list.emplace_back();
    list[slot] = Record{};
    list[slot].inUse = true;
    return int32_t(slot);
  });
}

void PartModifier_Destroy(PartModifier kind, int32_t system, int32_t index) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return;
  WithList(kind, *s, [&](auto& list) {
    if (index >= 0 && index < int32_t(list.size())) list[size_t(index)].inUse = false;
  });
}

void PartModifier_DestroyAll(PartModifier kind, int32_t system) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return;
  WithList(kind, *s, [](auto& list) { std::decay_t<decltype(list)>().swap(list); });
}

bool PartModifier_Exists(PartModifier kind, int32_t system, int32_t index) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return false;
  return WithList(kind, *s, [&](auto& list) {
    return index >= 0 && index < int32_t(list.size()) && list[size_t(index)].inUse;
  });
}

void PartModifier_Clear(PartModifier kind, int32_t system, int32_t index) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return;
  WithList(kind, *s, [&](auto& list) {
    using Record = typename std::decay_t<decltype(list)>::value_type;
    if (index < 0 || index >= int32_t(list.size()) || !list[size_t(index)].inUse) return;
    list[size_t(index)] = Record{};
    list[size_t(index)].inUse = true;
  });
}

int32_t PartModifier_SlotCount(PartModifier kind, int32_t system) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return 0;
  return WithList(kind, *s, [](auto& list) { return int32_t(list.size()); });
}

void PartEmitter_Region(int32_t system, int32_t emitter, float xmin, float xmax, float ymin, float ymax,
                        int32_t shape, int32_t distribution) {
  if (ParticleEmitter* e = Component(&ParticleSystem::emitters, system, emitter)) {
    e->xmin = xmin, e->xmax = xmax, e->ymin = ymin, e->ymax = ymax;
    e->shape = shape, e->distribution = distribution;
  }
}

void PartEmitter_Stream(int32_t system, int32_t emitter, int32_t type, int32_t number) {
  number = Part_LimitCount("part_emitter_stream", number);
  if (ParticleEmitter* e = Component(&ParticleSystem::emitters, system, emitter))
    e->streamType = type, e->streamNumber = number;
}

void PartEmitter_Burst(int32_t system, int32_t emitter, int32_t type, int32_t number) {
  number = Part_LimitCount("part_emitter_burst", number);
  if (ParticleEmitter* e = Component(&ParticleSystem::emitters, system, emitter)) {
    ParticleEmitter region = *e;
    EmitInRegion(system, region, type, number);
  }
}

void PartAttractor_Position(int32_t system, int32_t attractor, float x, float y) {
  if (ParticleAttractor* a = Component(&ParticleSystem::attractors, system, attractor)) a->x = x, a->y = y;
}

void PartAttractor_Force(int32_t system, int32_t attractor, float force, float distance, int32_t kind,
                         bool additive) {
  if (ParticleAttractor* a = Component(&ParticleSystem::attractors, system, attractor))
    a->force = force, a->distance = distance, a->kind = kind, a->additive = additive;
}

void PartDestroyer_Region(int32_t system, int32_t destroyer, float xmin, float xmax, float ymin, float ymax,
                          int32_t shape) {
  if (ParticleDestroyer* d = Component(&ParticleSystem::destroyers, system, destroyer))
    d->xmin = xmin, d->xmax = xmax, d->ymin = ymin, d->ymax = ymax, d->shape = shape;
}

void PartDeflector_Region(int32_t system, int32_t deflector, float xmin, float xmax, float ymin, float ymax) {
  if (ParticleDeflector* d = Component(&ParticleSystem::deflectors, system, deflector))
    d->xmin = xmin, d->xmax = xmax, d->ymin = ymin, d->ymax = ymax;
}

void PartDeflector_Kind(int32_t system, int32_t deflector, int32_t kind) {
  if (ParticleDeflector* d = Component(&ParticleSystem::deflectors, system, deflector)) d->kind = kind;
}

void PartDeflector_Friction(int32_t system, int32_t deflector, float friction) {
  if (ParticleDeflector* d = Component(&ParticleSystem::deflectors, system, deflector)) d->friction = friction;
}

void PartChanger_Region(int32_t system, int32_t changer, float xmin, float xmax, float ymin, float ymax,
                        int32_t shape) {
  if (ParticleChanger* c = Component(&ParticleSystem::changers, system, changer))
    c->xmin = xmin, c->xmax = xmax, c->ymin = ymin, c->ymax = ymax, c->shape = shape;
}

void PartChanger_Kind(int32_t system, int32_t changer, int32_t kind) {
  if (ParticleChanger* c = Component(&ParticleSystem::changers, system, changer)) c->kind = kind;
}

void PartChanger_Types(int32_t system, int32_t changer, int32_t typeFrom, int32_t typeTo) {
  if (ParticleChanger* c = Component(&ParticleSystem::changers, system, changer))
    c->typeFrom = typeFrom, c->typeTo = typeTo;
}

void PartSystem_Deflect(ParticleSystem& system, size_t count) {
  for (const ParticleDeflector& d : system.deflectors) {
    if (!d.inUse || !HasArea(d)) continue;
    for (size_t i = 0; i < count; ++i) {
      Particle& p = system.particles[i];
      if (!Inside(d, p)) continue;
      if (d.kind == kPsDeflectHorizontal) {
        p.direction = 180.0f - p.direction;
        if (p.direction < 0.0f) p.direction += 360.0f;
        p.x = p.xPrevious - (p.x - p.xPrevious);
      } else {
        p.direction = 360.0f - p.direction;
        p.y = p.yPrevious - (p.y - p.yPrevious);
      }
      p.speed -= d.friction;
      if (p.speed < 0.0f) p.speed = 0.0f;
    }
  }
}

void PartSystem_Change(ParticleSystem& system, size_t count) {
  for (const ParticleChanger& c : system.changers) {
    if (!c.inUse || !HasArea(c) || !PartType_Exists(c.typeTo)) continue;
    for (size_t i = 0; i < count; ++i) {
      Particle& p = system.particles[i];
      if (p.type != c.typeFrom || !Inside(c, p)) continue;
      // Whole-number coordinates, so the shape test fails only at the very
      // edge of the box.
      double ix = std::trunc(2.0 * std::trunc(double(p.x) - (double(c.xmin) + c.xmax) / 2) / (c.xmax - c.xmin));
      double iy = std::trunc(2.0 * std::trunc(double(p.y) - (double(c.ymin) + c.ymax) / 2) / (c.ymax - c.ymin));
      if (c.shape == kPsShapeEllipse && ix * ix + iy * iy > 1.0) continue;
      if (c.shape == kPsShapeDiamond && std::fabs(ix) + std::fabs(iy) > 1.0) continue;
      Particle fresh;
      Part_Spawn(p.x, p.y, c.typeTo, fresh);
      p.type = c.typeTo;
      if (c.kind == kPsChangeAll) {
        p = fresh;
      } else if (c.kind == kPsChangeShape) {
        p.colour = fresh.colour, p.alpha = fresh.alpha, p.size = fresh.size;
        p.frameStart = fresh.frameStart, p.orientation = fresh.orientation;
      } else {
        p.speed = fresh.speed, p.direction = fresh.direction;
      }
    }
  }
}

void PartSystem_Destroyers(ParticleSystem& system, size_t count) {
  for (const ParticleDestroyer& d : system.destroyers) {
    if (!d.inUse || !HasArea(d)) continue;
    float cx = (d.xmin + d.xmax) / 2, cy = (d.ymin + d.ymax) / 2;
    float w = d.xmax - d.xmin, h = d.ymax - d.ymin;
    for (size_t i = 0; i < count; ++i) {
      Particle& p = system.particles[i];
      if (!p.alive || !Inside(d, p)) continue;
      float nx = (p.x - cx) * 2 / w, ny = (p.y - cy) * 2 / h;
      if (d.shape == kPsShapeRectangle) {
        p.alive = false;
      } else if (d.shape == kPsShapeEllipse) {
        if (nx * nx + ny * ny <= 1.0f) p.alive = false;
      } else if (d.shape == kPsShapeDiamond) {
        if (std::fabs(nx) + std::fabs(ny) <= 1.0f) p.alive = false;
      }
    }
  }
}

void PartSystem_Streams(int32_t system) {
  ParticleSystem* s = PartSystem_Get(system);
  if (!s) return;
  for (size_t i = 0; i < s->emitters.size(); ++i) {
    ParticleEmitter e = s->emitters[i];
    if (e.inUse && e.streamNumber != 0) EmitInRegion(system, e, e.streamType, e.streamNumber);
  }
}
