// Collision queries over many instances: 1,000 movers each asking whether
// its next place is free among 1,000 solid walls (every step), and
// move_contact_solid through open space. Queries walk the room's list, so
// the cost per test grows with the room, not faster.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"

namespace {

bool Boxes(int32_t sprite, SpriteShape* out) {
  if (sprite != 0) return false;
  *out = SpriteShape{1, 0, 0, 15, 15, 0, 0, false, 16, 16};
  return true;
}

struct Scene {
  CGameRoom room;
  std::vector<CObjInstance*> movers;
  explicit Scene(int walls, int movers_) {
    Object_Clear();
    const int32_t object = Object_Add();
    Object_Find(object)->sprite_index = 0;
    Instance_SetSpriteLookup(Boxes);
    Room_SetLastInstanceId(100000);
    g_Run.room = &room;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> where(0, 4000);
    for (int i = 0; i < walls; ++i) room.CreateInstance(where(random), where(random), object)->solid = true;
    for (int i = 0; i < movers_; ++i) movers.push_back(room.CreateInstance(where(random), where(random), object));
  }
  ~Scene() {
    room.DeleteAllInstances();
    g_Run.room = nullptr;
    Instance_SetSpriteLookup(nullptr);
    Object_Clear();
  }
};

void BM_PlaceFreeAmongSolids(benchmark::State& state) {
  Scene scene(1000, 1000);
  int64_t tests = 0;
  for (auto _ : state) {
    for (CObjInstance* m : scene.movers) benchmark::DoNotOptimize(Instance_PlaceFree(m, m->x + 2, m->y));
    tests += int64_t(scene.movers.size());
  }
  state.counters["ns_per_test"] =
      benchmark::Counter(static_cast<double>(tests), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlaceFreeAmongSolids)->Unit(benchmark::kMillisecond);

void BM_MoveContactInOpenSpace(benchmark::State& state) {
  Scene scene(0, 1);
  CObjInstance* m = scene.movers[0];
  for (auto _ : state) {
    m->SetPosition(0, 0);
    Instance_MoveContact(m, 0, 100, false);
  }
  state.counters["ns_per_unit_step"] = benchmark::Counter(static_cast<double>(state.iterations()) * 100,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MoveContactInOpenSpace);

}  // namespace

BENCHMARK_MAIN();
