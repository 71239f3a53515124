// The frame profiler and its overlay.
#pragma once

// Overlay flags; 2 shows the frame-rate graph ("-debug").
extern int g_ProfilerOverlayFlags;
