#include "ds/buffer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "ds/hash.h"
#include "files/files.h"
#include "script/convert.h"
#include "script/memory_manager.h"

// Multi-byte items are stored little-endian by copying native values.
static_assert(std::endian::native == std::endian::little);

namespace {

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return std::max(lo, std::min(v, hi)); }

// v modulo m (m > 0) in 0 to m - 1, for negative v too.
int64_t Mod(int64_t v, int64_t m) {
  const int64_t r = v % m;
  return r < 0 ? r + m : r;
}

// The bytes a typed write stores for a value: up to 8 in `bytes`, or the
// text and its NUL for type 11. False for a type that cannot be written.
struct Encoded {
  uint8_t bytes[8] = {};
  const uint8_t* data = bytes;
  int64_t length = 0;
};

bool Encode(int type, const ScriptValue* value, Encoded* e) {
  const double real = value->Real();
  e->length = Buffer_SizeOfType(type);
  switch (type) {
    case eBuffer_U8:
    case eBuffer_S8:
      e->bytes[0] = uint8_t(Real_ToInt64(real));
      return true;
    case eBuffer_U16:
    case eBuffer_S16: {
      auto v = uint16_t(Real_ToInt64(real));
      std::memcpy(e->bytes, &v, 2);
      return true;
    }
    case eBuffer_U32: {
      auto v = uint32_t(Real_ToInt64(real));
      std::memcpy(e->bytes, &v, 4);
      return true;
    }
    case eBuffer_S32: {
      // Out of the int32 range the value is the pattern 0x80000000.
      const int64_t t = Real_ToInt64(real);
      const int32_t v = (t < INT32_MIN || t > INT32_MAX) ? INT32_MIN : int32_t(t);
      std::memcpy(e->bytes, &v, 4);
      return true;
    }
    case eBuffer_F32: {
      auto v = float(real);
      std::memcpy(e->bytes, &v, 4);
      return true;
    }
    case eBuffer_F64:
      std::memcpy(e->bytes, &real, 8);
      return true;
    case eBuffer_Bool:
      e->bytes[0] = real > 0.5 ? 1 : 0;
      return true;
    case eBuffer_String: {
      const char* text = value->Text();
      e->data = reinterpret_cast<const uint8_t*>(text);
      e->length = int64_t(std::strlen(text)) + 1;
      return true;
    }
    default:
      return false;
  }
}

// The number a typed read gives from Buffer_SizeOfType(type) bytes; false for
// a type that cannot be read as a number.
bool Decode(int type, const uint8_t* p, double* out) {
  switch (type) {
    case eBuffer_U8:
    case eBuffer_Bool:
      *out = p[0];
      return true;
    case eBuffer_S8:
      *out = int8_t(p[0]);
      return true;
    case eBuffer_U16: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      *out = v;
      return true;
    }
    case eBuffer_S16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      *out = v;
      return true;
    }
    case eBuffer_U32: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      *out = v;
      return true;
    }
    case eBuffer_S32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      *out = v;
      return true;
    }
    case eBuffer_F32: {
      float v;
      std::memcpy(&v, p, 4);
      *out = v;
      return true;
    }
    case eBuffer_F64:
      std::memcpy(out, p, 8);
      return true;
    default:
      return false;
  }
}

void SetReal(ScriptValue* out, double r) {
  ScriptValue_Free(out);
  *out = ScriptValue::FromReal(r);
}

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
  if (!Resize(size)) Resize(0);
}

IBuffer::IBuffer(uint8_t* data, int size, int kind, int alignment, bool owns) : kind_(kind) {
  alignment_ = 1;
  while (alignment_ < alignment && alignment_ < 1024) alignment_ *= 2;
  if (!data || size < 0) {
    if (owns) MemoryManager::Release(data);
    Resize(0);
    return;
  }
  raw_ = data_ = data;
  blockSize_ = size_ = size;
  owns_ = owns;
}

IBuffer::IBuffer() : IBuffer(0, eBuffer_Grow, 1) {}

