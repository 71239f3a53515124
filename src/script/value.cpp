#include "script/value.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "script/convert.h"
#include "script/memory_manager.h"
#include "script/errors.h"
#include "script/value_stream.h"

ArrayIndexErrorRecord ArrayIndexError = {};

namespace {

// A column stays below the stride; the highest row is the one a positive
// int32 index can reach.
constexpr int32_t kMaxColumns = kArrayRowStride;
constexpr int32_t kMaxRows = INT32_MAX / kArrayRowStride + 1;

// Blocks carry 31-bit sizes; a text that cannot fit one is as fatal as an
// exhausted heap.
uint32_t BlockBytes(size_t n) {
  if (n > 0x7FFFFFFFu) MemoryManager::OutOfMemory();
  return uint32_t(n);
}

char* NewText(const char* text, size_t n) {
  auto* block = static_cast<char*>(MemoryManager::Allocate(BlockBytes(n), __FILE__, __LINE__, false));
  std::memcpy(block, text, n);
  return block;
}

bool PointsInto(const void* p, const void* block, size_t bytes) {
  if (!block) return false;
  auto a = reinterpret_cast<uintptr_t>(p), b = reinterpret_cast<uintptr_t>(block);
  return a >= b && a - b < bytes;
}

// Drops one holder's reference. Arrays whose count reaches 0 are destroyed
// from a work list rather than by recursion: run-time nesting has no bound.
void ReleaseArray(ScriptArray* array, const ScriptValue* holder) {
  if (array->owner == holder) array->owner = nullptr;
  if (--array->refCount > 0) return;
  std::vector<ScriptArray*> dead;
  for (ScriptArray* a = array; a;) {
    for (int32_t r = 0; r < a->rowCount; ++r) {
      ScriptArrayRow& row = a->rows[r];
      for (int32_t c = 0; c < row.length; ++c) {
        ScriptValue& e = row.elements[c];
        if (e.IsString()) {
          MemoryManager::Release(e.text);
        } else if (e.IsArray() && e.array) {
          ScriptArray* child = e.array;
          if (child->owner == &e) child->owner = nullptr;
          if (--child->refCount <= 0) dead.push_back(child);
        }
      }
      MemoryManager::Release(row.elements);
    }
    MemoryManager::Release(a->rows);
    MemoryManager::Release(a);
    if (dead.empty()) break;
    a = dead.back();
    dead.pop_back();
  }
}

// Releases what `old` (the former contents of the value at `at`) held.
void ReleaseHolding(const ScriptValue& old, const ScriptValue* at) {
  if (old.IsString()) {
    MemoryManager::Release(old.text);
  } else if (old.IsArray() && old.array) {
    ReleaseArray(old.array, at);
  }
}

// Puts new contents in place first and releases the old ones afterwards, so
// a source that lives inside the destination's old contents stays valid
// while it is copied.
void Install(ScriptValue* destination, const ScriptValue& fresh) {
  ScriptValue old = *destination;
  *destination = fresh;
  ReleaseHolding(old, destination);
}

void CopyValue(ScriptValue* destination, const ScriptValue* source, bool deep) {
  if (destination == source) return;
  ScriptValue fresh;
  fresh.kind = source->kind;
  switch (source->Kind()) {
    case kKindString:
      if (source->text) {
        size_t n = std::strlen(source->text) + 1;
        if (destination->IsString() && destination->text && MemoryManager::BlockSize(destination->text) >= n) {
          std::memmove(destination->text, source->text, n);
          destination->kind = source->kind;
          return;
        }
        fresh.text = NewText(source->text, n);
      } else {
        fresh.text = nullptr;
      }
      break;
    case kKindArray:
      if (deep) {
        fresh.array = ScriptArray_Clone(source->array, destination);
      } else {
        fresh.array = source->array;
        if (fresh.array) ++fresh.array->refCount;
      }
      break;
    default:
      fresh.real = source->real;  // a real, or a kind with no payload
      break;
  }
  Install(destination, fresh);
}

// Element blocks move when they grow; a nested array owned by a moved
// element follows it, so ownership is not lost to a stale address.
void GrowRow(ScriptArrayRow* row, int32_t length) {
  if (length <= row->length) return;
  if (length > row->capacity) {
    int32_t capacity = row->capacity * 2 < length ? length : row->capacity * 2;
    if (capacity > kMaxColumns) capacity = length > kMaxColumns ? length : kMaxColumns;
    auto oldAddress = reinterpret_cast<uintptr_t>(row->elements);
    MemoryManager::ResizeField(row->elements, uint32_t(capacity) * sizeof(ScriptValue), __FILE__, __LINE__);
    if (reinterpret_cast<uintptr_t>(row->elements) != oldAddress) {
      for (int32_t c = 0; c < row->length; ++c) {
        ScriptValue& e = row->elements[c];
        if (e.IsArray() && e.array &&
            reinterpret_cast<uintptr_t>(e.array->owner) == oldAddress + uintptr_t(c) * sizeof(ScriptValue))
          e.array->owner = &e;
      }
    }
    row->capacity = capacity;
  }
  row->length = length;  // slots past the old length are still real 0
}

void GrowRows(ScriptArray* array, int32_t count) {
  if (count <= array->rowCount) return;
  if (count > array->rowCapacity) {
    int32_t capacity = array->rowCapacity * 2 < count ? count : array->rowCapacity * 2;
    if (capacity > kMaxRows) capacity = count > kMaxRows ? count : kMaxRows;
    MemoryManager::ResizeField(array->rows, uint32_t(capacity) * sizeof(ScriptArrayRow), __FILE__, __LINE__);
    array->rowCapacity = capacity;
  }
  array->rowCount = count;
}

void SetIndexError(int32_t row, int32_t column, const ScriptArray* array) {
  ArrayIndexError.error = 1;
  ArrayIndexError.row = row;
  ArrayIndexError.column = column;
  ArrayIndexError.rowCount = array->rowCount;
  ArrayIndexError.rowLength = (row >= 0 && row < array->rowCount) ? array->rows[row].length : -1;
}

}  // namespace

