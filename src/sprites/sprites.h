// Sprites and backgrounds, as far as start-up and shutdown need them so far.
#pragma once
#include <cstdint>

#include "core/game_data.h"

bool Sprite_Load(const ChunkBody& body);
void Sprite_Clear();
void Sprite_InitTextures();
void Sprite_Shutdown();
bool Background_Load(const ChunkBody& body);
void Background_Clear();
void Background_InitTextures();
void Background_Shutdown();
void InitResourceFunctions();
