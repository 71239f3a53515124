// A room of instances that each run a compiled step event nudging them
// right: the game the step benchmarks measure. The including file defines
// NativeGame_Header over kNativeStepTable.
#pragma once
#include "core/game_data.h"
#include "core/game_info.h"
#include "core/instances.h"
#include "core/native_game.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "pack.h"
#include "runner/game_start.h"
#include "runner/load_game.h"
#include "runner/startup.h"

inline void NativeStep_Nudge(CObjInstance* self, CObjInstance*) { self->x += 1; }

inline const NativeCodeEntry kNativeStepTable[] = {{"tws_Object_bench_Step_0", NativeStep_Nudge}};

// Loads and starts the game with `count` instances in its room.
inline void NativeStepGame_Start(int count) {
  static const char* kGame = R"(
GEN8 version=13 debug=1 name="Bench" display="Bench" rooms=0
OBJECT "mover"
  EVENT 3 0 code=0
END
ROOM "arena" code=0
END
EMPTY CODE
STRG
)";
  NativeGame_Install(NativeGame_Header());
  Runner_InstallWorld();
  GameData_Use(GameDataFile(twpack::BuildFromDescription(kGame)));
  GameData_LoadHeader(GameData_File());
  GameData_ProcessChunks(GameData_File());
  Object_Prepare();
  Room_Prepare();
  StartGame();
  for (int i = 0; i < count; ++i) g_Run.room->CreateInstance(float(i % 640), float(i / 640), 0);
}
