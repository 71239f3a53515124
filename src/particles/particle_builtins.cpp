// The particle built-ins of the "Particle.." group: each converts its
// arguments and calls the particle operation. Ids are looked up by the
// operations, so a missing or destroyed one does nothing (or answers 0 / -1).

#include "particles/particle_draw.h"
#include "particles/particle_effects.h"
#include "particles/particles.h"
#include "script/builtin_args.h"
#include "script/function_registry.h"

namespace {

int32_t Id(int argc, const ScriptValue* args, int i) { return RoundedArg(argc, args, i); }
float Real(int argc, const ScriptValue* args, int i) { return FloatArg(argc, args, i); }
bool Flag(int argc, const ScriptValue* args, int i) { return HalfFlagArg(argc, args, i); }
uint32_t Colour(int argc, const ScriptValue* args, int i) { return ColourArg(argc, args, i); }

// ---- Types ----
TW_BUILTIN(F_TypeCreate) { Return(result, PartType_Create()); }
TW_BUILTIN(F_TypeDestroy) { PartType_Destroy(Id(argc, args, 0)); }
TW_BUILTIN(F_TypeExists) { Return(result, PartType_Exists(Id(argc, args, 0)) ? 1 : 0); }
TW_BUILTIN(F_TypeClear) { PartType_Clear(Id(argc, args, 0)); }
TW_BUILTIN(F_TypeShape) { PartType_Shape(Id(argc, args, 0), Id(argc, args, 1)); }
TW_BUILTIN(F_TypeSprite) {
  PartType_Sprite(Id(argc, args, 0), Id(argc, args, 1), Flag(argc, args, 2), Flag(argc, args, 3),
                  Flag(argc, args, 4));
}
TW_BUILTIN(F_TypeSize) {
  PartType_Size(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                Real(argc, args, 4));
}
TW_BUILTIN(F_TypeScale) { PartType_Scale(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2)); }
TW_BUILTIN(F_TypeLife) { PartType_Life(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2)); }
TW_BUILTIN(F_TypeStep) {
  PartType_Step(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2));
}
TW_BUILTIN(F_TypeDeath) {
  PartType_Death(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2));
}
TW_BUILTIN(F_TypeSpeed) {
  PartType_Speed(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                 Real(argc, args, 4));
}
TW_BUILTIN(F_TypeDirection) {
  PartType_Direction(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                     Real(argc, args, 4));
}
TW_BUILTIN(F_TypeOrientation) {
  PartType_Orientation(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                       Real(argc, args, 4), Flag(argc, args, 5));
}
TW_BUILTIN(F_TypeGravity) { PartType_Gravity(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2)); }
TW_BUILTIN(F_TypeColorMix) { PartType_ColorMix(Id(argc, args, 0), Colour(argc, args, 1), Colour(argc, args, 2)); }
TW_BUILTIN(F_TypeColorRGB) {
  PartType_ColorRGB(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2), Id(argc, args, 3), Id(argc, args, 4),
                    Id(argc, args, 5), Id(argc, args, 6));
}
TW_BUILTIN(F_TypeColorHSV) {
  PartType_ColorHSV(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2), Id(argc, args, 3), Id(argc, args, 4),
                    Id(argc, args, 5), Id(argc, args, 6));
}
TW_BUILTIN(F_TypeColor1) { PartType_Color1(Id(argc, args, 0), Colour(argc, args, 1)); }
TW_BUILTIN(F_TypeColor2) { PartType_Color2(Id(argc, args, 0), Colour(argc, args, 1), Colour(argc, args, 2)); }
TW_BUILTIN(F_TypeColor3) {
  PartType_Color3(Id(argc, args, 0), Colour(argc, args, 1), Colour(argc, args, 2), Colour(argc, args, 3));
}
TW_BUILTIN(F_TypeAlpha1) { PartType_Alpha1(Id(argc, args, 0), Real(argc, args, 1)); }
TW_BUILTIN(F_TypeAlpha2) { PartType_Alpha2(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2)); }
TW_BUILTIN(F_TypeAlpha3) {
  PartType_Alpha3(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}
TW_BUILTIN(F_TypeBlend) { PartType_Blend(Id(argc, args, 0), Flag(argc, args, 1)); }

// ---- Systems and particles ----
TW_BUILTIN(F_SystemCreate) { Return(result, PartSystem_Create()); }
TW_BUILTIN(F_SystemDestroy) { PartSystem_Destroy(Id(argc, args, 0)); }
TW_BUILTIN(F_SystemExists) { Return(result, PartSystem_Exists(Id(argc, args, 0)) ? 1 : 0); }
TW_BUILTIN(F_SystemClear) { PartSystem_Clear(Id(argc, args, 0)); }
TW_BUILTIN(F_SystemDrawOrder) { PartSystem_DrawOrder(Id(argc, args, 0), Flag(argc, args, 1)); }
TW_BUILTIN(F_SystemDepth) { PartSystem_Depth(Id(argc, args, 0), Real(argc, args, 1)); }
TW_BUILTIN(F_SystemPosition) { PartSystem_Position(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2)); }
TW_BUILTIN(F_SystemAutomaticUpdate) { PartSystem_AutomaticUpdate(Id(argc, args, 0), Flag(argc, args, 1)); }
TW_BUILTIN(F_SystemAutomaticDraw) { PartSystem_AutomaticDraw(Id(argc, args, 0), Flag(argc, args, 1)); }
TW_BUILTIN(F_SystemUpdate) { PartSystem_Update(Id(argc, args, 0)); }
TW_BUILTIN(F_SystemDrawIt) { PartSystem_Draw(Id(argc, args, 0)); }
TW_BUILTIN(F_ParticlesCreate) {
  PartParticles_Create(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Id(argc, args, 3),
                       Id(argc, args, 4));
}
TW_BUILTIN(F_ParticlesCreateColor) {
  PartParticles_CreateColor(Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Id(argc, args, 3),
                            Colour(argc, args, 4), Id(argc, args, 5));
}
TW_BUILTIN(F_ParticlesClear) { PartParticles_Clear(Id(argc, args, 0)); }
TW_BUILTIN(F_ParticlesCount) { Return(result, PartParticles_Count(Id(argc, args, 0))); }