void ScriptValue_Free(ScriptValue* value) {
  switch (value->Kind()) {
    case kKindString:
      MemoryManager::Release(value->text);
      value->text = nullptr;
      break;
    case kKindArray: {
      ScriptArray* array = value->array;
      value->kind = kKindReal;
      value->real = 0.0;
      if (array) ReleaseArray(array, value);
      break;
    }
    default:
      break;
  }
}

void ScriptValue_Copy(ScriptValue* destination, const ScriptValue* source) {
  CopyValue(destination, source, false);
}

void ScriptValue_DeepCopy(ScriptValue* destination, const ScriptValue* source) {
  CopyValue(destination, source, true);
}

void ScriptValue_SetText(ScriptValue* value, const char* text) {
  ScriptValue fresh;
  fresh.kind = kKindString;
  fresh.text = nullptr;
  if (text) {
    size_t n = std::strlen(text) + 1;
    if (value->IsString() && value->text && MemoryManager::BlockSize(value->text) >= n) {
      std::memmove(value->text, text, n);
      value->kind = kKindString;
      return;
    }
    fresh.text = NewText(text, n);
  }
  Install(value, fresh);
}

ScriptArray* ScriptArray_Create(ScriptValue* owner) {
  auto* array = static_cast<ScriptArray*>(TW_ALLOC(sizeof(ScriptArray), true));
  array->refCount = 1;
  array->owner = owner;
  return array;
}

ScriptArray* ScriptArray_Clone(const ScriptArray* array, ScriptValue* newOwner) {
  if (!array) return nullptr;
  ScriptArray* clone = ScriptArray_Create(newOwner);
  if (array->rowCount > 0) {
    clone->rows = static_cast<ScriptArrayRow*>(
        TW_ALLOC(uint32_t(array->rowCount) * sizeof(ScriptArrayRow), true));
    clone->rowCount = clone->rowCapacity = array->rowCount;
  }
  for (int32_t r = 0; r < array->rowCount; ++r) {
    const ScriptArrayRow& from = array->rows[r];
    if (from.length <= 0) continue;
    ScriptArrayRow& to = clone->rows[r];
    to.elements = static_cast<ScriptValue*>(TW_ALLOC(uint32_t(from.length) * sizeof(ScriptValue), true));
    to.length = to.capacity = from.length;
    for (int32_t c = 0; c < from.length; ++c) ScriptValue_Copy(&to.elements[c], &from.elements[c]);
  }
  return clone;
}

namespace {
// Kept out of line so the reads of plain values stay short.
[[gnu::noinline, gnu::cold]] void ReportNotAnArray() {
  Error_ReportRuntime(ErrorSeverity::kFatal, "trying to index variable that is not an array");
}
}  // namespace

