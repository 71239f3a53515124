#include "files/memory_file.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "files/files.h"

namespace {

bool Has(const MemoryFile& file) { return file.position >= 0 && file.position < file.Size(); }

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// What strtod could take as part of a number: digits, signs, points, the
// letters of exponents, hexadecimal, "inf" and "nan(...)".
bool MayBeInNumber(uint8_t c) {
  return std::isalnum(c) || c == '+' || c == '-' || c == '.' || c == '(' || c == ')' || c == '_';
}

}  // namespace

std::unique_ptr<MemoryFile> MemoryFile_FromBytes(std::vector<uint8_t> bytes, bool text) {
  auto file = std::make_unique<MemoryFile>();
  file->data = std::move(bytes);
  // A file of the mark alone reads as empty text, not as three odd bytes.
  if (text && file->data.size() >= 3 && file->data[0] == 0xEF && file->data[1] == 0xBB && file->data[2] == 0xBF)
    file->position = 3;
  return file;
}

std::unique_ptr<MemoryFile> LoadSave_FOpenPath(const std::string& path, const std::string& mode) {
  auto bytes = LoadSave_ReadWholeFile(path);
  if (!bytes) return nullptr;
  return MemoryFile_FromBytes(std::move(*bytes), mode.find('t') != std::string::npos);
}

std::unique_ptr<MemoryFile> LoadSave_FOpen(const std::string& name, const std::string& mode) {
  if (auto file = LoadSave_FOpenPath(LoadSave_MapToBundle(name), mode)) return file;
  return LoadSave_FOpenPath(LoadSave_MapToSaveArea(name), mode);
}

void LoadSave_FClose(std::unique_ptr<MemoryFile>) {}

int64_t LoadSave_FTell(const MemoryFile& file) { return file.position; }

int64_t LoadSave_FSeek(MemoryFile& file, int64_t offset, int origin) {
  const int64_t before = file.position;
  int64_t target;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = before + offset; break;
    case 2: target = file.Size() - offset; break;
    default: return before;
  }
  if (target >= 0) file.position = target;
  return before;
}

bool LoadSave_FEof(const MemoryFile& file) { return file.position >= file.Size(); }

bool LoadSave_FEoln(const MemoryFile& file) {
  if (!Has(file)) return true;
  const uint8_t c = file.data[size_t(file.position)];
  return c == '\r' || c == '\n';
}

int LoadSave_FGetC(MemoryFile& file) {
  const int c = Has(file) ? file.data[size_t(file.position)] : 0xFF;
  ++file.position;
  return c;
}

int LoadSave_FReadReal(MemoryFile& file, double* value) {
  *value = 0;
  while (Has(file) && IsBlank(file.data[size_t(file.position)])) ++file.position;
  if (!Has(file)) return 0;
  size_t end = size_t(file.position);
  while (end < file.data.size() && MayBeInNumber(file.data[end])) ++end;
  std::string text(file.data.begin() + file.position, file.data.begin() + int64_t(end));
  char* stop = nullptr;
  const double parsed = std::strtod(text.c_str(), &stop);
  const int used = int(stop - text.c_str());
  if (used > 0) {
    *value = parsed;
    file.position += used;
  }
  return used;
}

size_t LoadSave_FRead(void* destination, size_t size, size_t count, MemoryFile& file) {
  if (!Has(file) || size == 0 || count == 0) return 0;
  const size_t available = file.data.size() - size_t(file.position);
  size_t wanted = available;
  if (count <= available / size) wanted = size * count;
  std::memcpy(destination, file.data.data() + file.position, wanted);
  file.position += int64_t(wanted);
  return wanted;
}
