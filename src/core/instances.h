// Instances, the instance lists and the instance-id map.
#pragma once
#include <cstdint>

void Instance_DestroyAll();
