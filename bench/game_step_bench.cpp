// One game step over 10,000 instances that each have a compiled step event:
// the cost of the dispatch per instance.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/game_data.h"
#include "runner/load_game.h"
#include "core/game_info.h"
#include "runner/game_start.h"
#include "runner/game_step.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/native_game.h"
#include "pack.h"
#include "runner/startup.h"

namespace {

void Nudge(CObjInstance* self, CObjInstance*) { self->x += 1; }

const NativeCodeEntry kTable[] = {{"tws_Object_bench_Step_0", Nudge}};

const char* kGame = R"(
GEN8 version=13 debug=1 name="Bench" display="Bench" rooms=0
OBJECT "mover"
  EVENT 3 0 code=0
END
ROOM "arena" code=0
END
EMPTY CODE
STRG
)";

void BM_StepWithNativeEvents(benchmark::State& state) {
  const int count = int(state.range(0));
  // The load and start log to the console; keep that out of the measure.
  int saved = dup(1);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  NativeGame_Install(NativeGame_Header());
  Runner_InstallWorld();
  GameData_Use(GameDataFile(twpack::BuildFromDescription(kGame)));
  GameData_LoadHeader(GameData_File());
  GameData_ProcessChunks(GameData_File());
  Object_Prepare();
  Room_Prepare();
  StartGame();
  for (int i = 0; i < count; ++i) g_Run.room->CreateInstance(float(i % 640), float(i / 640), 0);
  for (auto _ : state) Run_GameStep();
  EndGame();
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  state.SetItemsProcessed(int64_t(state.iterations()) * count);
}

BENCHMARK(BM_StepWithNativeEvents)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{0, 0, 0, nullptr, kTable, 1, nullptr, nullptr};
  return header;
}

BENCHMARK_MAIN();