bool ScriptValue_GetElement(ScriptValue* destination, ScriptValue* source, int32_t index) {
  if (!source->IsArray() || !source->array) {
    if (index != -1) [[unlikely]] ReportNotAnArray();
    ScriptValue_Copy(destination, source);
    return true;
  }
  ScriptArray* array = source->array;
  if (!array->owner) array->owner = source;
  if (index == -1) {
    ScriptValue_Copy(destination, source);
    return true;
  }
  int32_t row = index / kArrayRowStride, column = index % kArrayRowStride;
  if (row >= 0 && row < array->rowCount && column >= 0 && column < array->rows[row].length) {
    ScriptValue_Copy(destination, &array->rows[row].elements[column]);
    return true;
  }
  SetIndexError(row, column, array);
  Install(destination, ScriptValue{});
  return false;
}

bool ScriptValue_SetElement(ScriptValue* destination, ScriptValue* source, int32_t index) {
  if (index == -1) {
    if (destination->IsArray() && source->IsArray() && source->array && !source->array->owner)
      source->array->owner = source;
    ScriptValue_Copy(destination, source);
    return true;
  }

  // The source may be the destination itself, or an element of the row that
  // is about to move; then a copy of it is written instead.
  ScriptValue held;
  const ScriptValue* from = source;
  if (source == destination) {
    ScriptValue_Copy(&held, source);
    from = &held;
  }

  if (!destination->IsArray()) {
    ScriptValue_Free(destination);
    destination->kind = kKindArray;
    destination->array = nullptr;
  }
  ScriptArray* array = destination->array;
  if (!array) {
    array = destination->array = ScriptArray_Create(destination);
  } else if (array->owner != destination && array->refCount != 1) {
    ScriptArray* clone = ScriptArray_Clone(array, destination);
    --array->refCount;  // others still hold it, so it stays alive
    array = destination->array = clone;
  }
  if (!array->owner) array->owner = destination;

  int32_t row = index / kArrayRowStride, column = index % kArrayRowStride;
  bool written = false;
  if (row >= array->rowCount) GrowRows(array, row + 1);
  if (row < 0 || column < 0) {
    SetIndexError(row, column, array);
  } else {
    ScriptArrayRow& r = array->rows[row];
    if (column >= r.capacity && from != &held &&
        PointsInto(from, r.elements, size_t(r.capacity) * sizeof(ScriptValue))) {
      ScriptValue_Copy(&held, from);
      from = &held;
    }
    GrowRow(&r, column + 1);
    ScriptValue_Copy(&r.elements[column], from);
    written = true;
  }
  ScriptValue_Free(&held);
  return written;
}

void TextBuffer_Append(char** cursor, char** buffer, int32_t* capacity, const char* text) {
  if (!text) text = "";
  size_t length = std::strlen(text);
  int64_t position = *buffer ? *cursor - *buffer : 0;
  int64_t need = position + int64_t(length) + 1;
  if (!*buffer || need > *capacity) {
    // The text may be part of the block being replaced.
    bool inside = PointsInto(text, *buffer, size_t(*capacity));
    int64_t offset = inside ? text - *buffer : 0;
    int64_t grown = int64_t(*capacity) * 2;
    if (grown < need) grown = need + 1;
    *buffer = static_cast<char*>(MemoryManager::Resize(*buffer, BlockBytes(size_t(grown)), __FILE__, __LINE__));
    *capacity = int32_t(grown);
    *cursor = *buffer + position;
    if (inside) text = *buffer + offset;
  }
  std::memmove(*cursor, text, length + 1);
  *cursor += length;
}

