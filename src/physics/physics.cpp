#include "physics/physics.h"

void Physics_InstallAssertHook() {}
void InitPhysicsFunctions() {}
