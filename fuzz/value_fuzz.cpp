// Feeds arbitrary bytes to the value loader. A load either fails cleanly,
// leaving real 0, or gives a value that saves to bytes which load and save
// again unchanged; either way every block is given back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ds/buffer.h"
#include "script/memory_manager.h"
#include "script/value.h"

namespace {

bool SameBytes(const IBuffer& a, const IBuffer& b) {
  return a.Position() == b.Position() && std::memcmp(a.Data(), b.Data(), size_t(a.Position())) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  uint32_t blocks = MemoryManager::LiveBlocks();
  {
    IBuffer input(int(size), eBuffer_Fixed, 1);
    if (size) std::memcpy(input.Data(), data, size);
    ScriptValue value;
    if (!ScriptValue_Load(&value, &input)) {
      if (value.kind != kKindReal || value.real != 0.0) std::abort();
    } else {
      IBuffer first(64, eBuffer_Grow, 1), second(64, eBuffer_Grow, 1);
      // What loads is never deeper than a save may write.
      if (!ScriptValue_Save(&value, &first)) std::abort();
      IBuffer reader(first.Position(), eBuffer_Fixed, 1);
      std::memcpy(reader.Data(), first.Data(), size_t(first.Position()));
      ScriptValue again;
      if (!ScriptValue_Load(&again, &reader) || reader.Position() != reader.Size()) std::abort();
      ScriptValue_Save(&again, &second);
      if (!SameBytes(first, second)) std::abort();
      ScriptValue_Free(&again);
    }
    ScriptValue_Free(&value);
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