IBuffer::~IBuffer() {
  if (owns_) MemoryManager::Release(raw_);
  ScriptValue_Free(&scratch_);
}

bool IBuffer::Resize(int newSize) {
  if (newSize < 0 || newSize > kBufferMaxSize) return false;
  const int block = newSize + alignment_;
  auto* raw = static_cast<uint8_t*>(MemoryManager::Allocate(uint32_t(block), __FILE__, __LINE__, true));
  const auto address = reinterpret_cast<uintptr_t>(raw);
  uint8_t* data = raw + ((alignment_ - address % uintptr_t(alignment_)) % uintptr_t(alignment_));
  if (data_) std::memcpy(data, data_, size_t(std::min(size_, newSize)));
  if (owns_) MemoryManager::Release(raw_);
  raw_ = raw;
  blockSize_ = block;
  data_ = data;
  size_ = newSize;
  owns_ = true;
  if (position_ >= size_) position_ = wrapPhase_ = 0;
  return true;
}

void IBuffer::Advance(int64_t n) {
  int64_t p = int64_t(position_) + n;
  if (Wraps() && p >= size_) {
    const int64_t turns = p / size_;
    p -= turns * size_;
    wrapPhase_ = int(Mod(wrapPhase_ + turns % alignment_ * size_, alignment_));
  }
  position_ = int(p);
}

void IBuffer::AlignPosition() {
  if (alignment_ > 1) {
    const int64_t p = int64_t(position_) + wrapPhase_;
    const int64_t aligned = (p + alignment_ - 1) & ~int64_t(alignment_ - 1);
    position_ = int(aligned - wrapPhase_);
  }
  Advance(0);  // a wrap buffer's position comes back inside
}

bool IBuffer::GrowToFit(int64_t need) {
  if (need <= size_) return true;
  if (kind_ != eBuffer_Grow || need > kBufferMaxSize) return false;
  int64_t grown = size_ > 0 ? size_ : 1;  // doubling 0 would never get there
  while (grown < need) grown *= 2;
  return Resize(int(std::min<int64_t>(grown, kBufferMaxSize)));
}

int IBuffer::Write(int type, const ScriptValue* value) {
  AlignPosition();
  if (position_ >= size_ && kind_ != eBuffer_Grow) return -2;

  Encoded e;
  if (!Encode(type, value, &e)) return -1;
  if (type == eBuffer_U8 || type == eBuffer_S8) {
    // Alignment may have pushed the position past the end of a grow buffer.
    if (!GrowToFit(int64_t(position_) + 1)) return -2;
    data_[position_] = e.bytes[0];
    Advance(1);
    if (position_ == size_ && kind_ == eBuffer_Grow) GrowToFit(int64_t(size_) + 1);
    return 0;
  }
  if (int64_t(position_) + e.length > size_) {
    if (kind_ == eBuffer_Grow) {
      if (!GrowToFit(int64_t(position_) + e.length)) return -2;
    } else if (!Wraps()) {
      return -2;
    }
  }
  if (Wraps()) {
    for (int64_t i = 0; i < e.length; ++i) {
      data_[position_] = e.data[i];
      Advance(1);
    }
  } else {
    std::memcpy(data_ + position_, e.data, size_t(e.length));
    position_ += int(e.length);
  }
  return 0;
}

int IBuffer::Read(int type, ScriptValue* out) {
  SetReal(out, 0);
  AlignPosition();
  if (position_ >= size_) {
    out->real = -3;
    return 0;
  }

  if (type == eBuffer_String) {
    // A missing terminator ends the text at the end of the buffer.
    const uint8_t* p = data_ + position_;
    const size_t left = size_t(size_ - position_);
    const void* nul = std::memchr(p, 0, left);
    const size_t length = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : left;
    auto* text = static_cast<char*>(MemoryManager::Allocate(uint32_t(length + 1), __FILE__, __LINE__, false));
    std::memcpy(text, p, length);
    text[length] = 0;
    out->kind = kKindString;
    out->text = text;
    position_ += int(length + (nul ? 1 : 0));
    return 0;
  }

  const int n = Buffer_SizeOfType(type);
  if (int64_t(position_) + n > size_ && !Wraps()) {
    out->real = -3;
    return 0;
  }
  uint8_t bytes[8] = {};
  for (int i = 0; i < n; ++i) bytes[i] = data_[(int64_t(position_) + i) % size_];
  Advance(n);
  // Type 7 has moved past its two bytes, unknown codes by none.
  return Decode(type, bytes, &out->real) ? 0 : -1;
}

