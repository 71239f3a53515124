#include "core/objects.h"

bool Object_Load(const ChunkBody&) { return true; }
void Object_Clear() {}
bool Object_Prepare() { return true; }
void Object_FreeAll() {}
void ObjectLists_Free() {}
std::string Object_GetName(int) { return "<undefined>"; }
