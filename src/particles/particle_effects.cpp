#include "particles/particle_effects.h"

#include <cmath>

#include "core/rooms.h"
#include "core/run_state.h"
#include "particles/particle_systems.h"
#include "particles/particle_types.h"
#include "script/random.h"

namespace {

int32_t g_Below = -1, g_Above = -1;
bool g_TypesMade = false;

// The 35 types, created together in this order.
struct EffectTypes {
  int32_t explosionBurst[3], explosionCore[3];
  int32_t ring[3], ellipse[3], firework[3], smoke[3], smokeUp[3], star[3], spark[3], flare[3], cloud[3];
  int32_t rain, snow;
} g_Types;

int32_t SizeIndex(int32_t size) { return size == 0 ? 0 : size == 2 ? 2 : 1; }

void RandomOrientation(int32_t t) { PartType_Orientation(t, 0, 360, 0, 0, false); }

// A builder's view of the effect being made.
struct Effect {
  int32_t system;
  float x, y;
  int32_t size;  // 0, 1, 2
  uint32_t colour;
  float e;

  int32_t R(float v) const { return int32_t(std::lround(v / e)); }
  template <typename T>
  T Pick(T small, T medium, T large) const {
    return size == 0 ? small : size == 1 ? medium : large;
  }
  void Create(int32_t type, int32_t number, float px, float py, uint32_t c) const {
    PartParticles_CreateColor(system, px, py, type, c, number);
  }
  void Create(int32_t type, int32_t number) const { Create(type, number, x, y, colour); }
};

void Explosion(const Effect& f) {
  const int32_t burst = f.Pick(g_Types.explosionBurst[0], g_Types.explosionBurst[1], g_Types.explosionBurst[2]);
  const int32_t core = f.Pick(g_Types.explosionCore[0], g_Types.explosionCore[1], g_Types.explosionCore[2]);
  const float e = f.e;
  PartType_Shape(burst, kPtShapeExplosion);
  const float size = f.Pick(0.1f, 0.3f, 0.4f);
  PartType_Size(burst, size, size, f.Pick(0.05f, 0.1f, 0.2f) * e, 0);
  RandomOrientation(burst);
  PartType_Direction(burst, 0, 360, 0, 0);
  const float speed = f.Pick(2.0f, 4.0f, 7.0f) * e;
  PartType_Speed(burst, speed, speed, f.Pick(-0.1f, -0.18f, -0.2f) * e, 0);
  PartType_Alpha2(burst, 0.6f, 0);
  PartType_Life(burst, f.R(f.Pick(10.0f, 12.0f, 15.0f)), f.R(f.Pick(15.0f, 17.0f, 20.0f)));

  PartType_Shape(core, kPtShapeExplosion);
  PartType_Size(core, size, size, f.Pick(0.1f, 0.2f, 0.4f) * e, 0);
  RandomOrientation(core);
  PartType_Alpha2(core, 0.8f, 0);
  const int32_t life = f.R(f.Pick(15.0f, 17.0f, 20.0f));
  PartType_Life(core, life, life);

  f.Create(burst, 20);
  f.Create(core, 1, f.x, f.y, 0);
}

void RingOrEllipse(const Effect& f, bool ellipse) {
  const int32_t* types = ellipse ? g_Types.ellipse : g_Types.ring;
  const int32_t t = types[f.size];
  PartType_Shape(t, kPtShapeRing);
  const float grow = ellipse ? f.Pick(0.2f, 0.35f, 0.6f) : f.Pick(0.15f, 0.25f, 0.4f);
  PartType_Size(t, 0, 0, grow * f.e, 0);
  PartType_Alpha2(t, 1, 0);
  if (ellipse) PartType_Scale(t, 1, 0.5f);
  PartType_Life(t, f.R(f.Pick(10.0f, 13.0f, 18.0f)), f.R(f.Pick(12.0f, 15.0f, 20.0f)));
  f.Create(t, 1);
}

void Firework(const Effect& f) {
  const int32_t t = g_Types.firework[1];
  const float e = f.e;
  PartType_Shape(t, kPtShapeFlare);
  PartType_Size(t, 0.1f, 0.2f, 0, 0);
  PartType_Speed(t, 0.5f * e, f.Pick(3.0f, 6.0f, 8.0f) * e, 0, 0);
  PartType_Direction(t, 0, 360, 0, 0);
  PartType_Alpha2(t, 1, 0.4f);
  PartType_Gravity(t, f.Pick(0.1f, 0.15f, 0.17f) * e, 270);
  PartType_Life(t, f.R(f.Pick(15.0f, 20.0f, 30.0f)), f.R(f.Pick(25.0f, 30.0f, 40.0f)));
  f.Create(t, f.Pick(75, 150, 250));
}

void Smoke(const Effect& f, bool rising) {
  const int32_t t = (rising ? g_Types.smokeUp : g_Types.smoke)[f.size];
  const float e = f.e;
  PartType_Shape(t, kPtShapeExplosion);
  PartType_Size(t, f.Pick(0.2f, 0.4f, 0.4f), f.Pick(0.4f, 0.7f, 1.0f), -0.01f * e, 0);
  PartType_Alpha2(t, 0.4f, 0);
  if (rising) {
    PartType_Speed(t, f.Pick(3.0f, 5.0f, 6.0f) * e, f.Pick(4.0f, 6.0f, 7.0f) * e, 0, 0);
    PartType_Direction(t, 90, 90, 0, 0);
  }
  const int32_t life = f.R(f.Pick(25.0f, 30.0f, 50.0f));
  PartType_Life(t, life, life);
  const int32_t spread = f.Pick(10, 30, 60);
  const float half = float(spread / 2);
  for (int32_t n = f.Pick(6, 11, 16); n > 0; --n) {
    const int32_t j = Random_Int(spread);  // the vertical offset is drawn first
    const int32_t i = Random_Int(spread);
    f.Create(t, 1, f.x - half + float(i), f.y - half + float(j), f.colour);
  }
}

// Star, spark and flare: one particle that shrinks away.
void Glint(const Effect& f, const int32_t* types, int32_t shape) {
  const int32_t t = types[f.size];
  const float e = f.e;
  PartType_Shape(t, shape);
  // The small star's maximum lies below its minimum, which gives the minimum.
  const float lo = f.Pick(0.4f, 0.75f, 1.2f);
  const float hi = shape == kPtShapeStar ? f.Pick(0.3f, 0.75f, 1.2f) : lo;
  PartType_Size(t, lo, hi, f.Pick(-0.02f, -0.03f, -0.04f) * e, 0);
  RandomOrientation(t);
  const int32_t life = f.R(f.Pick(20.0f, 25.0f, 30.0f));
  PartType_Life(t, life, life);
  f.Create(t, 1);
}

void Cloud(const Effect& f) {
  const int32_t t = g_Types.cloud[f.size];
  PartType_Shape(t, kPtShapeExplosion);
  const float size = f.Pick(2.0f, 4.0f, 8.0f);
  PartType_Size(t, size, size, 0, 0);
  PartType_Scale(t, 1, 0.5f);
  PartType_Alpha3(t, 0, 0.3f, 0);
  const int32_t life = f.R(100);
  PartType_Life(t, life, life);
  f.Create(t, 1);
}

void Weather(const Effect& f, bool snow) {
  const CGameRoom* room = g_Run.room;
  const float width = room ? float(room->width) : 0.0f, height = room ? float(room->height) : 0.0f;
  const int32_t t = snow ? g_Types.snow : g_Types.rain;
  const float e = f.e;
  if (snow) {
    PartType_Shape(t, kPtShapeSnow);
    PartType_Size(t, 0.1f, 0.25f, 0, 0);
    PartType_Alpha1(t, 0.6f);
    RandomOrientation(t);
    PartType_Speed(t, 2.5f * e, 3.0f * e, 0, 0);
    PartType_Direction(t, 240, 300, 0, 20);
  } else {
    PartType_Shape(t, kPtShapeLine);
    PartType_Size(t, 0.2f, 0.3f, 0, 0);
    PartType_Orientation(t, 0, 0, 0, 0, true);
    PartType_Speed(t, 7.0f * e, 7.0f * e, 0, 0);
    PartType_Direction(t, 260, 260, 0, 0);
    PartType_Alpha1(t, 0.4f);
  }
  const int32_t life = int32_t(std::lround(height * (snow ? 0.5f : 0.2f) / e));
  PartType_Life(t, life, life);
  for (int32_t n = snow ? f.Pick(1, 3, 7) : f.Pick(2, 5, 9); n > 0; --n) {
    const float py = float(Random_Real(20.0)) - 30.0f;  // the vertical one first
    const float px = float(Random_Real(1.0)) * 1.2f * width - (snow ? 60.0f : 0.0f);
    f.Create(t, 1, px, py, f.colour);
  }
}

void Build(int32_t kind, const Effect& f) {
  switch (kind) {
    case kEffectExplosion: Explosion(f); break;
    case kEffectRing: RingOrEllipse(f, false); break;
    case kEffectEllipse: RingOrEllipse(f, true); break;
    case kEffectFirework: Firework(f); break;
    case kEffectSmoke: Smoke(f, false); break;
    case kEffectSmokeUp: Smoke(f, true); break;
    case kEffectStar: Glint(f, g_Types.star, kPtShapeStar); break;
    case kEffectSpark: Glint(f, g_Types.spark, kPtShapeSpark); break;
    case kEffectFlare: Glint(f, g_Types.flare, kPtShapeFlare); break;
    case kEffectCloud: Cloud(f); break;
    case kEffectRain: Weather(f, false); break;
    case kEffectSnow: Weather(f, true); break;
    default: break;
  }
}

int32_t EnsureSystem(int32_t index, float depth) {
  if (PartSystem_Exists(index)) return index;
  index = PartSystem_Create();
  PartSystem_Depth(index, depth);
  return index;
}

}  // namespace