int IBuffer::Seek(int base, int offset) {
  if (size_ <= 0) {
    if (base >= eBuffer_SeekStart && base <= eBuffer_SeekEnd) position_ = wrapPhase_ = 0;
    return position_;
  }
  switch (base) {
    case eBuffer_SeekStart:
      position_ = int(Clamp(offset, 0, int64_t(size_) - 1));
      wrapPhase_ = 0;
      break;
    case eBuffer_SeekRelative: {
      int64_t p = int64_t(position_) + offset;
      if (Wraps()) {
        // Each turn back adds alignment - size mod alignment to the phase,
        // each turn forward adds the size; done in one step, not in a loop.
        int64_t turns = 0;
        if (p < 0) turns = -((-p + size_ - 1) / size_);
        if (p >= size_) turns = p / size_;
        p -= turns * size_;
        wrapPhase_ = int(Mod(wrapPhase_ + Mod(turns, alignment_) * size_, alignment_));
      } else {
        p = Clamp(p, 0, int64_t(size_) - 1);
      }
      position_ = int(p);
      break;
    }
    case eBuffer_SeekEnd: {
      // Offset 0 lands on the last byte, not past it.
      int64_t o = std::max(offset, 0);
      if (o >= int64_t(size_) - 1) o = int64_t(size_) - 2;
      position_ = int(Clamp(int64_t(size_) - 1 - o, 0, int64_t(size_) - 1));
      wrapPhase_ = 0;
      break;
    }
    default:
      break;
  }
  return position_;
}

void IBuffer::Peek(int offset, int type, ScriptValue* out) {
  SetReal(out, 0);
  const int n = Buffer_SizeOfType(type);
  if (offset < 0 || n == 0 || type == eBuffer_F16) return;
  uint8_t bytes[8] = {};
  if (Wraps()) {
    const int64_t start = offset % size_;
    for (int i = 0; i < n; ++i) bytes[i] = data_[(start + i) % size_];
  } else {
    if (int64_t(offset) + n > size_) return;
    std::memcpy(bytes, data_ + offset, size_t(n));
  }
  Decode(type, bytes, &out->real);
}

void IBuffer::Poke(int offset, int type, const ScriptValue* value) {
  Encoded e;
  if (offset < 0 || !Encode(type, value, &e)) return;
  if (Wraps()) {
    const int64_t start = offset % size_;
    for (int64_t i = 0; i < e.length; ++i) data_[(start + i) % size_] = e.data[i];
  } else if (int64_t(offset) + e.length <= size_) {
    std::memcpy(data_ + offset, e.data, size_t(e.length));
  }
}

void IBuffer::Fill(int offset, int size, int type, const ScriptValue* value) {
  Encoded e;
  if (size_ <= 0 || !Encode(type, value, &e)) return;
  int64_t start = offset, count = size < 0 ? size_ : size;
  if (Wraps()) {
    start = Mod(start, size_);
    count = std::min<int64_t>(count, size_);  // a second turn would only write the same bytes again
  } else {
    if (start < 0 || start >= size_) return;
    count = std::min<int64_t>(count, size_ - start);
  }
  const int64_t end = start + count;
  auto at = [&](int64_t i) -> uint8_t& { return data_[i % size_]; };
  int64_t cur = start;
  bool valueTurn = cur % alignment_ == 0;
  while (cur < end) {
    if (valueTurn) {
      if (cur + e.length > end) break;  // the tail is too short for a value
      for (int64_t i = 0; i < e.length; ++i) at(cur + i) = e.data[i];
      cur += e.length;
    } else {
      const int64_t next = std::min(end, (cur + alignment_ - 1) & ~int64_t(alignment_ - 1));
      for (; cur < next; ++cur) at(cur) = 0;
    }
    valueTurn = !valueTurn;
  }
}

