// The chunk walk must stay linear in the container size: MB/s of the walk
// over containers of many chunks, at three sizes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fcntl.h>

#include "core/game_data.h"
#include "runner/load_game.h"
#include "core/game_info.h"
#include "pack.h"
#include "runner/startup.h"

namespace {

std::vector<uint8_t> MakeContainer(size_t megabytes) {
  twpack::Writer w;
  twpack::Gen8 g;
  twpack::AddGen8(w, g);
  twpack::AddOptn(w, twpack::Optn());
  // Chunks of 64 KB whose bodies are counted lists of empty slots, so the
  // walk checks every entry.
  const uint32_t slots = 16383;
  size_t chunks = megabytes * 16;
  for (size_t i = 0; i < chunks; ++i) {
    auto& c = w.AddChunk("DAFL");
    c.U32(slots);
    c.Zeros(slots * 4);
  }
  return w.Build();
}

void BM_ChunkWalk(benchmark::State& state) {
  Runner_InstallWorld();
  GameDataFile file(MakeContainer(size_t(state.range(0))));
  // The walk logs a line per chunk; keep the terminal out of the measure.
  int saved = dup(1);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  for (auto _ : state) {
    GameData_LoadHeader(file);
    benchmark::DoNotOptimize(GameData_ProcessChunks(file));
  }
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  state.SetBytesProcessed(int64_t(state.iterations()) * file.Size());
  state.counters["chunks"] = double(file.Chunks().size());
}

BENCHMARK(BM_ChunkWalk)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
