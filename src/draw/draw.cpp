#include "draw/draw.h"

void Init3DFunctions() {}
void InitVertexBufferFunctions() {}
void InitVertexFormatFunctions() {}
void Vertex_SetCheckedHandlers(bool) {}
