// The graphics device as the rest of the engine sees it: the game window,
// the display and device, frames, and what start-up and shutdown call.
#pragma once
#include <cstdint>

#include "core/game_data.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/viewport.h"
#include "graphics/view_mapping.h"
#include "graphics/window.h"

void Texture_InitBuiltins();
void Texture_Shutdown();
void InitShaderFunctions();
bool Shader_Load(const ChunkBody& body);
