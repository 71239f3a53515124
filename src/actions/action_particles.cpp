#include "actions/action_group.h"

std::span<const NamedBuiltin> Action_ParticleBuiltins() { return {}; }

void ActionParticles_Reset() {}
