#include "graphics/graphics.h"

void InitShaderFunctions() {}
bool Shader_Load(const ChunkBody&) { return true; }
