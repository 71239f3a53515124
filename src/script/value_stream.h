// A typed byte stream that values and variable lists are saved to and loaded
// from; the binary buffers of the data-structure library are one.
#pragma once

struct ScriptValue;

enum BufferDataType : int {
  eBuffer_U8 = 1,
  eBuffer_S8 = 2,
  eBuffer_U16 = 3,
  eBuffer_S16 = 4,
  eBuffer_U32 = 5,
  eBuffer_S32 = 6,
  eBuffer_F16 = 7,  // neither writable nor readable
  eBuffer_F32 = 8,
  eBuffer_F64 = 9,
  eBuffer_Bool = 10,
  eBuffer_String = 11,
};

class ValueStream {
 public:
  virtual ~ValueStream() = default;
  // Status 0 done, -1 bad type, -2 no room. Numbers are taken from the
  // value's real, type 11 from its text.
  virtual int Write(int type, const ScriptValue* value) = 0;
  // Status 0, or -1 for a bad type.
  virtual int Read(int type, ScriptValue* out) = 0;
  // A null text travels as the one-byte text 4.
  virtual int WriteString(const char* text) = 0;
  // A new engine block, or null for the null text or when nothing was read.
  virtual char* ReadString() = 0;
  // For readers of untrusted records: both align the position as a read
  // would, then tell whether the next item is wholly present.
  virtual int BytesLeft() = 0;
  virtual bool HasTerminatedString() = 0;
};
