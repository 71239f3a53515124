// The drawing group of built-ins. Each family of the group lists its
// handlers by name; InitGraphicFunctions registers them in the group's one
// fixed order with the argument counts that order gives. A name no family
// handles yet is left out, not stubbed.
#pragma once
#include <span>

#include "script/function_registry.h"

struct NamedBuiltin {
  const char* name;
  BuiltinHandler handler;
};

struct GraphicGroupName {
  const char* name;
  int args;
};

// Every name of the group with its argument count, in registration order.
std::span<const GraphicGroupName> Draw_GraphicGroupOrder();

// The families.
std::span<const NamedBuiltin> Draw_StateBuiltins();
std::span<const NamedBuiltin> Draw_TextBuiltins();
