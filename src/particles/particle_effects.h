// The one-call effects: ready-made particle effects in two systems of their
// own, one behind every instance and one in front of them all.
#pragma once
#include <cstdint>

enum : int32_t {
  kEffectExplosion = 0,
  kEffectRing,
  kEffectEllipse,
  kEffectFirework,
  kEffectSmoke,
  kEffectSmokeUp,
  kEffectStar,
  kEffectSpark,
  kEffectFlare,
  kEffectCloud,
  kEffectRain,
  kEffectSnow,
  kEffectKindCount
};

constexpr float kEffectBelowDepth = 100000.0f;
constexpr float kEffectAboveDepth = -100000.0f;

// size: 0 small, 2 large, anything else medium; colour 0x00BBGGRR. A kind
// outside 0..11 makes only the systems and types.
void Effect_Create(bool below, int32_t kind, float x, float y, int32_t size, uint32_t colour);
// Makes each effect system that does not exist and, once, the types.
void Effect_EnsureSystems();
void Effect_CreateTypes();
// Removes the particles of both effect systems (room entry).
void Effect_Clear();
// How much slower than 30 steps a second the game runs: 30 / speed, or
// 30 / measured rate when the game falls behind; 1 at 30 or below.
float Effect_SpeedFactor();
// The effect systems (-1 before the first effect).
int32_t Effect_BelowSystem();
int32_t Effect_AboveSystem();
// Forgets the systems and types (with the rest of the particle state).
void Effect_Forget();