void Effect_CreateTypes() {
  g_TypesMade = true;
  int32_t* order[] = {
      &g_Types.explosionBurst[0], &g_Types.explosionCore[0],  &g_Types.explosionBurst[1],
      &g_Types.explosionCore[1],  &g_Types.explosionBurst[2], &g_Types.explosionCore[2],
  };
  for (int32_t* t : order) *t = PartType_Create();
  for (int32_t* group : {g_Types.ring, g_Types.ellipse, g_Types.firework, g_Types.smoke, g_Types.smokeUp,
                         g_Types.star, g_Types.spark, g_Types.flare, g_Types.cloud})
    for (int k = 0; k < 3; ++k) group[k] = PartType_Create();
  g_Types.rain = PartType_Create();
  g_Types.snow = PartType_Create();
}

void Effect_EnsureSystems() {
  g_Below = EnsureSystem(g_Below, kEffectBelowDepth);
  g_Above = EnsureSystem(g_Above, kEffectAboveDepth);
  if (!g_TypesMade) Effect_CreateTypes();
}

void Effect_Create(bool below, int32_t kind, float x, float y, int32_t size, uint32_t colour) {
  Effect_EnsureSystems();
  const Effect f{below ? g_Below : g_Above, x, y, SizeIndex(size), colour, Effect_SpeedFactor()};
  Build(kind, f);
}

void Effect_Clear() {
  PartParticles_Clear(g_Below);
  PartParticles_Clear(g_Above);
}

float Effect_SpeedFactor() {
  const float s = g_Run.room ? float(g_Run.room->speed) : 0.0f;
  const float f = float(g_Run.fps);
  if (s > 30.0f && f > 30.0f) return s / f < 1.2f ? 30.0f / s : 30.0f / f;
  return 1.0f;
}

int32_t Effect_BelowSystem() { return g_Below; }
int32_t Effect_AboveSystem() { return g_Above; }

void Effect_Forget() {
  g_Below = g_Above = -1;
  g_TypesMade = false;
  g_Types = {};
}
