// The "Buffers.." built-in group: the 25 buffer built-ins in their fixed order.
#pragma once
#include "script/builtin_group.h"

BuiltinGroup Buffer_Group();
