// The "Action.." group: its one fixed order and the families that handle
// it, each beside the state it works on. A name no family handles yet is
// left out, not stubbed.
#pragma once
#include <span>

#include "script/builtin_group.h"

BuiltinGroup Action_Group();

std::span<const NamedBuiltin> Action_MoveBuiltins();       // movement, paths, motion planning
std::span<const NamedBuiltin> Action_InstanceBuiltins();   // instances, images, alarms, timelines, tests
std::span<const NamedBuiltin> Action_GameBuiltins();       // sound, rooms, the game, messages, score, lives, health
std::span<const NamedBuiltin> Action_ResourceBuiltins();   // replacing sprites, sounds and backgrounds
std::span<const NamedBuiltin> Action_SaveBuiltins();       // saving and loading the game
std::span<const NamedBuiltin> Action_DrawBuiltins();       // drawing, colour, font, effects
std::span<const NamedBuiltin> Action_ParticleBuiltins();   // the action particle system

// The action particle system's state back to "none made yet".
void ActionParticles_Reset();
