#include "core/profiler.h"

int g_ProfilerOverlayFlags = 0;
