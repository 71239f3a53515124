// The "DS.." built-in group: its fixed order and the families that handle it,
// each beside the container it binds.
#pragma once
#include "script/builtin_group.h"

BuiltinGroup DS_Group();

// ds_set_precision and ds_exists.
std::span<const NamedBuiltin> DS_StoreBuiltins();
// Stacks and queues (stack_queue.cpp).
std::span<const NamedBuiltin> DS_StackBuiltins();
std::span<const NamedBuiltin> DS_QueueBuiltins();
// Lists (list_builtins.cpp).
std::span<const NamedBuiltin> DS_ListBuiltins();
// Maps (map_builtins.cpp).
std::span<const NamedBuiltin> DS_MapBuiltins();
// Priority queues (priority.cpp).
std::span<const NamedBuiltin> DS_PriorityBuiltins();
// Grids (grid_builtins.cpp).
std::span<const NamedBuiltin> DS_GridBuiltins();
