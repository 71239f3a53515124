// Objects, their event tables and the per-event object lists, as far as
// loading needs them so far.
#pragma once
#include <cstdint>
#include <string>

#include "core/game_data.h"

bool Object_Load(const ChunkBody& body);
void Object_Clear();
bool Object_Prepare();
void Object_FreeAll();
void ObjectLists_Free();
// The name of object `index`; "<undefined>" for a bad index or empty slot.
std::string Object_GetName(int index);
