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

// Every name of the group with its argument count, in registration order.
std::span<const BuiltinGroupName> Motion_GameGroupOrder();

// The group's flag arguments hold from 0.5 up.
bool GameFlagArg(int argc, const ScriptValue* args, int i);

// The families.
std::span<const NamedBuiltin> Motion_RoomBuiltins();
std::span<const NamedBuiltin> Motion_GridBuiltins();
std::span<const NamedBuiltin> Motion_QueryBuiltins();
std::span<const NamedBuiltin> Motion_PlanningBuiltins();

// The families InitGameFunctions gathers.
std::span<const BuiltinFamily> Motion_GameFamilies();
// What would register wrongly from these families; empty when they are sound.
std::vector<std::string> Motion_GameFamilyFaults(std::span<const BuiltinFamily> families);
