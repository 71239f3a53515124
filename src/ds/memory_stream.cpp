#include "ds/memory_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "files/files.h"
#include "script/memory_manager.h"

namespace {

// Stored sizes stay within 32 bits, as every reader of the text form expects.
constexpr int64_t kMaxStreamBytes = INT32_MAX;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

CMemoryStream::CMemoryStream(int64_t initialSize) {
  if (initialSize > 0 && initialSize <= kMaxStreamBytes) {
    data_ = static_cast<uint8_t*>(TW_ALLOC(uint32_t(initialSize), true));
    size_ = capacity_ = initialSize;
  }
}

CMemoryStream::~CMemoryStream() { FreeStorage(); }

bool CMemoryStream::Reserve(int64_t end) {
  if (end <= size_) return true;
  if (end > kMaxStreamBytes) return false;
  int64_t grown = std::min(std::max(size_ * 2, end), kMaxStreamBytes);
  if (grown > capacity_ || borrowed_) {
    auto* fresh = static_cast<uint8_t*>(TW_ALLOC(uint32_t(grown), true));
    if (data_) std::memcpy(fresh, data_, size_t(size_));
    if (!borrowed_) MemoryManager::Release(data_);
    data_ = fresh;
    capacity_ = grown;
    borrowed_ = false;
  } else {
    std::memset(data_ + size_, 0, size_t(grown - size_));
  }
  size_ = grown;
  return true;
}

int64_t CMemoryStream::Read(void* destination, int64_t n) {
  int64_t count = std::min(n, size_ - position_);
  if (count <= 0 || !destination || position_ < 0) return 0;
  std::memcpy(destination, data_ + position_, size_t(count));
  position_ += count;
  return count;
}

int64_t CMemoryStream::Seek(int64_t offset, int origin) {
  if (origin == 0) position_ = offset;
  else if (origin == 1) position_ += offset;
  else if (origin == 2) position_ = size_ + offset;
  return position_;
}

int64_t CMemoryStream::Write(const void* bytes, int64_t n) {
  if (n <= 0 || !bytes || position_ < 0 || !Reserve(position_ + n)) return 0;
  std::memmove(data_ + position_, bytes, size_t(n));
  position_ += n;
  return n;
}

void CMemoryStream::WriteInt32(int32_t value) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = uint8_t(uint32_t(value) >> (8 * i));
  Write(b, 4);
}

void CMemoryStream::WriteReal(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = uint8_t(bits >> (8 * i));
  Write(b, 8);
}

void CMemoryStream::WriteString(const char* text) {
  size_t length = text ? std::strlen(text) : 0;
  WriteInt32(int32_t(std::min<size_t>(length, INT32_MAX)));
  Write(text, int64_t(length));
}