std::vector<uint8_t> IBuffer::ExtractBlock(int offset, int size) const {
  if (size_ <= 0) return {};
  const int64_t from = Clamp(offset, 0, int64_t(size_) - 1);
  int64_t count = size < 0 ? size_ - from : std::min<int64_t>(size, size_ - from);
  return std::vector<uint8_t>(data_ + from, data_ + from + count);
}

int IBuffer::CopyFromMemory(const uint8_t* block, int length, int sourceOffset, int count, int destinationOffset) {
  return Buffer_CopyMemory(this, block, length, sourceOffset, count, destinationOffset,
                           kind_ == eBuffer_Grow || size_ == 0, kind_ == eBuffer_Wrap, false);
}

void IBuffer::Copy(int sourceOffset, int size, IBuffer* destination, int destinationOffset) {
  if (!destination) return;
  // Growing the destination would free the bytes being copied when both are
  // this buffer.
  std::vector<uint8_t> own;
  const uint8_t* source = data_;
  if (destination == this) {
    own.assign(data_, data_ + size_);
    source = own.data();
  }
  Buffer_CopyMemory(destination, source, size_, sourceOffset, size, destinationOffset,
                    destination->kind_ == eBuffer_Grow || destination->size_ == 0,
                    destination->kind_ == eBuffer_Wrap, kind_ == eBuffer_Wrap);
}

int Buffer_CopyMemory(IBuffer* destination, const uint8_t* source, int sourceLength, int sourceOffset, int count,
                      int destinationOffset, bool mayGrow, bool destinationWraps, bool sourceWraps) {
  if (!destination || !source || sourceLength < 1) return 0;
  const int64_t L = sourceLength;
  int64_t n = count < 0 ? L : count, s = sourceOffset, d = destinationOffset;
  if (sourceWraps) {
    s = Mod(s, L);
    if (s + n <= L) sourceWraps = false;
  } else {
    s = Clamp(s, 0, L - 1);
    n = std::min(n, L - s);
  }
  int64_t S = destination->Size();
  if (!mayGrow) {
    if (S < 1) return 0;
    if (destinationWraps) {
      d = Mod(d, S);
    } else {
      d = Clamp(d, 0, S - 1);
      n = std::min(n, S - d);
    }
  } else {
    d = std::max<int64_t>(d, 0);
    if (d + n > kBufferMaxSize) return 0;
    if (S < d + n && !destination->Resize(int(d + n))) return 0;
    S = destination->Size();
  }
  if (n <= 0) return 1;
  if (destinationWraps && n > S) {
    // Only the last S bytes stay in a destination that wraps.
    const int64_t skip = n - S;
    s = sourceWraps ? (s + skip) % L : s + skip;
    d = (d + skip) % S;
    n = S;
  }
  uint8_t* out = destination->Data();
  while (n > 0) {
    const int64_t run = std::min({n, S - d, L - s});
    std::memmove(out + d, source + s, size_t(run));
    n -= run;
    d = (d + run) % S;
    s = (s + run) % L;
  }
  return 1;
}

bool IBuffer::Save(const char* name, int offset, int size, std::string* why) {
  const std::vector<uint8_t> block = ExtractBlock(offset, size);
  std::string error;
  if (LoadSave_WriteFile(name ? name : "", block.data(), block.size(), &error)) return true;
  if (why) *why = error;
  return false;
}

