// The script language's one value type (real, string or array), the
// reference-counted arrays behind it, and the small text routines every
// string operation uses.
//
// Ownership: copying duplicates a string and shares an array by reference
// count. An array has at most one owner value, which writes into it in place
// even while it is shared; any other holder that writes gets a private copy.
#pragma once
#include <cstddef>
#include <cstdint>

class ValueStream;
struct ScriptArray;

// The low 24 bits of the kind word; the high bits carry the flags that the
// data-structure containers put on reals they hold.
constexpr uint32_t kValueKindMask = 0x00FFFFFFu;
constexpr uint32_t kKindReal = 0;
constexpr uint32_t kKindString = 1;
constexpr uint32_t kKindArray = 2;

// A flat element index is row * kArrayRowStride + column.
constexpr int32_t kArrayRowStride = 32000;

struct ScriptValue {
  uint32_t kind = kKindReal;
  // One payload per kind. A string with a null text is the empty string; an
  // array value always has its array (except inside SetElement).
  union {
    double real = 0.0;
    char* text;
    ScriptArray* array;
  };

  uint32_t Kind() const { return kind & kValueKindMask; }
  bool IsReal() const { return Kind() == kKindReal; }
  bool IsString() const { return Kind() == kKindString; }
  bool IsArray() const { return Kind() == kKindArray; }
  // The number of a real (flags allowed); 0 for every other kind, since the
  // payload is shared with the pointers.
  double Real() const { return IsReal() ? real : 0.0; }
  // The text of a string, never null; "" for every other kind.
  const char* Text() const { return IsString() && text ? text : ""; }

  static ScriptValue FromReal(double r) {
    ScriptValue v;
    v.real = r;
    return v;
  }
};
static_assert(sizeof(ScriptValue) == 16, "values are packed into rows, stacks and save records");

struct ScriptArrayRow {
  int32_t length;    // visible elements: highest written column + 1
  int32_t capacity;  // elements allocated; slots past length are real 0
  ScriptValue* elements;
};

struct ScriptArray {
  int32_t refCount;
  ScriptArrayRow* rows;
  ScriptValue* owner;  // compared only, never dereferenced
  int32_t rowCount;
  int32_t rowCapacity;
};

// The last bad element access, worded into a message by the machine.
struct ArrayIndexErrorRecord {
  uint8_t error;
  int32_t row;
  int32_t column;
  int32_t rowCount;   // 0 when the value was not an array
  int32_t rowLength;  // -1 when the row does not exist
};
extern ArrayIndexErrorRecord ArrayIndexError;

// Growable text of compiled code.
struct StringBuilder {
  char* data = nullptr;
  int32_t capacity = 0;
  int32_t used = 0;  // text length without the terminator
};

// Arrays nest at most this deep in saved values and in the text form, so
// neither can recurse without bound (an array may even hold itself).
constexpr int kMaxValueNesting = 64;

// Releases what the value holds. A string stays a string (empty); an array
// value becomes real 0.
void ScriptValue_Free(ScriptValue* value);
// Strings are duplicated (into the destination's own block when it is large
// enough); arrays are shared. Whatever the destination held is released
// after the copy is made, so the source may live inside it.
void ScriptValue_Copy(ScriptValue* destination, const ScriptValue* source);
// As Copy, but an array is cloned and owned by the destination.
void ScriptValue_DeepCopy(ScriptValue* destination, const ScriptValue* source);
// Makes the value a string holding a copy of text (null: the empty string).
void ScriptValue_SetText(ScriptValue* value, const char* text);

ScriptArray* ScriptArray_Create(ScriptValue* owner);
// Rows and elements copied; nested arrays shared. Null gives null.
ScriptArray* ScriptArray_Clone(const ScriptArray* array, ScriptValue* newOwner);

// Index -1 is the whole value. A bad index fills ArrayIndexError, sets the
// destination to real 0 and returns false. Reading an ownerless array makes
// the source its owner.
bool ScriptValue_GetElement(ScriptValue* destination, ScriptValue* source, int32_t index);
// Writes grow the array to the index; a non-owner writing into a shared
// array gets a private copy first. A negative row or column writes nothing,
// fills ArrayIndexError and returns false.
bool ScriptValue_SetElement(ScriptValue* destination, ScriptValue* source, int32_t index);

// Appends the text form of the value at *cursor, growing *buffer (an engine
// block of *capacity bytes) as needed; *cursor ends on the terminator.
void ScriptValue_AppendText(char** cursor, char** buffer, int32_t* capacity, const ScriptValue* value);
void TextBuffer_Append(char** cursor, char** buffer, int32_t* capacity, const char* text);

// The binary form. Save returns false when the buffer refused a write or an
// array nested deeper than kMaxValueNesting had to be written as real 0.
bool ScriptValue_Save(const ScriptValue* value, ValueStream* buffer);
// Releases what the value held, then reads a value. The bytes are untrusted:
// on any fault (short data, unterminated text, bad count, too deep) the
// result is false and the value is real 0, with nothing leaked.
bool ScriptValue_Load(ScriptValue* value, ValueStream* buffer);

// UTF-8 of at most three bytes per character, without validation; a NUL
// inside a sequence ends it there, so decoding never runs past a terminator.
int UTF8_DecodeChar(const char** cursor);
void UTF8_EncodeChar(char** cursor, int codePoint);
int UTF8_Length(const char* text);
// 0 when the first n characters match, else the difference of the code
// points at the first mismatch (an ended text counts as 0).
int UTF8_CompareN(const char* a, const char* b, int n);

StringBuilder* StringBuilder_Append(StringBuilder* builder, const char* text);

void* CodeMem_Alloc(uint32_t size);
void CodeMem_Free(void* pointer);
