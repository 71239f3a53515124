// The graphics device: the game window, display modes, the device, frames and
// textures, as far as start-up and shutdown need them so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

extern bool g_SoftwareVertexProcessing;  // "-software"
extern bool g_IntelWorkarounds;          // "-intel"
extern bool g_VanillaGFX;                // "-vanillaGFX"

void Texture_InitBuiltins();
void Window_ClearViewMappings();
void Window_Create(int width, int height);
void Window_SetColor(uint32_t colour);
void Window_Destroy();
// Leaves full screen before a dialog opens.
void Display_EnsureWindowed();
// Whether the game window is the active window.
bool Window_IsActive();
// The window's cursor: 0 the arrow, -1 none.
void Window_SetCursor(int kind);
// Sizes the window to the room just entered.
void Graphics_FitWindowToRoom();
// Draws the current room through its views.
void Graphics_DrawScreen();
void Display_SetAll(int width, int height, int frequency, int depth);
bool GR_D3D_Init(int width, int height, uint32_t flags);
void Graphics_BeginFrame();
// Ends the frame; presents it when asked.
void Graphics_EndFrame(bool present);
// True once after a display change asked for a full device reset.
bool Graphics_TakeFullResetMark();
void Graphics_FullReset();
void Display_Shutdown();
void Texture_Shutdown();
void Graphics_Shutdown();
void InitShaderFunctions();
bool Shader_Load(const ChunkBody& body);
