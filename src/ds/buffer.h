// Binary buffers: raw bytes with a read/write position, an alignment and a
// kind that decides what happens at the end. The engine's save stream and
// every value record go through the typed Write and Read below; scripts reach
// buffers through ids of the buffer table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "script/value.h"
#include "script/value_stream.h"

enum BufferKind : int {
  eBuffer_Fixed = 0,  // writes that do not fit fail with -2
  eBuffer_Grow = 1,   // the size doubles until the write fits
  eBuffer_Wrap = 2,   // positions wrap around to 0
  eBuffer_Fast = 3,   // unsigned bytes only, no alignment (Buffer_Fast)
};

enum BufferSeekBase : int {
  eBuffer_SeekStart = 0,
  eBuffer_SeekRelative = 1,
  eBuffer_SeekEnd = 2,
};

// No buffer grows past this many bytes: a script's absurd size is refused
// rather than taking the machine's memory.
constexpr int kBufferMaxSize = 1 << 28;

// Bytes of a data type for codes 1 to 10; 0 for any other code (strings too).
int Buffer_SizeOfType(int type);

// Every kind in one class; Buffer_Fast replaces the typed access. A buffer
// of size 0 still has a (one-alignment) block, so its data is never null.
class IBuffer : public ValueStream {
 public:
  // The alignment is rounded up to a power of two from 1 to 1024; the bytes
  // start zeroed. Sizes outside 0 to kBufferMaxSize become 0.
  IBuffer(int size, int kind, int alignment);
  // Over existing bytes, not realigned. With `owns` the bytes are an engine
  // block that the buffer releases.
  IBuffer(uint8_t* data, int size, int kind, int alignment, bool owns);
  // Size 0, grow kind, alignment 1: what a whole file or text is loaded into.
  IBuffer();
  ~IBuffer() override;
  IBuffer(const IBuffer&) = delete;
  IBuffer& operator=(const IBuffer&) = delete;

  // Status 0 done, -1 bad type, -2 no room. Numbers are taken from the
  // value's real, type 11 from its text.
  int Write(int type, const ScriptValue* value) override;
  // Status 0, or -1 for a bad type. Past the end the value is real -3.
  int Read(int type, ScriptValue* out) override;
  // Base 0 start, 1 relative, 2 end; returns the new position.
  virtual int Seek(int base, int offset);
  // Typed access at an offset: no alignment, the position stays, nothing
  // grows. Peek gives real 0 for what it cannot read.
  virtual void Peek(int offset, int type, ScriptValue* out);
  virtual void Poke(int offset, int type, const ScriptValue* value);

  // Keeps min(old, new) bytes; the rest is zero. False, and nothing
  // changed, for a size outside 0 to kBufferMaxSize.
  bool Resize(int newSize);
  // The value placed from `offset` over `size` bytes (below 0: the whole
  // buffer) on aligned positions, the gaps zeroed. A tail too short for one
  // more value is left as it was.
  void Fill(int offset, int size, int type, const ScriptValue* value);
  // Bytes of this buffer into `destination`, which grows when its kind is
  // grow or it is empty, and wraps when its kind is wrap (this one's bytes
  // wrap when this kind is wrap).
  void Copy(int sourceOffset, int size, IBuffer* destination, int destinationOffset);

  // A copy of a range: the offset is clamped into the buffer, a negative size
  // means up to the end, and the size is clamped to the end.
  std::vector<uint8_t> ExtractBlock(int offset, int size) const;
  // `count` bytes (below 0: all) of `block` from `sourceOffset` into this
  // buffer at `destinationOffset`, growing or wrapping by its kind.
  int CopyFromMemory(const uint8_t* block, int length, int sourceOffset, int count, int destinationOffset);

  // The range written as a whole file into the save area. On failure `why`
  // says what went wrong.
  bool Save(const char* name, int offset, int size, std::string* why = nullptr);
  // A whole file (from the save area, else the game's own files) copied in at
  // `destinationOffset`. Refuses web addresses, names outside the sandbox, a
  // missing file and an offset outside the buffer, saying which in `why`.
  bool Load(const char* name, int sourceOffset, int size, int destinationOffset, std::string* why = nullptr);

