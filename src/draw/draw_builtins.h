// The drawing group of built-ins. Each family of the group lists its
// handlers by name; InitGraphicFunctions registers them in the group's one
// fixed order with the argument counts that order gives. A name no family
// handles yet is left out, not stubbed.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "script/builtin_group.h"

using GraphicGroupName = BuiltinGroupName;

// Every name of the group with its argument count, in registration order.
std::span<const GraphicGroupName> Draw_GraphicGroupOrder();

// The families.
std::span<const NamedBuiltin> Draw_StateBuiltins();
std::span<const NamedBuiltin> Draw_ShapeBuiltins();
// Sprites, backgrounds and the screen-pixel reads.
std::span<const NamedBuiltin> Draw_ImageBuiltins();

using DrawFamily = BuiltinFamily;
// The families InitGraphicFunctions gathers.
std::span<const DrawFamily> Draw_GraphicFamilies();
// What would register wrongly from these families: a name the group's order
// lacks (it would never be registered) or a name handled twice. Empty when
// they are sound.
std::vector<std::string> Draw_FamilyFaults(std::span<const DrawFamily> families);
