// Binary buffers: raw bytes with a read/write position, an alignment and a
// kind that decides what happens at the end. The engine's save stream and
// every value record go through the typed Write and Read below.
#pragma once
#include <cstdint>

#include "script/value.h"
#include "script/value_stream.h"

enum BufferKind : int {
  eBuffer_Fixed = 0,  // writes that do not fit fail with -2
  eBuffer_Grow = 1,   // the size doubles until the write fits
  eBuffer_Wrap = 2,
  eBuffer_Fast = 3,
};

// Bytes of a data type for codes 1 to 10; 0 for any other code (strings too).
int Buffer_SizeOfType(int type);

// Wrapping and the fast byte buffer are not here yet: a buffer of any kind
// but grow refuses at its end as a fixed one does.
class IBuffer : public ValueStream {
 public:
  // The alignment is rounded up to a power of two from 1 to 1024; the bytes
  // start zeroed.
  IBuffer(int size, int kind, int alignment);
  ~IBuffer() override;
  IBuffer(const IBuffer&) = delete;
  IBuffer& operator=(const IBuffer&) = delete;

  // Status 0 done, -1 bad type, -2 no room. Numbers are taken from the
  // value's real, type 11 from its text.
  int Write(int type, const ScriptValue* value) override;
  // Status 0, or -1 for a bad type. Past the end the value is real -3.
  int Read(int type, ScriptValue* out) override;
  // Base 0 start, 1 current, 2 end; returns the new position.
  virtual int Seek(int base, int offset);
  // Keeps min(old, new) bytes; the rest is zero.
  virtual void Resize(int newSize);

  int WriteString(const char* text) override;
  char* ReadString() override;
  int BytesLeft() override;
  bool HasTerminatedString() override;

  uint8_t* Data() const { return data_; }
  int Size() const { return size_; }
  int Position() const { return position_; }
  int Alignment() const { return alignment_; }
  int Kind() const { return kind_; }

 private:
  void AlignPosition();
  // Doubles a grow buffer until `need` bytes fit; false when that is not
  // possible (another kind, or beyond the largest block).
  bool GrowToFit(int64_t need);

  uint8_t* raw_ = nullptr;
  int blockSize_ = 0;
  uint8_t* data_ = nullptr;
  int size_ = 0;
  int alignment_ = 1;
  int kind_ = eBuffer_Grow;
  int position_ = 0;
  int wrapPhase_ = 0;
  ScriptValue scratch_;
  bool owns_ = true;
};
