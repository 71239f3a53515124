// The frame profiler and its overlay.
#pragma once

#include "runner/runner_flags.h"  // g_ProfilerOverlayFlags
