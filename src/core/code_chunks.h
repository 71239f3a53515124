// The string, code, variable and function chunks, the texture pages, and the
// binding of compiled game code.
//
// Code records are copied out of the container into buffers of their own;
// the VARI and FUNC reference chains are walked over the container's bytes
// and the ids they resolve to are written into those copies. String operands
// stay indices into the string table.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/game_data.h"
#include "script/bytecode.h"

// Header pass.
void Code_Load(const ChunkBody& body);
void Strings_Load(const ChunkBody& body);
void VARI_Load(const ChunkBody& body);
size_t Strings_Count();
// String n of the string table; DataError when n is out of range.
std::string_view Strings_Get(size_t n);

// Main pass.
void Code_AllocateGlobalSlots();
// The compiled code's global value slots (null when it declares none); made
// once per process and kept across game restarts.
struct ScriptValue;
ScriptValue* Code_GlobalSlots();
// Checks that every string operand of the loaded code names a string.
bool Code_PatchAllStrings(const ChunkBody& body);
bool FUNC_Load(const ChunkBody& body);
// The SCPT chunk; DataError when a record does not fit the container.
bool Script_Load(const ChunkBody& body);
void Code_ResolveNativeReferences();

// The code table, in the order of the CODE chunk's list.
struct CodeRecord {
  std::string name;
  uint32_t offset = 0;  // of the record in the container
  std::unique_ptr<VMBuffer> code;  // the record's instruction stream, bound
};
size_t Code_Count();
// Entry n; null for an empty slot or an index outside the table.
const CodeRecord* Code_GetRecord(int n);
// Forgets the code and string tables and every binding made into the code.
void Code_Clear();
