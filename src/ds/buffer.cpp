#include "ds/buffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "script/convert.h"
#include "script/memory_manager.h"

// Multi-byte items are stored little-endian by copying native values.
static_assert(std::endian::native == std::endian::little);

namespace {

// The raw block (size + alignment) must fit an engine block's 31-bit size.
constexpr int64_t kMaxBufferSize = INT32_MAX - 1024;

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return std::max(lo, std::min(v, hi)); }

}  // namespace

int Buffer_SizeOfType(int type) {
  switch (type) {
    case eBuffer_U8:
    case eBuffer_S8:
    case eBuffer_Bool:
      return 1;
    case eBuffer_U16:
    case eBuffer_S16:
    case eBuffer_F16:
      return 2;
    case eBuffer_U32:
    case eBuffer_S32:
    case eBuffer_F32:
      return 4;
    case eBuffer_F64:
      return 8;
    default:
      return 0;
  }
}

IBuffer::IBuffer(int size, int kind, int alignment) : kind_(kind) {
  alignment_ = 1;
  while (alignment_ < alignment && alignment_ < 1024) alignment_ *= 2;
  Resize(int(Clamp(size, 0, kMaxBufferSize)));
}

IBuffer::~IBuffer() {
  if (owns_) MemoryManager::Release(raw_);
  ScriptValue_Free(&scratch_);
}

void IBuffer::Resize(int newSize) {
  newSize = int(Clamp(newSize, 0, kMaxBufferSize));
  int block = newSize + alignment_;
  auto* raw = static_cast<uint8_t*>(MemoryManager::Allocate(uint32_t(block), __FILE__, __LINE__, true));
  auto address = reinterpret_cast<uintptr_t>(raw);
  uint8_t* data = raw + ((alignment_ - address % uintptr_t(alignment_)) % uintptr_t(alignment_));
  if (data_) std::memcpy(data, data_, size_t(std::min(size_, newSize)));
  if (owns_) MemoryManager::Release(raw_);
  raw_ = raw;
  blockSize_ = block;
  data_ = data;
  size_ = newSize;
  owns_ = true;
  if (position_ >= size_) position_ = wrapPhase_ = 0;
}

void IBuffer::AlignPosition() {
  if (alignment_ <= 1) return;
  int64_t p = int64_t(position_) + wrapPhase_;
  int64_t aligned = (p + alignment_ - 1) & ~int64_t(alignment_ - 1);
  position_ = int(aligned - wrapPhase_);
}

bool IBuffer::GrowToFit(int64_t need) {
  if (need <= size_) return true;
  if (kind_ != eBuffer_Grow || need > kMaxBufferSize) return false;
  int64_t grown = size_ > 0 ? size_ : 1;  // doubling 0 would never get there
  while (grown < need) grown *= 2;
  Resize(int(std::min(grown, kMaxBufferSize)));
  return true;
}

int IBuffer::Write(int type, const ScriptValue* value) {
  AlignPosition();
  if (position_ >= size_ && kind_ != eBuffer_Grow) return -2;
  double real = value->Real();

  if (type == eBuffer_U8 || type == eBuffer_S8) {
    // Alignment may have pushed the position past the end of a grow buffer.
    if (!GrowToFit(int64_t(position_) + 1)) return -2;
    data_[position_++] = uint8_t(Real_ToInt64(real));
    if (position_ == size_ && kind_ == eBuffer_Grow) GrowToFit(int64_t(size_) + 1);
    return 0;
  }

  uint8_t bytes[8];
  const void* source = bytes;
  int64_t length = Buffer_SizeOfType(type);
  switch (type) {
    case eBuffer_U16:
    case eBuffer_S16: {
      auto v = uint16_t(Real_ToInt64(real));
      std::memcpy(bytes, &v, 2);
      break;
    }
    case eBuffer_U32: {
      auto v = uint32_t(Real_ToInt64(real));
      std::memcpy(bytes, &v, 4);
      break;
    }
    case eBuffer_S32: {
      // Out of the int32 range the value is the pattern 0x80000000.
      int64_t t = Real_ToInt64(real);
      int32_t v = (t < INT32_MIN || t > INT32_MAX) ? INT32_MIN : int32_t(t);
      std::memcpy(bytes, &v, 4);
      break;
    }
    case eBuffer_F32: {
      auto v = float(real);
      std::memcpy(bytes, &v, 4);
      break;
    }
    case eBuffer_F64:
      std::memcpy(bytes, &real, 8);
      break;
    case eBuffer_Bool:
      bytes[0] = real > 0.5 ? 1 : 0;
      break;
    case eBuffer_String: {
      const char* text = value->Text();
      source = text;
      length = int64_t(std::strlen(text)) + 1;
      break;
    }
    default:
      return -1;
  }
  if (!GrowToFit(int64_t(position_) + length)) return -2;
  std::memcpy(data_ + position_, source, size_t(length));
  position_ += int(length);
  return 0;
}

