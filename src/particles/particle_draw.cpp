#include "particles/particle_draw.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "draw/room_draw.h"
#include "graphics/batching.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "particles/particle_systems.h"
#include "particles/particle_types.h"
#include "sprites/sprites.h"

namespace {

constexpr int kFirstShapeImage = 1;
constexpr float kNoDepth = -1.0e9f;
constexpr float kHalfShape = 32.0f;

std::array<TextureD3D*, kPtShapeCount> g_ShapeTextures{};

uint32_t DeviceColour(uint32_t colour, float alpha) {
  // Truncated then clamped: alpha 1.5 is opaque, -0.2 clear.
  const float scaled = alpha * 255.0f;
  const int32_t a = scaled >= 255.0f ? 255 : scaled <= 0.0f ? 0 : int32_t(scaled);
  return uint32_t(a) << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

// Keeps the blend mode switched only when the additive flag changes, and
// back to normal when the pass ends however it ends.
class BlendSwitch {
 public:
  void Set(bool additive) {
    if (additive == additive_) return;
    RenderState_SetBlendMode(additive ? BlendMode_Add : BlendMode_Normal);
    additive_ = additive;
  }
  ~BlendSwitch() { RenderState_SetBlendMode(BlendMode_Normal); }

 private:
  bool additive_ = false;
};

// The sprite's frame for the particle's age.
int SpriteFrame(const ParticleType& type, const Particle& p, const CSprite& sprite) {
  if (!type.animate) return p.frameStart;
  if (type.stretch) {
    const int64_t life = p.life > 0 ? p.life : 1;
    return int(int64_t(p.frameStart) + int64_t(sprite.frameCount) * p.age / life);
  }
  return p.frameStart + p.age;
}

float WigglePhase(int32_t age, int64_t k, int32_t seed) {
  int64_t m = (int64_t(age) + k * int64_t(seed)) % 16;
  return float(m < 0 ? m + 16 : m);
}

void DrawParticles(const ParticleSystem& system, size_t first, size_t end, std::ptrdiff_t step) {
  BlendSwitch blend;
  const float z = Graphics_GetDepth();
  for (size_t i = first; i != end; i = size_t(std::ptrdiff_t(i) + step)) {
    const Particle& p = system.particles[i];
    if (p.life < 1) return;
    const ParticleType& type = PartType_Record(p.type);
    CSprite* sprite = type.sprite >= 0 ? Sprite_Get(type.sprite) : nullptr;
    if (sprite && sprite->frameCount <= 0) return;
    if (!sprite && (type.shape < 0 || type.shape >= kPtShapeCount)) return;
    float angle = p.orientation + (type.relative ? p.direction : 0.0f);
    if (type.orientationWiggle != 0.0f)
      angle += type.orientationWiggle * Part_Triangle(WigglePhase(p.age, 2, p.seed) * 0.25f);
    float size = p.size;
    if (type.sizeWiggle != 0.0f) size += type.sizeWiggle * Part_Triangle(WigglePhase(p.age, 1, p.seed) * 0.25f);
    blend.Set(type.additive);
    const float x = p.x + system.x, y = p.y + system.y;
    if (sprite) {
      sprite->DrawExt(SpriteFrame(type, p, *sprite), x, y, type.xScale * size, type.yScale * size, angle, p.colour,
                      p.alpha);
      continue;
    }
    TextureD3D* texture = g_ShapeTextures[size_t(type.shape)];
    if (!texture) continue;
    auto* v = static_cast<TexturedVertex*>(VertexBatch_Reserve(gfx::Prim_TriangleList, texture->texture, 24, 6));
    if (!v) continue;
    Part_WriteShapeVertices(v, x, y, type.xScale, type.yScale, size, angle, z, p.colour, p.alpha);
  }
}

bool DrawnAutomatically(const ParticleSystem* s) { return s && s->automaticDraw; }

}  // namespace

void Part_CreateTextures() {
  Part_FreeTextures();
  for (int s = 0; s < kPtShapeCount; ++s) g_ShapeTextures[size_t(s)] = Texture_LoadEmbedded(kFirstShapeImage + s);
  Part_InstallDrawHooks();
}

void Part_FreeTextures() {
  for (TextureD3D*& t : g_ShapeTextures) {
    if (t) TextureD3D_Free(t);
    t = nullptr;
  }
}

TextureD3D* Part_ShapeTexture(int32_t shape) {
  return shape >= 0 && shape < kPtShapeCount ? g_ShapeTextures[size_t(shape)] : nullptr;
}

void Part_WriteShapeVertices(TexturedVertex out[6], float x, float y, float xScale, float yScale, float size,
                             float angle, float z, uint32_t colour, float alpha) {
  const float cx = std::trunc(x), cy = std::trunc(y);
  const float left = -kHalfShape * xScale * size, right = kHalfShape * xScale * size;
  const float top = -kHalfShape * yScale * size, bottom = kHalfShape * yScale * size;
  const float offsets[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const uint32_t c = DeviceColour(colour, alpha);
  float corners[4][2];
  if (std::fabs(angle) < 0.01f) {
    for (int k = 0; k < 4; ++k) corners[k][0] = cx + offsets[k][0], corners[k][1] = cy + offsets[k][1];
  } else {
    const float a = angle * 0.017453292f, cs = std::cos(a), sn = std::sin(a);
    for (int k = 0; k < 4; ++k) {
      const float dx = offsets[k][0], dy = offsets[k][1];
      corners[k][0] = cx + dx * cs + dy * sn;
      corners[k][1] = cy - dx * sn + dy * cs;
    }
  }
  constexpr int kOrder[6] = {0, 1, 2, 2, 3, 0};
  for (int k = 0; k < 6; ++k) {
    const int n = kOrder[k];
    out[k] = {corners[n][0], corners[n][1], z, c, uv[n][0], uv[n][1]};
  }
}

void PartSystem_Draw(int32_t index) {
  const ParticleSystem* system = PartSystem_Get(index);
  if (!system || system->particles.empty()) return;
  const bool interpolation = RenderState_GetInterpolation();
  const size_t n = system->particles.size();
  if (system->oldToNew) {
    DrawParticles(*system, 0, n, 1);
  } else {
    DrawParticles(*system, n - 1, size_t(-1), -1);
  }
  RenderState_SetInterpolation(interpolation);
}

float PartSystem_MaxDepth() {
  float best = kNoDepth;
  for (int32_t i = 0; i < PartSystem_SlotCount(); ++i) {
    const ParticleSystem* s = PartSystem_Get(i);
    if (DrawnAutomatically(s) && s->depth > best) best = s->depth;
  }
  return best;
}

float PartSystem_NextDepthBelow(float depth) {
  float best = kNoDepth;
  for (int32_t i = 0; i < PartSystem_SlotCount(); ++i) {
    const ParticleSystem* s = PartSystem_Get(i);
    if (DrawnAutomatically(s) && s->depth < depth && s->depth > best) best = s->depth;
  }
  return best;
}

void PartSystem_DrawAtDepth(float depth) {
  for (int32_t i = 0; i < PartSystem_SlotCount(); ++i) {
    const ParticleSystem* s = PartSystem_Get(i);
    if (DrawnAutomatically(s) && std::fabs(s->depth - depth) < 0.01f) PartSystem_Draw(i);
  }
}

void Part_InstallDrawHooks() {
  RoomParticleHooks hooks;
  hooks.maxDepth = PartSystem_MaxDepth;
  hooks.nextDepthBelow = PartSystem_NextDepthBelow;
  hooks.drawAtDepth = PartSystem_DrawAtDepth;
  RoomDraw_SetParticleHooks(hooks);
}