// ---- Emitters and modifiers: the five kinds share their first five ----
template <PartModifier K>
TW_BUILTIN(F_ModCreate) {
  Return(result, PartModifier_Create(K, Id(argc, args, 0)));
}
template <PartModifier K>
TW_BUILTIN(F_ModDestroy) {
  PartModifier_Destroy(K, Id(argc, args, 0), Id(argc, args, 1));
}
template <PartModifier K>
TW_BUILTIN(F_ModDestroyAll) {
  PartModifier_DestroyAll(K, Id(argc, args, 0));
}
template <PartModifier K>
TW_BUILTIN(F_ModExists) {
  Return(result, PartModifier_Exists(K, Id(argc, args, 0), Id(argc, args, 1)) ? 1 : 0);
}
template <PartModifier K>
TW_BUILTIN(F_ModClear) {
  PartModifier_Clear(K, Id(argc, args, 0), Id(argc, args, 1));
}

TW_BUILTIN(F_EmitterRegion) {
  PartEmitter_Region(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                     Real(argc, args, 4), Real(argc, args, 5), Id(argc, args, 6), Id(argc, args, 7));
}
TW_BUILTIN(F_EmitterBurst) {
  PartEmitter_Burst(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2),
                    Id(argc, args, 3));
}
TW_BUILTIN(F_EmitterStream) {
  PartEmitter_Stream(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2),
                     Id(argc, args, 3));
}
TW_BUILTIN(F_AttractorPosition) {
  PartAttractor_Position(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3));
}
TW_BUILTIN(F_AttractorForce) {
  PartAttractor_Force(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                      Id(argc, args, 4), Flag(argc, args, 5));
}
TW_BUILTIN(F_DestroyerRegion) {
  PartDestroyer_Region(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                       Real(argc, args, 4), Real(argc, args, 5), Id(argc, args, 6));
}
TW_BUILTIN(F_DeflectorRegion) {
  PartDeflector_Region(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                       Real(argc, args, 4), Real(argc, args, 5));
}
TW_BUILTIN(F_DeflectorKind) { PartDeflector_Kind(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2)); }
TW_BUILTIN(F_DeflectorFriction) {
  PartDeflector_Friction(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2));
}
TW_BUILTIN(F_ChangerRegion) {
  PartChanger_Region(Id(argc, args, 0), Id(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                     Real(argc, args, 4), Real(argc, args, 5), Id(argc, args, 6));
}
TW_BUILTIN(F_ChangerKind) { PartChanger_Kind(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2)); }
TW_BUILTIN(F_ChangerTypes) {
  PartChanger_Types(Id(argc, args, 0), Id(argc, args, 1), Id(argc, args, 2), Id(argc, args, 3));
}

// ---- Effects ----
void CreateEffect(bool below, int argc, const ScriptValue* args) {
  Effect_Create(below, Id(argc, args, 0), Real(argc, args, 1), Real(argc, args, 2), Id(argc, args, 3),
                Colour(argc, args, 4));
}
TW_BUILTIN(F_EffectCreateBelow) { CreateEffect(true, argc, args); }
TW_BUILTIN(F_EffectCreateAbove) { CreateEffect(false, argc, args); }
TW_BUILTIN(F_EffectClear) { Effect_Clear(); }

