// Feeds arbitrary bytes to the saved-game loader: a load is all or nothing,
// so a stream it refuses leaves no room and no instance behind.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "ds/buffer.h"
#include "motion/game_save.h"
#include "script/variable_names.h"
#include "script/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // Two objects and the names the seed uses, so loads reach instances and
  // variables.
  static const bool ready = [] {
    GlobalVar_Init();
    Object_Add();
    Object_Add();
    for (const char* n : {"a", "b"}) VariableName_FindOrAdd(n);
    return true;
  }();
  (void)ready;
  {
    IBuffer input(int(size), eBuffer_Fixed, 1);
    if (size) std::memcpy(input.Data(), data, size);
    const bool loaded = GameSave_ReadStream(&input);
    if (!loaded && (RoomStateTable.Count() != 0 || g_Run.room || Instance_LiveCount() != 0)) std::abort();
    if (loaded && !g_Run.room) std::abort();
  }
  g_Run.room = nullptr;
  RoomStateTable.Clear();
  if (Instance_LiveCount() != 0) std::abort();
  return 0;
}
