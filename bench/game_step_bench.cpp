// One game step over 10,000 instances that each have a compiled step event:
// the cost of the dispatch per instance.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "native_step_game.h"
#include "runner/game_step.h"

namespace {

void BM_StepWithNativeEvents(benchmark::State& state) {
  const int count = int(state.range(0));
  // The load and start log to the console; keep that out of the measure.
  int saved = dup(1);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  NativeStepGame_Start(count);
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
  static const NativeGameHeader header{0, 0, 0, nullptr, kNativeStepTable, 1, nullptr, nullptr};
  return header;
}

BENCHMARK_MAIN();
