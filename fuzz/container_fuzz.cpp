// Feeds arbitrary bytes to the container walk: the header pass (GEN8, STRG,
// CODE, VARI) and the main walk (GEN8, OPTN and every counted list).
#include <cstdint>
#include <vector>

#include "core/game_data.h"
#include "runner/load_game.h"
#include "core/game_info.h"
#include "runner/startup.h"
#include "script/vm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  try {
    GameDataFile file(std::vector<uint8_t>(data, data + size));
    GameData_LoadHeader(file);
    GameData_ProcessChunks(file);
  } catch (const DataError&) {
    // Refusing damaged data is the expected outcome.
  }
  return 0;
}
