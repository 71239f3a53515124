// The game step and its pending changes.
#pragma once
#include <cstdint>

void Run_ClearPendingChanges();
