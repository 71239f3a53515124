// The "Game.." group of built-ins: motion, motion planning, collision and
// instance queries, instances, rooms and the game. Each family lists its
// handlers by name; InitGameFunctions registers them in the group's one
// fixed order with the argument counts that order gives. A name no family
// handles yet is left out, not stubbed.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "script/builtin_group.h"

// The group's order and the families InitGameFunctions gathers.
BuiltinGroup Motion_GameGroup();

// The families.
std::span<const NamedBuiltin> Motion_MoveBuiltins();
std::span<const NamedBuiltin> Motion_InstanceBuiltins();
std::span<const NamedBuiltin> Motion_RoomBuiltins();
std::span<const NamedBuiltin> Motion_GridBuiltins();
std::span<const NamedBuiltin> Motion_QueryBuiltins();
std::span<const NamedBuiltin> Motion_PlanningBuiltins();
