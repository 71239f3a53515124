// A whole file read into memory and consumed like a stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct MemoryFile {
  std::vector<uint8_t> data;
  int64_t position = 0;  // may run past the end, never below 0
  int64_t Size() const { return int64_t(data.size()); }
};

// Over these bytes; in text mode a leading UTF-8 byte-order mark is skipped.
std::unique_ptr<MemoryFile> MemoryFile_FromBytes(std::vector<uint8_t> bytes, bool text);
// The file a script names, read whole: from the game's own directory when it
// is there, else from the save area; nothing when neither opens. A mode
// holding 't' is text mode.
std::unique_ptr<MemoryFile> LoadSave_FOpen(const std::string& name, const std::string& mode);
// The same on a path the sandbox has already given.
std::unique_ptr<MemoryFile> LoadSave_FOpenPath(const std::string& path, const std::string& mode);
void LoadSave_FClose(std::unique_ptr<MemoryFile> file);
int64_t LoadSave_FTell(const MemoryFile& file);
// Origin 0 from the start, 1 from the position, 2 back from the end; a
// position below 0 and other origins change nothing. The position before.
int64_t LoadSave_FSeek(MemoryFile& file, int64_t offset, int origin);
bool LoadSave_FEof(const MemoryFile& file);
// At the end, or on a CR or LF.
bool LoadSave_FEoln(const MemoryFile& file);
// The byte at the position, 0xFF at the end; the position moves on either way.
int LoadSave_FGetC(MemoryFile& file);
// White space skipped, then a real as strtod reads it (0 when none); how
// many characters the number took.
int LoadSave_FReadReal(MemoryFile& file, double* value);
// Up to size x count bytes from the position; how many were copied.
size_t LoadSave_FRead(void* destination, size_t size, size_t count, MemoryFile& file);
