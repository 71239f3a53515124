// The sprite and background part of the "Resource.." group: its one fixed
// order, and the families of handlers registered in it. A name no family
// handles yet is left out, not stubbed; the font, path and sound families
// follow the group at start-up.
#pragma once
#include <span>

#include "script/builtin_group.h"

BuiltinGroup Sprite_ResourceGroup();

// Sprites and backgrounds from image files and addresses.
std::span<const NamedBuiltin> Sprite_FileBuiltins();
