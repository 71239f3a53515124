#include "runner/profiler.h"

int g_ProfilerOverlayFlags = 0;