struct Row {
  const char* name;
  BuiltinHandler handler;
  int args;
};

// The first five rows of a component kind, in their fixed order.
#define TW_COMPONENT_ROWS(prefix, kind)                                                              \
  {prefix "_create", F_ModCreate<kind>, 1}, {prefix "_destroy", F_ModDestroy<kind>, 2},              \
      {prefix "_destroy_all", F_ModDestroyAll<kind>, 1}, {prefix "_exists", F_ModExists<kind>, 2}, { \
    prefix "_clear", F_ModClear<kind>, 2                                                             \
  }

constexpr Row kRows[] = {
    {"part_type_create", F_TypeCreate, 0},
    {"part_type_destroy", F_TypeDestroy, 1},
    {"part_type_exists", F_TypeExists, 1},
    {"part_type_clear", F_TypeClear, 1},
    {"part_type_shape", F_TypeShape, 2},
    {"part_type_sprite", F_TypeSprite, 5},
    {"part_type_size", F_TypeSize, 5},
    {"part_type_scale", F_TypeScale, 3},
    {"part_type_life", F_TypeLife, 3},
    {"part_type_step", F_TypeStep, 3},
    {"part_type_death", F_TypeDeath, 3},
    {"part_type_speed", F_TypeSpeed, 5},
    {"part_type_direction", F_TypeDirection, 5},
    {"part_type_orientation", F_TypeOrientation, 6},
    {"part_type_gravity", F_TypeGravity, 3},
    {"part_type_color_mix", F_TypeColorMix, 3},
    {"part_type_color_rgb", F_TypeColorRGB, 7},
    {"part_type_color_hsv", F_TypeColorHSV, 7},
    {"part_type_color1", F_TypeColor1, 2},
    {"part_type_color2", F_TypeColor2, 3},
    {"part_type_color3", F_TypeColor3, 4},
    {"part_type_color", F_TypeColor3, 4},
    {"part_type_alpha1", F_TypeAlpha1, 2},
    {"part_type_alpha2", F_TypeAlpha2, 3},
    {"part_type_alpha3", F_TypeAlpha3, 4},
    {"part_type_alpha", F_TypeAlpha3, 4},
    {"part_type_blend", F_TypeBlend, 2},
    {"part_system_create", F_SystemCreate, 0},
    {"part_system_destroy", F_SystemDestroy, 1},
    {"part_system_exists", F_SystemExists, 1},
    {"part_system_clear", F_SystemClear, 1},
    {"part_system_draw_order", F_SystemDrawOrder, 2},
    {"part_system_depth", F_SystemDepth, 2},
    {"part_system_position", F_SystemPosition, 3},
    {"part_system_automatic_update", F_SystemAutomaticUpdate, 2},
    {"part_system_automatic_draw", F_SystemAutomaticDraw, 2},
    {"part_system_update", F_SystemUpdate, 1},
    {"part_system_drawit", F_SystemDrawIt, 1},
    {"part_particles_create", F_ParticlesCreate, 5},
    {"part_particles_create_color", F_ParticlesCreateColor, 6},
    {"part_particles_clear", F_ParticlesClear, 1},
    {"part_particles_count", F_ParticlesCount, 1},
    TW_COMPONENT_ROWS("part_emitter", PartModifier::Emitter),
    {"part_emitter_region", F_EmitterRegion, 8},
    {"part_emitter_burst", F_EmitterBurst, 4},
    {"part_emitter_stream", F_EmitterStream, 4},
    TW_COMPONENT_ROWS("part_attractor", PartModifier::Attractor),
    {"part_attractor_position", F_AttractorPosition, 4},
    {"part_attractor_force", F_AttractorForce, 6},
    TW_COMPONENT_ROWS("part_destroyer", PartModifier::Destroyer),
    {"part_destroyer_region", F_DestroyerRegion, 7},
    TW_COMPONENT_ROWS("part_deflector", PartModifier::Deflector),
    {"part_deflector_region", F_DeflectorRegion, 6},
    {"part_deflector_kind", F_DeflectorKind, 3},
    {"part_deflector_friction", F_DeflectorFriction, 3},
    TW_COMPONENT_ROWS("part_changer", PartModifier::Changer),
    {"part_changer_region", F_ChangerRegion, 7},
    {"part_changer_kind", F_ChangerKind, 3},
    {"part_changer_types", F_ChangerTypes, 4},
    {"effect_create_below", F_EffectCreateBelow, 5},
    {"effect_create_above", F_EffectCreateAbove, 5},
    {"effect_clear", F_EffectClear, 0},
};
#undef TW_COMPONENT_ROWS
static_assert(std::size(kRows) == 82);

}  // namespace

void InitParticleFunctions() {
  for (const Row& row : kRows) FunctionRegistry_Add(row.name, row.handler, row.args);
}
