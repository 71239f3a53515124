// A growable in-memory byte stream with little-endian readers and writers,
// and the hexadecimal text form that the containers are written in.
#pragma once
#include <cstdint>
#include <string>

#include "script/value.h"

class CMemoryStream {
 public:
  explicit CMemoryStream(int64_t initialSize = 0);
  ~CMemoryStream();
  CMemoryStream(const CMemoryStream&) = delete;
  CMemoryStream& operator=(const CMemoryStream&) = delete;

  void SetPosition(int64_t position) { position_ = position; }
  int64_t GetPosition() const { return position_; }
  int64_t GetSize() const { return size_; }
  uint8_t* GetBuffer() const { return data_; }

  // Bytes copied: min(n, size - position), none when that is not positive.
  int64_t Read(void* destination, int64_t n);
  // Origin 0 start, 1 current, 2 end; no clamping. Returns the position.
  int64_t Seek(int64_t offset, int origin);
  // Grows the storage to the larger of twice its size and what the write
  // needs. Returns n, or 0 for nothing written.
  int64_t Write(const void* bytes, int64_t n);
  void WriteInt32(int32_t value);
  void WriteReal(double value);
  // Length (0 for null) and the bytes, no terminator.
  void WriteString(const char* text);
  // Missing bytes at the end read as 0.
  int32_t ReadInt32();
  double ReadReal();
  // A new engine block (MemoryManager) holding the text, or null for a length
  // of 0 or less.
  char* ReadString();

  // Two upper-case hex digits for each byte written (up to the position);
  // empty when nothing was written.
  std::string ToHexText() const;
  // Replaces the bytes by those of the leading run of hex digit pairs (either
  // case); the position goes to 0. An empty text changes nothing.
  void FromHexText(const char* text);

  // size 0: appends the whole source. borrow: becomes a window onto the
  // source's next `size` bytes. Otherwise appends up to `size` of them.
  void CopyFrom(CMemoryStream* source, int64_t size, bool borrow);
  // The whole file a game names, from the save area or else the bundle,
  // without its first `skip` bytes; empty when there is none.
  void LoadFile(const char* name, int64_t skip);
  void FreeStorage();
  // Undoes the seeded byte substitution of stored script code, in place.
  void Unscramble(int32_t seed, int64_t start, int64_t length);

 private:
  bool Reserve(int64_t end);

  bool borrowed_ = false;
  int64_t size_ = 0;      // the readable length
  int64_t capacity_ = 0;  // bytes of storage, never below the size
  int64_t position_ = 0;
  uint8_t* data_ = nullptr;
};

// Values inside the container text form: the kind word, then the real, the
// text with its length, or the rows of an array. Any other kind word (a
// marked real) is written alone.
void DS_ValueWrite(CMemoryStream* stream, const ScriptValue* value);
// Reads over the slot. Returns false when the stream ran out or an array
// nested too deep; the slot then holds a sound value. A marked kind word
// reads back as real 0 without its mark: the id was never written, so the
// container could not own what it would name.
bool DS_ValueRead(ScriptValue* value, CMemoryStream* stream);
// Bytes a stream must still hold for `count` more values of at least the
// smallest encoding: guards a count read from damaged text before anything
// is allocated for it.
bool DS_StreamHolds(const CMemoryStream* stream, int64_t count, int64_t bytesEach = 4);
// The stream of a container text: decoded hex, positioned after the header.
// False when the header is not `header` (or the text is null or too short).
bool DS_OpenText(CMemoryStream* stream, const char* text, int32_t header);
