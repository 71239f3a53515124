// Shortest ways across a 200 x 200 motion-planning grid: corner to corner on
// an open grid (the wave covers every cell), and through a maze of walls
// with gaps, orthogonally and with diagonals. One search visits each cell
// at most once, so the time grows with the cells reached.
#include <benchmark/benchmark.h>

#include "core/paths.h"
#include "motion/grids.h"

namespace {

constexpr int kCells = 200, kCell = 16;

struct Scene {
  int grid = -1, path = -1;
  explicit Scene(bool walls) {
    Path_FreeAll();
    MotionGrid_FreeAll();
    grid = MotionGrid_Create(0, 0, kCells, kCells, kCell, kCell);
    path = Path_Add();
    if (!walls) return;
    // Every eighth column a wall with one gap, alternately at the top and
    // the bottom, so the way snakes across the whole grid.
    CGrid* g = MotionGrid_Get(grid);
    for (int h = 4; h < kCells; h += 8) {
      const bool gapAtTop = (h / 8) % 2 == 0;
      for (int v = 0; v < kCells; ++v)
        if (gapAtTop ? v > 1 : v < kCells - 2) g->AddCell(h, v);
    }
  }
  ~Scene() {
    MotionGrid_FreeAll();
    Path_FreeAll();
  }
};

void BM_GridPath(benchmark::State& state) {
  const bool walls = state.range(0) != 0, diag = state.range(1) != 0;
  Scene scene(walls);
  CGrid* g = MotionGrid_Get(scene.grid);
  CMotionPath* path = Path_Get(scene.path);
  const int far = kCells * kCell - kCell / 2;
  for (auto _ : state) {
    bool found = g->FindPath(path, kCell / 2, kCell / 2, far, far, diag);
    benchmark::DoNotOptimize(found);
  }
  state.counters["points"] = path->GetNumber();
  state.SetItemsProcessed(state.iterations() * kCells * kCells);
}
BENCHMARK(BM_GridPath)
    ->ArgNames({"walls", "diag"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
