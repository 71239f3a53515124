#include "sprites/sprites.h"

bool Sprite_Load(const ChunkBody&) { return true; }
void Sprite_Clear() {}
void Sprite_InitTextures() {}
void Sprite_Shutdown() {}
bool Background_Load(const ChunkBody&) { return true; }
void Background_Clear() {}
void Background_InitTextures() {}
void Background_Shutdown() {}
void InitResourceFunctions() {}