  // The base64 text of a range (as ExtractBlock takes it).
  void Base64Encode(ScriptValue* out, int offset, int size);
  // The decoded bytes of a well-formed text (the first `size` of them when
  // size >= 0) copied in at `destinationOffset`; exactly those bytes. False,
  // with nothing changed, for a malformed text.
  bool Base64Decode(const char* text, int destinationOffset, int size);
  // Hex digests of a range: a negative size is the whole buffer; a wrap
  // buffer's range runs around its end, others are clamped. An empty buffer
  // leaves `out` alone.
  void MD5(ScriptValue* out, int offset, int size);
  void SHA1(ScriptValue* out, int offset, int size);

  int WriteString(const char* text) override;
  char* ReadString() override;
  int BytesLeft() override;
  bool HasTerminatedString() override;

  uint8_t* Data() const { return data_; }
  int Size() const { return size_; }
  int Position() const { return position_; }
  int Alignment() const { return alignment_; }
  int Kind() const { return kind_; }
  int WrapPhase() const { return wrapPhase_; }

 protected:
  bool Wraps() const { return kind_ == eBuffer_Wrap && size_ > 0; }
  void SetPosition(int position) { position_ = position; }

 private:
  void AlignPosition();
  // Moves the position on by n bytes, wrapping round a wrap buffer.
  void Advance(int64_t n);
  // Doubles a grow buffer until `need` bytes fit; false when that is not
  // possible (another kind, or beyond the largest size).
  bool GrowToFit(int64_t need);
  // Feeds a range of bytes, in runs that stop at the buffer's end, to
  // `feed`; false when the buffer is empty.
  template <typename Feed>
  bool ForEachRun(int offset, int size, Feed feed) const;

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

class Buffer_Standard : public IBuffer {
 public:
  using IBuffer::IBuffer;
};

// Unsigned bytes only: -4 for another type, -2 at the end; no alignment,
// growth or wrap.
class Buffer_Fast : public IBuffer {
 public:
  Buffer_Fast(int size, int alignment) : IBuffer(size, eBuffer_Fast, alignment) {}
  int Write(int type, const ScriptValue* value) override;
  int Read(int type, ScriptValue* out) override;
  void Peek(int offset, int type, ScriptValue* out) override;
  void Poke(int offset, int type, const ScriptValue* value) override;
};

// Copies `count` bytes (below 0: all of the source) from `source` at
// `sourceOffset` into `destination` at `destinationOffset`. Without growth
// both offsets are clamped (or reduced modulo the size where that side
// wraps) and the count is cut at the ends; with growth the destination is
// resized to hold the bytes. 1 when done, 0 when there is nothing to copy
// from or into, or the growth would pass kBufferMaxSize.
int Buffer_CopyMemory(IBuffer* destination, const uint8_t* source, int sourceLength, int sourceOffset, int count,
                      int destinationOffset, bool mayGrow, bool destinationWraps, bool sourceWraps);

// The buffer table: ids are slot indexes; a deleted buffer's slot is reused
// by the next creation. Kind 3 makes a Buffer_Fast. -1 when the table is full
// or the size is outside 0 to kBufferMaxSize.
int Buffer_Create(int size, int kind, int alignment);
// A fixed, alignment-1 buffer over the given bytes (an engine block when
// `owns`, released with the buffer).
int Buffer_CreateFromData(uint8_t* data, int size, bool owns);
// Takes a buffer made elsewhere into the first free slot; -1 (and the buffer
// deleted) when the table is full.
int Buffer_Add(IBuffer* buffer);
// Null for any id that names no buffer.
IBuffer* Buffer_Get(int id);
// Deletes the buffer; an id that names none is ignored.
void Buffer_Delete(int id);
// Every buffer deleted and the table emptied.
void Buffer_DeleteAll();
// Slots of the table, free ones included.
int Buffer_TableLength();

// What a script sees for a buffer's address: a handle, never the address
// itself. It carries a tag, the id and the slot's generation, so it names
// this buffer only; external calls turn it back into the data (and its size)
// with Buffer_ResolveAddress, which gives null for anything else, a deleted
// buffer included. -1 for an id that names no buffer.
double Buffer_AddressHandle(int id);
uint8_t* Buffer_ResolveAddress(double handle, int* size);