namespace {

void AppendValue(char** cursor, char** buffer, int32_t* capacity, const ScriptValue* value, int depth) {
  switch (value->kind) {  // the whole word: flagged values have no text form
    case kKindReal: {
      char number[400];
      double r = value->real;
      if (std::isnan(r)) {
        std::snprintf(number, sizeof number, "NaN");
      } else {
        int32_t whole = Real_RoundToInt32(r);
        if (double(whole) == r)
          std::snprintf(number, sizeof number, "%d", whole);
        else
          std::snprintf(number, sizeof number, "%.2f", r);
      }
      TextBuffer_Append(cursor, buffer, capacity, number);
      break;
    }
    case kKindString:
      if (value->text && *value->text) TextBuffer_Append(cursor, buffer, capacity, value->text);
      break;
    case kKindArray: {
      const ScriptArray* array = value->array;
      if (depth >= kMaxValueNesting) {
        TextBuffer_Append(cursor, buffer, capacity, "{ ... }");
        break;
      }
      TextBuffer_Append(cursor, buffer, capacity, "{ ");
      for (int32_t r = 0; array && r < array->rowCount; ++r) {
        const ScriptArrayRow& row = array->rows[r];
        for (int32_t c = 0; c < row.length; ++c) {
          if (c > 0) TextBuffer_Append(cursor, buffer, capacity, ",");
          AppendValue(cursor, buffer, capacity, &row.elements[c], depth + 1);
        }
      }
      TextBuffer_Append(cursor, buffer, capacity, " }");
      break;
    }
    default:
      break;
  }
}

bool WriteNumber(ValueStream* buffer, int type, double number) {
  ScriptValue v = ScriptValue::FromReal(number);
  return buffer->Write(type, &v) == 0;
}

bool SaveValue(const ScriptValue* value, ValueStream* buffer, int depth) {
  if (value->IsArray() && depth >= kMaxValueNesting) {
    // Loading refuses anything deeper, so a real 0 stands in for it.
    ScriptValue zero;
    SaveValue(&zero, buffer, depth);
    return false;
  }
  bool ok = WriteNumber(buffer, eBuffer_S32, double(int32_t(value->kind)));
  switch (value->Kind()) {
    case kKindReal:
    case kKindString:
      ok &= WriteNumber(buffer, eBuffer_F64, value->Real());
      ok &= buffer->WriteString(value->IsString() ? value->text : nullptr) == 0;
      break;
    case kKindArray: {
      const ScriptArray* array = value->array;
      int32_t rows = array ? array->rowCount : 0;
      ok &= WriteNumber(buffer, eBuffer_S32, rows);
      for (int32_t r = 0; r < rows; ++r) {
        const ScriptArrayRow& row = array->rows[r];
        ok &= WriteNumber(buffer, eBuffer_S32, row.length);
        for (int32_t c = 0; c < row.length; ++c) ok &= SaveValue(&row.elements[c], buffer, depth + 1);
      }
      break;
    }
    default:
      break;
  }
  return ok;
}

// Reads refuse items that are not wholly present, so a damaged record ends
// the load instead of turning into a run of -3 markers.
bool ReadInt(ValueStream* buffer, int32_t* out) {
  if (buffer->BytesLeft() < 4) return false;
  ScriptValue v;
  buffer->Read(eBuffer_S32, &v);
  *out = int32_t(v.real);
  return true;
}

bool ReadDouble(ValueStream* buffer, double* out) {
  if (buffer->BytesLeft() < 8) return false;
  ScriptValue v;
  buffer->Read(eBuffer_F64, &v);
  *out = v.real;
  return true;
}

// Every element costs at least one 4-byte kind word, so a count can be
// checked against the bytes left before anything is allocated for it.
bool CountFits(ValueStream* buffer, int32_t count, int32_t limit) {
  return count >= 0 && count <= limit && int64_t(count) * 4 <= buffer->BytesLeft();
}

// `value` is real 0 on entry. On failure it may hold a partial array, which
// is always well formed, so the caller's single free releases everything.
bool LoadValue(ScriptValue* value, ValueStream* buffer, int depth) {
  int32_t kindWord;
  if (!ReadInt(buffer, &kindWord)) return false;
  uint32_t kind = uint32_t(kindWord);
  switch (kind & kValueKindMask) {
    case kKindReal:
    case kKindString: {
      double real;
      if (!ReadDouble(buffer, &real)) return false;
      if (!buffer->HasTerminatedString()) return false;
      char* text = buffer->ReadString();
      value->kind = kind;
      if ((kind & kValueKindMask) == kKindString) {
        value->text = text;
      } else {
        value->real = real;
        MemoryManager::Release(text);  // a real carries no text
      }
      return true;
    }
    case kKindArray: {
      if (depth >= kMaxValueNesting) return false;
      int32_t rows;
      if (!ReadInt(buffer, &rows) || !CountFits(buffer, rows, kMaxRows)) return false;
      value->kind = kind;
      value->array = ScriptArray_Create(value);
      ScriptArray* array = value->array;
      for (int32_t r = 0; r < rows; ++r) {
        GrowRows(array, r + 1);
        int32_t length;
        if (!ReadInt(buffer, &length) || !CountFits(buffer, length, kMaxColumns)) return false;
        ScriptArrayRow* row = &array->rows[r];
        for (int32_t c = 0; c < length; ++c) {
          GrowRow(row, c + 1);
          if (!LoadValue(&row->elements[c], buffer, depth + 1)) return false;
        }
      }
      return true;
    }
    default:
      value->kind = kind;  // an unknown kind has no payload
      return true;
  }
}

}  // namespace