int IBuffer::Read(int type, ScriptValue* out) {
  ScriptValue_Free(out);
  *out = ScriptValue{};
  AlignPosition();
  if (position_ >= size_) {
    out->real = -3;
    return 0;
  }

  const uint8_t* p = data_ + position_;
  if (type == eBuffer_String) {
    // A missing terminator ends the text at the end of the buffer.
    size_t left = size_t(size_ - position_);
    const void* nul = std::memchr(p, 0, left);
    size_t length = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : left;
    auto* text = static_cast<char*>(MemoryManager::Allocate(uint32_t(length + 1), __FILE__, __LINE__, false));
    std::memcpy(text, p, length);
    text[length] = 0;
    out->kind = kKindString;
    out->text = text;
    position_ += int(length + (nul ? 1 : 0));
    return 0;
  }

  int n = Buffer_SizeOfType(type);
  if (int64_t(position_) + n > size_) {
    out->real = -3;
    return 0;
  }
  position_ += n;
  switch (type) {
    case eBuffer_U8:
    case eBuffer_Bool:
      out->real = p[0];
      return 0;
    case eBuffer_S8:
      out->real = int8_t(p[0]);
      return 0;
    case eBuffer_U16: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      out->real = v;
      return 0;
    }
    case eBuffer_S16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      out->real = v;
      return 0;
    }
    case eBuffer_U32: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      out->real = v;
      return 0;
    }
    case eBuffer_S32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      out->real = v;
      return 0;
    }
    case eBuffer_F32: {
      float v;
      std::memcpy(&v, p, 4);
      out->real = v;
      return 0;
    }
    case eBuffer_F64:
      std::memcpy(&out->real, p, 8);
      return 0;
    default:
      return -1;  // type 7 has moved past its two bytes, unknown codes by none
  }
}

int IBuffer::Seek(int base, int offset) {
  switch (base) {
    case 0:
      position_ = int(Clamp(offset, 0, int64_t(size_) - 1));
      wrapPhase_ = 0;
      break;
    case 1:
      position_ = int(Clamp(int64_t(position_) + offset, 0, int64_t(size_) - 1));
      break;
    case 2: {
      // Offset 0 lands on the last byte, not past it.
      int64_t o = std::max(offset, 0);
      if (o >= int64_t(size_) - 1) o = int64_t(size_) - 2;
      position_ = int(int64_t(size_) - 1 - o);
      wrapPhase_ = 0;
      break;
    }
    default:
      break;
  }
  return position_;
}

int IBuffer::WriteString(const char* text) {
  ScriptValue_SetText(&scratch_, text ? text : "\x04");
  return Write(eBuffer_String, &scratch_);
}

char* IBuffer::ReadString() {
  if (Read(eBuffer_String, &scratch_) != 0 || !scratch_.IsString() || !scratch_.text) return nullptr;
  char* text = scratch_.text;
  scratch_.text = nullptr;
  if (text[0] == 4 && text[1] == 0) {
    MemoryManager::Release(text);
    return nullptr;
  }
  return text;
}

int IBuffer::BytesLeft() {
  AlignPosition();
  return position_ < size_ ? size_ - position_ : 0;
}

bool IBuffer::HasTerminatedString() {
  AlignPosition();
  return position_ < size_ && std::memchr(data_ + position_, 0, size_t(size_ - position_)) != nullptr;
}
