// The action particle system: one system with 16 numbered type slots and 16
// numbered emitter slots, so drag-and-drop games make particles without
// keeping indices themselves. A slot number outside 0..15 names no slot: the
// action then does nothing at all and reports nothing.
#include <array>

#include "actions/action_args.h"
#include "actions/action_group.h"
#include "particles/particles.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

constexpr int kSlots = 16;

int32_t g_system = -1;
std::array<int32_t, kSlots> g_types{};
std::array<int32_t, kSlots> g_emitters{};

// The slot the rounded argument names, or null outside 0..15.
int32_t* Slot(std::array<int32_t, kSlots>& slots, int argc, const ScriptValue* args, int i) {
  const int32_t n = RoundedArg(argc, args, i);
  return n >= 0 && n < kSlots ? &slots[size_t(n)] : nullptr;
}

int32_t EnsureSystem() {
  if (g_system < 0) g_system = PartSystem_Create();
  return g_system;
}

// The system made if need be, then the type of the slot (made if need be);
// -1 without touching anything when the slot number names no slot.
int32_t EnsureType(int argc, const ScriptValue* args) {
  int32_t* slot = Slot(g_types, argc, args, 0);
  if (!slot) return -1;
  EnsureSystem();
  if (*slot < 0) *slot = PartType_Create();
  return *slot;
}

TW_BUILTIN(action_partsyst_create) {
  const int32_t system = EnsureSystem();
  PartSystem_Clear(system);
  PartSystem_Depth(system, float(RoundedArg(argc, args, 0)));
  g_types.fill(-1);
  g_emitters.fill(-1);
}

TW_BUILTIN(action_partsyst_destroy) {
  if (g_system >= 0) PartSystem_Destroy(g_system);
  g_system = -1;
  // The emitters went with the system; kept, their numbers would name
  // emitters of whatever system comes next. Types outlive systems.
  g_emitters.fill(-1);
}

TW_BUILTIN(action_partsyst_clear) {
  if (g_system >= 0) PartParticles_Clear(g_system);
}

TW_BUILTIN(action_parttype_create_old) {
  const int32_t type = EnsureType(argc, args);
  if (type == -1) return;
  PartType_Shape(type, RoundedArg(argc, args, 1));
  PartType_Size(type, FloatArg(argc, args, 2), FloatArg(argc, args, 3), 0, 0);
  PartType_Color2(type, ColourArg(argc, args, 4), ColourArg(argc, args, 5));
}

TW_BUILTIN(action_parttype_create) {
  const int32_t type = EnsureType(argc, args);
  if (type == -1) return;
  PartType_Shape(type, RoundedArg(argc, args, 1));
  PartType_Sprite(type, RoundedArg(argc, args, 2), true, false, false);
  PartType_Size(type, FloatArg(argc, args, 3), FloatArg(argc, args, 4), FloatArg(argc, args, 5), 0);
}

TW_BUILTIN(action_parttype_color) {
  const int32_t type = EnsureType(argc, args);
  if (type == -1) return;
  const uint32_t c1 = ColourArg(argc, args, 2), c2 = ColourArg(argc, args, 3);
  if (RoundedArg(argc, args, 1) != 0) PartType_Color2(type, c1, c2);
  else PartType_ColorMix(type, c1, c2);
  PartType_Alpha2(type, FloatArg(argc, args, 4), FloatArg(argc, args, 5));
}

TW_BUILTIN(action_parttype_life) {
  const int32_t type = EnsureType(argc, args);
  if (type != -1) PartType_Life(type, RoundedArg(argc, args, 1), RoundedArg(argc, args, 2));
}

TW_BUILTIN(action_parttype_speed) {
  const int32_t type = EnsureType(argc, args);
  if (type == -1) return;
  PartType_Speed(type, FloatArg(argc, args, 1), FloatArg(argc, args, 2), -FloatArg(argc, args, 5), 0);
  PartType_Direction(type, FloatArg(argc, args, 3), FloatArg(argc, args, 4), 0, 0);
}

