// Runs arbitrary sequences of buffer operations, with arbitrary offsets,
// sizes, types and kinds, on two small buffers, and decodes the input as
// base64 text. Nothing may read or write outside a buffer, a position never
// leaves its buffer, and every block is given back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ds/buffer.h"
#include "ds/hash.h"
#include "script/memory_manager.h"
#include "script/value.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  int32_t Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    // Mostly small numbers, now and then anything at all.
    return (v & 0x80000000u) ? int32_t(v) : int32_t(v % 64) - 8;
  }
  bool Done() const { return at >= size; }
};

void Check(const IBuffer& b) {
  if (b.Size() < 0 || b.Size() > kBufferMaxSize || !b.Data()) std::abort();
  if (b.Position() < 0 || b.Position() > b.Size() + b.Alignment()) std::abort();
}

void CheckBase64(const std::string& text) {
  const int64_t length = Base64_CheckedLength(text.c_str());
  if (length < 0) return;
  std::vector<uint8_t> bytes(size_t(length) + 1);
  if (Base64_Decode(text.c_str(), length + 1, bytes.data(), false) != length) std::abort();
  // A well-formed text decodes to bytes whose own text decodes back to them.
  const std::string again = Base64_EncodeText(bytes.data(), size_t(length));
  std::vector<uint8_t> back(size_t(length) + 1);
  if (Base64_CheckedLength(again.c_str()) != length) std::abort();
  Base64_Decode(again.c_str(), length + 1, back.data(), false);
  if (std::memcmp(back.data(), bytes.data(), size_t(length)) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const uint32_t blocks = MemoryManager::LiveBlocks();
  CheckBase64(std::string(reinterpret_cast<const char*>(data), size).c_str());
  {
    Input in{data, size};
    const int kindA = in.Byte() % 5, kindB = in.Byte() % 5;
    IBuffer* a = kindA == eBuffer_Fast ? new Buffer_Fast(in.Byte(), in.Byte())
                                       : static_cast<IBuffer*>(new Buffer_Standard(in.Byte(), kindA, in.Byte()));
    IBuffer* b = new Buffer_Standard(in.Byte() % 16, kindB, in.Byte() % 9);
    ScriptValue value, out;
    while (!in.Done()) {
      IBuffer* target = (in.Byte() & 1) ? a : b;
      const int op = in.Byte() % 13;
      const int x = in.Int(), y = in.Int(), type = in.Byte() % 13;
      if (type == eBuffer_String) {
        char text[4] = {char('a' + in.Byte() % 26), char(in.Byte() % 2 ? 'b' : 0), 'c', 0};
        ScriptValue_SetText(&value, text);
      } else {
        ScriptValue_Free(&value);
        value = ScriptValue::FromReal(double(in.Int()) / 3);
      }
      switch (op) {
        case 0: target->Write(type, &value); break;
        case 1: target->Read(type, &out); break;
        case 2: target->Seek(x % 4, y); break;
        case 3: target->Peek(x, type, &out); break;
        case 4: target->Poke(x, type, &value); break;
        case 5: target->Fill(x, y, type, &value); break;
        case 6: target->Resize(x & 4095); break;
        case 7: target->Copy(x, y, target == a ? b : a, in.Int()); break;
        case 8: target->Copy(x, y, target, in.Int()); break;
        case 9: target->MD5(&out, x, y & 0xFFFF); break;
        case 10: target->SHA1(&out, x, y & 0xFFFF); break;
        case 11: target->Base64Encode(&out, x, y); break;
        case 12: target->Base64Decode(value.Text(), x, y); break;
      }
      Check(*a);
      Check(*b);
    }
    ScriptValue_Free(&value);
    ScriptValue_Free(&out);
    delete a;
    delete b;
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
