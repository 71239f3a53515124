#include "graphics/graphics.h"

bool g_SoftwareVertexProcessing = false;
bool g_IntelWorkarounds = false;
bool g_VanillaGFX = false;

void Texture_InitBuiltins() {}
void Window_ClearViewMappings() {}
void Window_Create(int, int) {}
void Window_SetColor(uint32_t) {}
void Window_Destroy() {}
void Display_EnsureWindowed() {}
bool Window_IsActive() { return true; }
void Window_SetCursor(int) {}
void Graphics_FitWindowToRoom() {}
void Graphics_DrawScreen() {}
void Display_SetAll(int, int, int, int) {}
bool GR_D3D_Init(int, int, uint32_t) { return true; }
void Graphics_BeginFrame() {}
void Graphics_EndFrame(bool) {}
bool Graphics_TakeFullResetMark() { return false; }
void Graphics_FullReset() {}
void Display_Shutdown() {}
void Texture_Shutdown() {}
void Graphics_Shutdown() {}
void InitShaderFunctions() {}
bool Shader_Load(const ChunkBody&) { return true; }
