// The physics layer, as far as start-up needs it so far.
#pragma once
#include <cstdint>

void Physics_InstallAssertHook();
void InitPhysicsFunctions();
