#include "core/code_chunks.h"

#include <vector>

#include "game/native_game.h"

namespace {
std::vector<uint32_t> g_strings;   // offsets of the string records
std::vector<uint32_t> g_codeTable;  // offsets of the code records
std::vector<uint32_t> g_texturePageEntries;
const GameDataFile* g_stringFile = nullptr;
std::vector<uint8_t> g_globalSlots;  // stands in for the global value slots until values exist

constexpr uint32_t kTexturePageEntrySize = 22;
}  // namespace

void Code_Load(const ChunkBody& body) {
  g_codeTable = body.OffsetList();
  for (uint32_t rec : g_codeTable)
    if (rec) body.File().String(body.File().U32(rec));
}

void Strings_Load(const ChunkBody& body) {
  g_strings = body.OffsetList();
  g_stringFile = &body.File();
  // Every record is checked once here, so later look-ups cannot go astray.
  for (uint32_t rec : g_strings)
    if (rec) body.File().String(rec + 4);
}

void VARI_Load(const ChunkBody&) {}

size_t Strings_Count() { return g_strings.size(); }

std::string_view Strings_Get(size_t n) {
  if (n >= g_strings.size() || !g_stringFile) throw DataError("string index " + std::to_string(n) + " is out of range");
  uint32_t rec = g_strings[n];
  return rec ? g_stringFile->String(rec + 4) : std::string_view();
}

void Code_AllocateGlobalSlots() {
  const NativeGameHeader& h = NativeGame_Header();
  if (g_globalSlots.empty() && h.global_slots > 0) g_globalSlots.assign(size_t(h.global_slots) * 16, 0);
}

bool TPAG_Load(const ChunkBody& body) {
  g_texturePageEntries = body.OffsetList();
  for (uint32_t e : g_texturePageEntries)
    if (e) body.File().Bytes(e, kTexturePageEntrySize);
  return true;
}

bool Code_PatchAllStrings(const ChunkBody&) { return true; }
bool FUNC_Load(const ChunkBody&) { return true; }
bool TXTR_Load(const ChunkBody&) { return true; }
void Code_ResolveNativeReferences() {}