bool IBuffer::Load(const char* name, int sourceOffset, int size, int destinationOffset, std::string* why) {
  auto fail = [&](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (!name || std::strncmp(name, "http://", 7) == 0 || std::strncmp(name, "https://", 8) == 0)
    return fail("file name refused");
  bool refused = false;
  std::optional<std::vector<uint8_t>> file = LoadSave_ReadGameFile(name, &refused);
  if (!file) return fail(refused ? "file name refused" : "file not found");
  if (file->size() > size_t(kBufferMaxSize)) return fail("file too large");
  const bool fixedEnd = kind_ != eBuffer_Grow && kind_ != eBuffer_Wrap && size_ > 0;
  if (destinationOffset < 0 || (fixedEnd && destinationOffset >= size_)) return fail("offset outside the buffer");
  if (file->empty()) return true;
  if (!CopyFromMemory(file->data(), int(file->size()), sourceOffset, size, destinationOffset))
    return fail("file too large");
  return true;
}

void IBuffer::Base64Encode(ScriptValue* out, int offset, int size) {
  const std::vector<uint8_t> block = ExtractBlock(offset, size);
  ScriptValue_SetText(out, Base64_EncodeText(block.data(), block.size()).c_str());
}

bool IBuffer::Base64Decode(const char* text, int destinationOffset, int size) {
  if (!text) return false;
  int64_t length = Base64_CheckedLength(text);
  if (length < 0 || length > kBufferMaxSize) return false;
  if (size >= 0) length = std::min<int64_t>(length, size);
  if (length == 0) return true;
  std::vector<uint8_t> bytes(size_t(length) + 1);
  Base64_Decode(text, length + 1, bytes.data(), false);
  CopyFromMemory(bytes.data(), int(length), 0, int(length), destinationOffset);
  return true;
}

template <typename Feed>
bool IBuffer::ForEachRun(int offset, int size, Feed feed) const {
  if (size_ <= 0) return false;
  int64_t n = size < 0 ? size_ : size, from;
  if (Wraps()) {
    from = Mod(offset, size_);
  } else {
    from = Clamp(offset, 0, int64_t(size_) - 1);
    n = std::min<int64_t>(n, size_ - from);
  }
  const int64_t first = std::min<int64_t>(n, size_ - from);
  feed(data_ + from, first);
  n -= first;
  if (n <= 0) return true;
  // Whole turns round a small buffer go in larger runs of repeated bytes.
  std::vector<uint8_t> turns;
  const uint8_t* block = data_;
  int64_t blockLength = size_;
  if (n > size_ && size_ < 65536) {
    const int64_t copies = std::min<int64_t>(65536 / size_, n / size_);
    for (int64_t i = 0; i < copies; ++i) turns.insert(turns.end(), data_, data_ + size_);
    block = turns.data();
    blockLength = int64_t(turns.size());
  }
  while (n > 0) {
    const int64_t run = std::min(n, blockLength);
    feed(block, run);
    n -= run;
  }
  return true;
}

void IBuffer::MD5(ScriptValue* out, int offset, int size) {
  Md5Context context;
  Md5_Init(&context);
  if (!ForEachRun(offset, size, [&](const uint8_t* p, int64_t n) { Md5_Update(&context, p, n); })) return;
  Md5_Final(&context);
  ScriptValue_SetText(out, Hash_Hex(context.digest, sizeof context.digest).c_str());
}

void IBuffer::SHA1(ScriptValue* out, int offset, int size) {
  Sha1Context context;
  Sha1_Reset(&context);
  if (!ForEachRun(offset, size, [&](const uint8_t* p, int64_t n) { Sha1_Input(&context, p, n); })) return;
  if (!Sha1_Result(&context)) return;
  ScriptValue_SetText(out, Hash_Hex(context.digest, sizeof context.digest).c_str());
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

// ---- Buffer_Fast ----------------------------------------------------------

int Buffer_Fast::Write(int type, const ScriptValue* value) {
  if (type != eBuffer_U8) return -4;
  if (Position() >= Size()) return -2;
  Poke(Position(), type, value);
  SetPosition(Position() + 1);
  return 0;
}

int Buffer_Fast::Read(int type, ScriptValue* out) {
  SetReal(out, 0);
  if (type != eBuffer_U8) return -4;
  if (Position() >= Size()) return -2;
  out->real = Data()[Position()];
  SetPosition(Position() + 1);
  return 0;
}

void Buffer_Fast::Peek(int offset, int type, ScriptValue* out) {
  SetReal(out, 0);
  if (type == eBuffer_U8 && offset >= 0 && offset < Size()) out->real = Data()[offset];
}

void Buffer_Fast::Poke(int offset, int type, const ScriptValue* value) {
  if (type == eBuffer_U8 && offset >= 0 && offset < Size()) Data()[offset] = uint8_t(Real_ToInt64(value->Real()));
}

// ---- the buffer table -------------------------------------------------------

namespace {

constexpr int kMaxBuffers = 1 << 24;  // ids fit the handle's 24 bits
constexpr uint64_t kHandleTag = 0xB5;
constexpr int kIdBits = 24, kGenerationBits = 20;
constexpr uint32_t kGenerationMask = (1u << kGenerationBits) - 1;

struct BufferTable {
  std::vector<std::unique_ptr<IBuffer>> items;
  // Bumped each time a slot takes a buffer, so a handle of a deleted buffer
  // never names the next one there.
  std::vector<uint32_t> generations;
};

BufferTable& Table() {
  static BufferTable table;
  return table;
}

}  // namespace

int Buffer_Add(IBuffer* buffer) {
  std::unique_ptr<IBuffer> owned(buffer);
  if (!buffer) return -1;
  BufferTable& t = Table();
  size_t slot = 0;
  while (slot < t.items.size() && t.items[slot]) ++slot;
  if (slot == t.items.size()) {
    if (slot >= size_t(kMaxBuffers)) return -1;
    const size_t length = slot == 0 ? 32 : slot * 2;
    t.items.resize(length);
    t.generations.resize(length, 0);
  }
  t.items[slot] = std::move(owned);
  t.generations[slot] = (t.generations[slot] + 1) & kGenerationMask;
  return int(slot);
}

int Buffer_Create(int size, int kind, int alignment) {
  if (size < 0 || size > kBufferMaxSize) return -1;
  if (kind == eBuffer_Fast) return Buffer_Add(new Buffer_Fast(size, alignment));
  return Buffer_Add(new Buffer_Standard(size, kind, alignment));
}

int Buffer_CreateFromData(uint8_t* data, int size, bool owns) {
  return Buffer_Add(new Buffer_Standard(data, size, eBuffer_Fixed, 1, owns));
}

IBuffer* Buffer_Get(int id) {
  const BufferTable& t = Table();
  if (id < 0 || size_t(id) >= t.items.size()) return nullptr;
  return t.items[size_t(id)].get();
}

void Buffer_Delete(int id) {
  BufferTable& t = Table();
  if (id >= 0 && size_t(id) < t.items.size()) t.items[size_t(id)].reset();
}

void Buffer_DeleteAll() {
  BufferTable& t = Table();
  t.items.clear();
  t.items.shrink_to_fit();
  t.generations.clear();
}

int Buffer_TableLength() { return int(Table().items.size()); }

double Buffer_AddressHandle(int id) {
  if (!Buffer_Get(id)) return -1;
  const uint64_t handle = kHandleTag << (kIdBits + kGenerationBits) |
                          uint64_t(Table().generations[size_t(id)]) << kIdBits | uint64_t(id);
  return double(handle);  // below 2^52: exact
}

uint8_t* Buffer_ResolveAddress(double handle, int* size) {
  if (size) *size = 0;
  if (!(handle >= 0 && handle < 0x1p52) || handle != std::floor(handle)) return nullptr;
  const auto h = uint64_t(handle);
  if (h >> (kIdBits + kGenerationBits) != kHandleTag) return nullptr;
  const int id = int(h & ((1u << kIdBits) - 1));
  const uint32_t generation = uint32_t(h >> kIdBits) & kGenerationMask;
  IBuffer* buffer = Buffer_Get(id);
  if (!buffer || Table().generations[size_t(id)] != generation) return nullptr;
  if (size) *size = buffer->Size();
  return buffer->Data();
}
