#include "core/game_data.h"

#include <cstring>
#include <string>

#include "script/bytecode.h"
#include "script/console.h"
#include "script/errors.h"

namespace {
GameDataFile g_file;
int g_formatGeneration = 800;
GameDataFile g_debugFile;
std::vector<uint32_t> g_debugInfoTable;
std::vector<uint32_t> g_debugScriptTable;

}  // namespace

std::string GameData_Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string GameData_TagText(const uint8_t* p) {
  std::string tag;
  for (int i = 0; i < 4; ++i) {
    unsigned char c = p[i];
    tag += (c >= 0x20 && c < 0x7F) ? char(c) : '?';
  }
  return tag;
}

// ---- GameDataFile ----------------------------------------------------------

GameDataFile::GameDataFile(std::vector<uint8_t> bytes) : owned_(std::move(bytes)) {
  if (owned_.size() > 0xFFFFFFFFu) throw DataError("the game data is larger than 4 GB");
  data_ = owned_.data();
  size_ = uint32_t(owned_.size());
}

GameDataFile::GameDataFile(const uint8_t* data, size_t size) : data_(data), size_(uint32_t(size)) {
  if (size > 0xFFFFFFFFu) throw DataError("the game data is larger than 4 GB");
}

void GameDataFile::Need(uint32_t off, uint64_t len, const char* what) const {
  if (uint64_t(off) + len > size_) {
    throw DataError(std::string(what) + " at offset " + std::to_string(off) + " (" + std::to_string(len) +
                    " bytes) lies outside the container of " + std::to_string(size_) + " bytes");
  }
}

uint8_t GameDataFile::U8(uint32_t off) const {
  Need(off, 1, "a byte");
  return data_[off];
}

uint16_t GameDataFile::U16(uint32_t off) const {
  Need(off, 2, "a 16-bit word");
  return uint16_t(data_[off] | data_[off + 1] << 8);
}

uint32_t GameDataFile::U32(uint32_t off) const {
  Need(off, 4, "a 32-bit word");
  uint32_t v;
  std::memcpy(&v, data_ + off, 4);
  return v;  // little-endian host
}

std::span<const uint8_t> GameDataFile::Bytes(uint32_t off, uint32_t len) const {
  Need(off, len, "a block");
  return {data_ + off, len};
}

std::string_view GameDataFile::String(uint32_t ref) const {
  if (ref == 0) return {};
  if (ref < 4 || ref > size_) throw DataError("string reference " + GameData_Hex(ref) + " points outside the container");
  uint32_t len = U32(ref - 4);
  if (uint64_t(ref) + len + 1 > size_) {
    throw DataError("string reference " + GameData_Hex(ref) + " of length " + std::to_string(len) +
                    " runs past the end of the container");
  }
  if (data_[ref + len] != 0) throw DataError("string reference " + GameData_Hex(ref) + " is not terminated");
  return {reinterpret_cast<const char*>(data_ + ref), len};
}

bool GameDataFile::HasFormTag() const { return size_ >= 8 && std::memcmp(data_, "FORM", 4) == 0; }

bool GameDataFile::LengthMatches() const { return size_ >= 8 && U32(4) == size_ - 8; }

std::vector<ChunkRef> GameDataFile::Chunks() const {
  std::vector<ChunkRef> chunks;
  uint32_t pos = 8;
  while (pos < size_) {
    if (size_ - pos < 8) {
      throw DataError("the chunk header at offset " + std::to_string(pos) + " is cut off by the end of the file");
    }
    ChunkRef c;
    std::memcpy(c.tag, data_ + pos, 4);
    c.offset = pos;
    c.body = pos + 8;
    c.length = U32(pos + 4);
    if (c.length > size_ - c.body) {
      throw DataError("chunk " + GameData_TagText(data_ + pos) + " at offset " + std::to_string(pos) + " has length " +
                      std::to_string(c.length) + ", which runs past the end of the file");
    }
    chunks.push_back(c);
    pos = c.body + c.length;
  }
  return chunks;
}

uint32_t ChunkBody::Word(uint32_t n) const {
  if (!HasWord(n)) {
    throw DataError(std::string("chunk ") + chunk_.tag + " is too short: word " + std::to_string(n) +
                    " lies past its " + std::to_string(chunk_.length) + " bytes");
  }
  return file_.U32(chunk_.body + 4 * n);
}