void ScriptValue_AppendText(char** cursor, char** buffer, int32_t* capacity, const ScriptValue* value) {
  AppendValue(cursor, buffer, capacity, value, 0);
}

bool ScriptValue_Save(const ScriptValue* value, ValueStream* buffer) { return SaveValue(value, buffer, 0); }

bool ScriptValue_Load(ScriptValue* value, ValueStream* buffer) {
  ScriptValue_Free(value);
  *value = ScriptValue{};
  if (LoadValue(value, buffer, 0)) return true;
  ScriptValue_Free(value);
  *value = ScriptValue{};
  return false;
}

int UTF8_DecodeChar(const char** cursor) {
  const auto* p = reinterpret_cast<const unsigned char*>(*cursor);
  unsigned lead = p[0];
  if (lead < 0x80) {
    *cursor += 1;
    return int(lead);
  }
  if (lead & 0x20) {
    unsigned c = (lead & 0x0F) << 12;
    if (p[1] == 0) {
      *cursor += 1;
      return int(c);
    }
    c |= (p[1] & 0x3Fu) << 6;
    if (p[2] == 0) {
      *cursor += 2;
      return int(c);
    }
    *cursor += 3;
    return int((c | (p[2] & 0x3Fu)) & 0xFFFF);
  }
  unsigned c = (lead & 0x1F) * 64;
  if (p[1] == 0) {
    *cursor += 1;
    return int(c);
  }
  *cursor += 2;
  return int((c + (p[1] & 0x3Fu)) & 0xFFFF);
}

void UTF8_EncodeChar(char** cursor, int codePoint) {
  auto c = unsigned(codePoint);
  char* p = *cursor;
  if (c < 0x80) {
    *p++ = char(c);
  } else if (c < 0x800) {
    *p++ = char(0xC0 | ((c >> 6) & 0x1F));
    *p++ = char(0x80 | (c & 0x3F));
  } else {
    *p++ = char(0xE0 | ((c >> 12) & 0x0F));
    *p++ = char(0x80 | ((c >> 6) & 0x3F));
    *p++ = char(0x80 | (c & 0x3F));
  }
  *cursor = p;
}

int UTF8_Length(const char* text) {
  if (!text) return 0;
  int n = 0;
  while (*text) {
    UTF8_DecodeChar(&text);
    ++n;
  }
  return n;
}

int UTF8_CompareN(const char* a, const char* b, int n) {
  if (!a) a = "";
  if (!b) b = "";
  for (int matched = 0; matched < n; ++matched) {
    bool endA = !*a, endB = !*b;
    if (endA && endB) return 0;
    int ca = endA ? 0 : UTF8_DecodeChar(&a);
    int cb = endB ? 0 : UTF8_DecodeChar(&b);
    if (ca != cb) return ca - cb;
  }
  return 0;
}

StringBuilder* StringBuilder_Append(StringBuilder* builder, const char* text) {
  if (!text) return builder;
  int64_t length = int64_t(std::strlen(text));
  int64_t used = builder->used, capacity = builder->capacity;
  if (capacity - used - 1 < length + 1) {
    int64_t grown = capacity == 0 ? (length + 1) * 3 / 2 : capacity * 3 / 2;
    if (grown < used + length + 1) grown = (used + length + 1) * 3 / 2;
    // The text may be part of the builder's own data.
    bool inside = PointsInto(text, builder->data, size_t(capacity));
    int64_t offset = inside ? text - builder->data : 0;
    auto* data = static_cast<char*>(CodeMem_Alloc(BlockBytes(size_t(grown))));
    if (builder->data) std::memcpy(data, builder->data, size_t(capacity));
    CodeMem_Free(builder->data);
    builder->data = data;
    builder->capacity = int32_t(grown);
    if (inside) text = data + offset;
  }
  std::memmove(builder->data + used, text, size_t(length) + 1);
  builder->used = int32_t(used + length);
  return builder;
}

void* CodeMem_Alloc(uint32_t size) { return MemoryManager::Allocate(size, __FILE__, __LINE__, false); }

void CodeMem_Free(void* pointer) { MemoryManager::Release(pointer); }
