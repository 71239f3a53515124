#include "actions/action_group.h"

std::span<const NamedBuiltin> Action_InstanceBuiltins() { return {}; }
