// Feeds arbitrary containers to the code loading of both passes: CODE, STRG
// and VARI in the header pass, the string operands and FUNC in the main walk.
// Whatever is refused, the code table that remains must decode cleanly.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/code_chunks.h"
#include "core/game_data.h"
#include "runner/load_game.h"
#include "core/game_info.h"
#include "script/bytecode.h"
#include "script/function_registry.h"
#include "runner/startup.h"
#include "script/vm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  // The header pass registers every built-in again; start each input afresh,
  // with the function the seeds call.
  FunctionRegistry_Free();
  FunctionRegistry_Add("abs", nullptr, 1);
  Code_Clear();
  try {
    GameDataFile file(std::vector<uint8_t>(data, data + size));
    try {
      GameData_LoadHeader(file);
      GameData_ProcessChunks(file);
    } catch (const DataError&) {
      // Refusing damaged data is the expected outcome.
    }
    for (size_t n = 0; n < Code_Count(); ++n) {
      const CodeRecord* r = Code_GetRecord(int(n));
      if (!r) continue;
      uint32_t pos = 0;
      const auto end = uint32_t(r->code->Size());
      while (pos + 4 <= end) pos += VM_InstructionLength(r->code->WordAt(pos));
      if (pos != end) std::abort();  // an instruction the machine would read past its code
    }
    Code_Clear();
  } catch (const DataError&) {
  }
  return 0;
}
