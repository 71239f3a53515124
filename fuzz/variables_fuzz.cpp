// Feeds arbitrary bytes to the variable-list loader (the saved-game path): a
// load is all or nothing, and every block is given back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ds/buffer.h"
#include "script/memory_manager.h"
#include "script/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // Names the seed uses, so loads reach the values.
  static const bool named = [] {
    for (const char* n : {"a", "b", "c"}) VariableName_FindOrAdd(n);
    return true;
  }();
  (void)named;
  uint32_t blocks = MemoryManager::LiveBlocks();
  {
    IBuffer input(int(size), eBuffer_Fixed, 1);
    if (size) std::memcpy(input.Data(), data, size);
    CVariableList list;
    if (!list.Load(&input) && list.Count() != 0) std::abort();
  }
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
