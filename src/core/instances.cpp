#include "core/instances.h"

void Instance_DestroyAll() {}