TW_BUILTIN(action_parttype_gravity) {
  const int32_t type = EnsureType(argc, args);
  if (type != -1) PartType_Gravity(type, FloatArg(argc, args, 1), FloatArg(argc, args, 2));
}

TW_BUILTIN(action_parttype_secondary) {
  const int32_t* step = Slot(g_types, argc, args, 1);
  const int32_t* death = Slot(g_types, argc, args, 3);
  if (!step || !death || !Slot(g_types, argc, args, 0)) return;
  // The step and death slots are read as they are, made or not.
  const int32_t type = EnsureType(argc, args);
  PartType_Step(type, RoundedArg(argc, args, 2), *step);
  PartType_Death(type, RoundedArg(argc, args, 4), *death);
}

TW_BUILTIN(action_partemit_create) {
  int32_t* emitter = Slot(g_emitters, argc, args, 0);
  if (!emitter) return;
  const int32_t system = EnsureSystem();
  if (*emitter < 0) *emitter = PartEmitter_Create(system);
  PartEmitter_Region(system, *emitter, FloatArg(argc, args, 2), FloatArg(argc, args, 3), FloatArg(argc, args, 4),
                     FloatArg(argc, args, 5), RoundedArg(argc, args, 1), kPsDistrLinear);
}

TW_BUILTIN(action_partemit_destroy) {
  int32_t* emitter = Slot(g_emitters, argc, args, 0);
  if (!emitter) return;
  const int32_t system = EnsureSystem();
  if (*emitter < 0) return;
  PartEmitter_Destroy(system, *emitter);
  *emitter = -1;
}

// The emitter and the type the burst and stream actions name, the system
// made first; false when a slot number names no slot or the emitter is not
// made yet (reported).
bool EmitterAndType(int argc, const ScriptValue* args, int32_t* emitter, int32_t* type) {
  const int32_t* e = Slot(g_emitters, argc, args, 0);
  const int32_t* t = Slot(g_types, argc, args, 1);
  if (!e || !t) return false;
  EnsureSystem();
  if (*e < 0) {
    Action_Report("The particle emitter must first be created.");
    return false;
  }
  *emitter = *e;
  *type = *t;
  return true;
}

TW_BUILTIN(action_partemit_burst) {
  int32_t emitter = 0, type = 0;
  if (EmitterAndType(argc, args, &emitter, &type))
    PartEmitter_Burst(g_system, emitter, type, RoundedArg(argc, args, 2));
}

TW_BUILTIN(action_partemit_stream) {
  int32_t emitter = 0, type = 0;
  if (EmitterAndType(argc, args, &emitter, &type))
    PartEmitter_Stream(g_system, emitter, type, RoundedArg(argc, args, 2));
}

const NamedBuiltin kParticles[] = {
    {"action_partsyst_create", action_partsyst_create},
    {"action_partsyst_destroy", action_partsyst_destroy},
    {"action_partsyst_clear", action_partsyst_clear},
    {"action_parttype_create_old", action_parttype_create_old},
    {"action_parttype_create", action_parttype_create},
    {"action_parttype_color", action_parttype_color},
    {"action_parttype_colour", action_parttype_color},
    {"action_parttype_life", action_parttype_life},
    {"action_parttype_speed", action_parttype_speed},
    {"action_parttype_gravity", action_parttype_gravity},
    {"action_parttype_secondary", action_parttype_secondary},
    {"action_partemit_create", action_partemit_create},
    {"action_partemit_destroy", action_partemit_destroy},
    {"action_partemit_burst", action_partemit_burst},
    {"action_partemit_stream", action_partemit_stream},
};

}  // namespace

std::span<const NamedBuiltin> Action_ParticleBuiltins() { return kParticles; }

void ActionParticles_Reset() {
  g_system = -1;
  g_types.fill(0);
  g_emitters.fill(0);
}