int32_t CMemoryStream::ReadInt32() {
  uint8_t b[4] = {};
  Read(b, 4);
  return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

double CMemoryStream::ReadReal() {
  uint8_t b[8] = {};
  Read(b, 8);
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t(b[i]) << (8 * i);
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

char* CMemoryStream::ReadString() {
  int32_t length = ReadInt32();
  if (length < 1) return nullptr;
  // Never more than the stream holds: a damaged length must not allocate
  // gigabytes for bytes that are not there.
  int64_t present = std::max<int64_t>(0, std::min<int64_t>(length, size_ - position_));
  auto* text = static_cast<char*>(TW_ALLOC(uint32_t(present + 1), true));
  Read(text, present);
  return text;
}

std::string CMemoryStream::ToHexText() const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  int64_t n = std::min(position_, size_);
  if (n <= 0) return out;
  out.resize(size_t(n) * 2);
  for (int64_t i = 0; i < n; ++i) {
    out[size_t(2 * i)] = kDigits[data_[i] >> 4];
    out[size_t(2 * i + 1)] = kDigits[data_[i] & 15];
  }
  return out;
}

void CMemoryStream::FromHexText(const char* text) {
  if (!text || !*text) return;
  int64_t pairs = 0;
  while (HexDigit(text[2 * pairs]) >= 0 && HexDigit(text[2 * pairs + 1]) >= 0 && pairs < kMaxStreamBytes) ++pairs;
  if (!Reserve(pairs)) return;
  // The storage is kept, but only the decoded bytes are readable.
  size_ = pairs;
  for (int64_t i = 0; i < pairs; ++i)
    data_[i] = uint8_t(HexDigit(text[2 * i]) << 4 | HexDigit(text[2 * i + 1]));
  position_ = 0;
}

void CMemoryStream::CopyFrom(CMemoryStream* source, int64_t size, bool borrow) {
  if (!source) return;
  if (size == 0) {
    int64_t saved = source->position_;
    source->position_ = 0;
    Write(source->data_, source->size_);
    source->position_ = saved < 0 ? saved : source->size_;
    return;
  }
  int64_t available = std::max<int64_t>(0, source->size_ - source->position_);
  if (borrow) {
    size = std::min(size, available);  // a window never reaches past the source
    FreeStorage();
    borrowed_ = true;
    data_ = size > 0 ? source->data_ + source->position_ : nullptr;
    size_ = capacity_ = std::max<int64_t>(size, 0);
    position_ = size_;
    source->position_ += size_;
    return;
  }
  int64_t n = std::min(size, available);
  if (n > 0 && Write(source->data_ + source->position_, n) == n) source->position_ += n;
}

void CMemoryStream::LoadFile(const char* name, int64_t skip) {
  FreeStorage();
  position_ = 0;
  if (!name) return;
  auto file = LoadSave_ReadGameFile(name);
  if (!file || skip < 0 || int64_t(file->size()) <= skip || int64_t(file->size()) - skip > kMaxStreamBytes) return;
  size_ = capacity_ = int64_t(file->size()) - skip;
  data_ = static_cast<uint8_t*>(TW_ALLOC(uint32_t(size_), false));
  std::memcpy(data_, file->data() + skip, size_t(size_));
}

void CMemoryStream::FreeStorage() {
  if (!borrowed_) MemoryManager::Release(data_);
  data_ = nullptr;
  borrowed_ = false;
  size_ = capacity_ = 0;
}

void CMemoryStream::Unscramble(int32_t seed, int64_t start, int64_t length) {
  int32_t q = seed / 250;
  int32_t r = seed - 250 * q;
  int32_t step = r + 6;
  if (step < 0) step += 256;
  if (q < 0) q += 256;
  // A seed so negative that q stays negative would index below the table;
  // fold it into range the way the modulo below does for every other seed.
  int64_t c = int64_t(q) + step;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = uint8_t(i);
  for (int i = 0; i < 10000; ++i) {
    int k = int(((c % 254) + 254) % 254);
    std::swap(table[k + 1], table[k + 2]);
    c += step;
  }
  uint8_t undo[256];
  undo[0] = 0;
  for (int i = 1; i < 256; ++i) undo[table[i]] = uint8_t(i);
  if (start < 0 || start >= size_) return;
  int64_t end = length <= 0 ? size_ : std::min(size_, start + length);
  for (int64_t i = start; i < end; ++i) data_[i] = undo[data_[i]];
}

namespace {

void ValueWrite(CMemoryStream* stream, const ScriptValue* value, int depth) {
  stream->WriteInt32(int32_t(value->kind));
  switch (value->kind) {
    case kKindReal:
      stream->WriteReal(value->real);
      break;
    case kKindString:
      stream->WriteString(value->text);
      break;
    case kKindArray: {
      const ScriptArray* array = value->array;
      // Nesting has a bound, so an array that holds itself cannot recurse forever.
      int32_t rows = array && depth < kMaxValueNesting ? array->rowCount : 0;
      stream->WriteInt32(rows);
      for (int32_t r = 0; r < rows; ++r) {
        const ScriptArrayRow& row = array->rows[r];
        stream->WriteInt32(row.length);
        for (int32_t c = 0; c < row.length; ++c) ValueWrite(stream, &row.elements[c], depth + 1);
      }
      break;
    }
    default:
      break;
  }
}

bool ValueRead(ScriptValue* value, CMemoryStream* stream, int depth) {
  if (!DS_StreamHolds(stream, 1)) {
    ScriptValue_Free(value);
    *value = ScriptValue{};
    return false;
  }
  uint32_t kind = uint32_t(stream->ReadInt32());
  ScriptValue_Free(value);
  *value = ScriptValue{};
  switch (kind) {
    case kKindReal:
      if (!DS_StreamHolds(stream, 1, 8)) return false;
      value->real = stream->ReadReal();
      return true;
    case kKindString: {
      if (!DS_StreamHolds(stream, 1)) return false;
      value->kind = kKindString;
      value->text = stream->ReadString();
      return true;
    }
    case kKindArray: {
      if (depth >= kMaxValueNesting || !DS_StreamHolds(stream, 1)) return false;
      int32_t rows = stream->ReadInt32();
      if (rows < 0 || rows > INT32_MAX / kArrayRowStride || !DS_StreamHolds(stream, rows)) return false;
      value->kind = kKindArray;
      value->array = ScriptArray_Create(value);
      for (int32_t r = 0; r < rows; ++r) {
        int32_t length = stream->ReadInt32();
        if (length < 0 || length > kArrayRowStride || !DS_StreamHolds(stream, length)) return false;
        for (int32_t c = 0; c < length; ++c) {
          ScriptValue element;
          bool ok = ValueRead(&element, stream, depth + 1);
          ScriptValue_SetElement(value, &element, r * kArrayRowStride + c);
          ScriptValue_Free(&element);
          if (!ok) return false;
        }
      }
      return true;
    }
    default:
      // A marked real was written without its id; anything else has no payload.
      return true;
  }
}

}  // namespace

void DS_ValueWrite(CMemoryStream* stream, const ScriptValue* value) { ValueWrite(stream, value, 0); }

bool DS_ValueRead(ScriptValue* value, CMemoryStream* stream) { return ValueRead(value, stream, 0); }

bool DS_StreamHolds(const CMemoryStream* stream, int64_t count, int64_t bytesEach) {
  if (count < 0) return false;
  int64_t left = stream->GetSize() - stream->GetPosition();
  return left >= 0 && count <= left / std::max<int64_t>(bytesEach, 1);
}

bool DS_OpenText(CMemoryStream* stream, const char* text, int32_t header) {
  if (!text || !*text) return false;
  stream->FromHexText(text);
  if (stream->GetSize() < 4) return false;
  return stream->ReadInt32() == header;
}
