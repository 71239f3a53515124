#include "graphics/graphics.h"

void Window_ClearViewMappings() {}
void InitShaderFunctions() {}
bool Shader_Load(const ChunkBody&) { return true; }
