// The string, code, variable and function chunks, the texture pages, and the
// binding of compiled game code, as far as the chunk walk needs them so far.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/game_data.h"

// Header pass.
void Code_Load(const ChunkBody& body);
void Strings_Load(const ChunkBody& body);
void VARI_Load(const ChunkBody& body);
size_t Strings_Count();
// String n of the string table; DataError when n is out of range.
std::string_view Strings_Get(size_t n);

// Main pass.
void Code_AllocateGlobalSlots();
bool TPAG_Load(const ChunkBody& body);
bool Code_PatchAllStrings(const ChunkBody& body);
bool FUNC_Load(const ChunkBody& body);
bool TXTR_Load(const ChunkBody& body);
void Code_ResolveNativeReferences();
