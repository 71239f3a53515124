// The game's data container: "FORM", a length word, then tagged chunks.
// The container is held in memory and never changed; every offset, count and
// string reference is checked against it before use.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class VMBuffer;

// Damaged or hostile container data; the text says what and where.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A name the game's code needs that the runner cannot bind: shown to the
// player as an aborting error, in the exact words of the message.
class LoadError : public DataError {
 public:
  using DataError::DataError;
};

// Reports a load failure: a LoadError through the error display, anything
// else as damaged data. Both reach stderr and the debug console.
void GameData_ReportFailure(const DataError& e);

struct ChunkRef {
  char tag[5] = {};
  uint32_t offset = 0;  // of the tag
  uint32_t body = 0;    // offset of the body
  uint32_t length = 0;  // body length
};

class GameDataFile {
 public:
  GameDataFile() = default;
  explicit GameDataFile(std::vector<uint8_t> bytes);
  // A container the program carries; borrowed, not copied.
  GameDataFile(const uint8_t* data, size_t size);

  const uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }

  // Reads at container offsets; throw DataError when outside the container.
  uint8_t U8(uint32_t off) const;
  uint16_t U16(uint32_t off) const;
  uint32_t U32(uint32_t off) const;
  int32_t S32(uint32_t off) const { return int32_t(U32(off)); }
  std::span<const uint8_t> Bytes(uint32_t off, uint32_t len) const;
  // A string reference: the offset of the characters, with the length word
  // just before them and a terminating zero after. 0 reads as "".
  std::string_view String(uint32_t ref) const;

  // True when the container starts with "FORM" and its length word says the
  // rest of the container follows.
  bool HasFormTag() const;
  bool LengthMatches() const;
  // The chunks in file order; DataError when one runs past the end.
  std::vector<ChunkRef> Chunks() const;

 private:
  void Need(uint32_t off, uint64_t len, const char* what) const;
  std::vector<uint8_t> owned_;
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
};

// One chunk body; reads are checked against the body as well.
class ChunkBody {
 public:
  ChunkBody(const GameDataFile& file, const ChunkRef& chunk) : file_(file), chunk_(chunk) {}
  const GameDataFile& File() const { return file_; }
  const ChunkRef& Ref() const { return chunk_; }
  uint32_t Length() const { return chunk_.length; }
  uint32_t Start() const { return chunk_.body; }
  uint32_t WordCount() const { return chunk_.length / 4; }
  bool HasWord(uint32_t n) const { return uint64_t(n) * 4 + 4 <= chunk_.length; }
  // Word n of the body; DataError naming the chunk when it lies past the body.
  uint32_t Word(uint32_t n) const;
  // Word n, or `fallback` when the body is shorter.
  uint32_t WordOr(uint32_t n, uint32_t fallback) const { return HasWord(n) ? Word(n) : fallback; }
  // The counted offset list at the start of the body: each entry 0 or an
  // offset inside the container.
  std::vector<uint32_t> OffsetList() const;
  // For each entry of the offset list, the string referenced by the word
  // `field` bytes into its record; none for an empty slot. A DataError names
  // the record as `what` and its position.
  std::vector<std::optional<std::string>> RecordNames(uint32_t field, const char* what) const;

 private:
  const GameDataFile& file_;
  ChunkRef chunk_;
};

// The position of the first of RecordNames' names equal to `name`, or -1.
int32_t RecordNames_Find(const std::vector<std::optional<std::string>>& names, std::string_view name);

// The loaded container, the format generation and the INI file beside it.
const GameDataFile& GameData_File();
int GameData_FormatGeneration();
void GameData_SetFormatGeneration(int generation);
// Makes `file` the loaded container.
void GameData_Use(GameDataFile file);

void GameData_LoadDebugInfo(const GameDataFile& debugFile);
// Keeps `file` as the debug-information file and reads its tables; on a
// DataError the tables are empty and the error goes on to the caller.
void GameData_UseDebugFile(GameDataFile file);
// The four characters of a chunk tag, '?' for any that is not printable.
std::string GameData_TagText(const uint8_t* tag);
// A container offset as error texts show it ("0x1F").
std::string GameData_Hex(uint32_t offset);
// From the debug-information file, when one was loaded: the source text of
// code entry `index` ("" when none) and its line table (null when none).
std::string_view GameData_DebugSourceText(int index);
std::unique_ptr<VMBuffer> GameData_DebugLineTable(int index);