std::vector<uint32_t> ChunkBody::OffsetList() const {
  uint32_t n = Word(0);
  if (uint64_t(n) + 1 > WordCount()) {
    throw DataError(std::string("chunk ") + chunk_.tag + " lists " + std::to_string(n) +
                    " entries, more than its body holds");
  }
  std::vector<uint32_t> list(n);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t off = Word(1 + i);
    if (off != 0 && off >= file_.Size()) {
      throw DataError(std::string("chunk ") + chunk_.tag + " entry " + std::to_string(i) + " points to " +
                      GameData_Hex(off) + ", outside the container");
    }
    list[i] = off;
  }
  return list;
}

std::vector<std::optional<std::string>> ChunkBody::RecordNames(uint32_t field, const char* what) const {
  const std::vector<uint32_t> records = OffsetList();
  std::vector<std::optional<std::string>> names(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    try {
      const uint64_t at = uint64_t(records[i]) + field;
      if (at > UINT32_MAX) throw DataError("its record runs past the container");
      names[i] = std::string(file_.String(file_.U32(uint32_t(at))));
    } catch (const DataError& e) {
      throw DataError(std::string(chunk_.tag) + " " + what + " " + std::to_string(i) + ": " + e.what());
    }
  }
  return names;
}

int32_t RecordNames_Find(const std::vector<std::optional<std::string>>& names, std::string_view name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] && *names[i] == name) return int32_t(i);
  return -1;
}

void GameData_ReportFailure(const DataError& e) {
  if (dynamic_cast<const LoadError*>(&e)) {
    g_DebugConsole->Output("%s", e.what());
    if (!g_ShowErrors) std::fputs(e.what(), stderr);
    Error_Report(ErrorSeverity::kAbort, e.what());
    return;
  }
  Console_Error("The game data is damaged: %s\n", e.what());
}

const GameDataFile& GameData_File() { return g_file; }
int GameData_FormatGeneration() { return g_formatGeneration; }
void GameData_SetFormatGeneration(int generation) { g_formatGeneration = generation; }
void GameData_Use(GameDataFile file) { g_file = std::move(file); }

void GameData_LoadDebugInfo(const GameDataFile& debugFile) {
  g_debugInfoTable.clear();
  g_debugScriptTable.clear();
  if (!debugFile.LengthMatches()) return;
  for (const ChunkRef& c : debugFile.Chunks()) {
    g_DebugConsole->Output("Process Chunk: %s   %d\n", GameData_TagText(debugFile.Data() + c.offset).c_str(), int(c.length));
    if (c.length == 0) continue;
    ChunkBody body(debugFile, c);
    if (std::memcmp(c.tag, "STRG", 4) == 0) {
      body.OffsetList();
    } else if (std::memcmp(c.tag, "DBGI", 4) == 0) {
      g_debugInfoTable = body.OffsetList();
    } else if (std::memcmp(c.tag, "SCPT", 4) == 0) {
      g_debugScriptTable = body.OffsetList();
      for (uint32_t rec : g_debugScriptTable)
        if (rec) debugFile.String(debugFile.U32(rec));
    }
  }
}

void GameData_UseDebugFile(GameDataFile file) {
  g_debugFile = std::move(file);
  try {
    GameData_LoadDebugInfo(g_debugFile);
  } catch (const DataError&) {
    g_debugInfoTable.clear();
    g_debugScriptTable.clear();
    throw;
  }
}

std::string_view GameData_DebugSourceText(int index) {
  if (index < 0 || size_t(index) >= g_debugScriptTable.size() || !g_debugScriptTable[index]) return {};
  try {
    return g_debugFile.String(g_debugFile.U32(g_debugScriptTable[index]));
  } catch (const DataError&) {
    return {};
  }
}

std::unique_ptr<VMBuffer> GameData_DebugLineTable(int index) {
  if (index < 0 || size_t(index) >= g_debugInfoTable.size() || !g_debugInfoTable[index]) return nullptr;
  try {
    uint32_t entry = g_debugInfoTable[index];
    uint32_t words = g_debugFile.U32(entry);
    if (words > (g_debugFile.Size() - entry) / 4) throw DataError("debug line table runs past the end of the file");
    return std::make_unique<VMBuffer>(g_debugFile.Bytes(entry + 4, words * 4));
  } catch (const DataError&) {
    return nullptr;
  }
}
