// The drawing group of built-ins. Each family of the group lists its
// handlers by name; InitGraphicFunctions registers them in the group's one
// fixed order with the argument counts that order gives. A name no family
// handles yet is left out, not stubbed.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "script/builtin_group.h"

// The group's order and the families InitGraphicFunctions gathers.
BuiltinGroup Draw_GraphicGroup();

// The families.
std::span<const NamedBuiltin> Draw_StateBuiltins();
std::span<const NamedBuiltin> Draw_ShapeBuiltins();
// draw_text and its forms, and the string measures.
std::span<const NamedBuiltin> Draw_TextBuiltins();
// Sprites, backgrounds and the screen-pixel reads.
std::span<const NamedBuiltin> Draw_ImageBuiltins();
// draw_highscore, registered with the "Interaction.." group.
std::span<const NamedBuiltin> Draw_HighScoreBuiltins();
