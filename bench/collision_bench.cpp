// Collision queries over many instances: 1,000 movers each asking whether
// its next place is free among 1,000 solid walls (every step, standing or
// moving), move_contact_solid through open space, and instance_nearest
// through its built-in over 10,000 instances. Queries walk the room's list,
// so the cost per test grows with the room, not faster.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "motion/motion.h"
#include "script/function_registry.h"
#include "script/value.h"

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
  state.counters["ns_per_test"] = benchmark::Counter(static_cast<double>(tests),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlaceFreeAmongSolids)->Unit(benchmark::kMillisecond);

// Each step every mover takes its next step when the place there is free,
// and turns back when it is not: boxes change every test.
void BM_PlaceFreeWhileMoving(benchmark::State& state) {
  Scene scene(1000, 1000);
  std::vector<float> hspeed(scene.movers.size(), 3);
  int64_t tests = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < scene.movers.size(); ++i) {
      CObjInstance* m = scene.movers[i];
      if (Instance_PlaceFree(m, m->x + hspeed[i], m->y)) {
        m->SetPosition(m->x + hspeed[i], m->y);
      } else {
        hspeed[i] = -hspeed[i];
      }
    }
    tests += int64_t(scene.movers.size());
  }
  state.counters["ns_per_test"] = benchmark::Counter(static_cast<double>(tests),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlaceFreeWhileMoving)->Unit(benchmark::kMillisecond);

void BM_InstanceNearestBuiltin(benchmark::State& state) {
  Scene scene(0, 10000);
  FunctionRegistry_Free();
  InitGameFunctions();
  const int index = FunctionRegistry_Find("instance_nearest");
  ScriptValue args[3];
  args[2].real = -3;
  ScriptValue result;
  float x = 0;
  for (auto _ : state) {
    x = x >= 4000 ? 0 : x + 37;
    args[0].real = x;
    args[1].real = 4000 - x;
    FunctionRegistry_Call(index, nullptr, nullptr, &result, 3, args);
    benchmark::DoNotOptimize(result.real);
  }
  FunctionRegistry_Free();
  state.counters["instances"] = 10000;
}
BENCHMARK(BM_InstanceNearestBuiltin)->Unit(benchmark::kMicrosecond);

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
