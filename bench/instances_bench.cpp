// Instance lists: creating many instances at one depth, and instances that
// change depth every step (depth = -y, as top-down games do) flushed through
// the pending depth changes.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "core/instances.h"
#include "core/objects.h"

namespace {

void BM_CreateInstancesAtOneDepth(benchmark::State& state) {
  Object_Clear();
  const int32_t object = Object_Add();
  const int n = int(state.range(0));
  for (auto _ : state) {
    InstanceList list;
    for (int i = 0; i < n; ++i) {
      auto* instance = new CObjInstance(float(i), 0, 100001 + i, object, true);
      list.Insert(instance);
      g_InstanceIdMap.Add(instance);
    }
    benchmark::DoNotOptimize(list.Last());
    state.PauseTiming();
    list.DeleteAll();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
  Object_Clear();
}

struct Walkers {
  InstanceList list;
  std::vector<CObjInstance*> all;
  std::vector<float> vspeed;

  explicit Walkers(int n) {
    std::mt19937 random(1);
    for (int i = 0; i < n; ++i) {
      auto* instance = new CObjInstance(float(random() % 640), float(random() % 480), 100001 + i, -1, false);
      instance->depth = -instance->y;
      list.Insert(instance);
      all.push_back(instance);
      vspeed.push_back(float(int(random() % 7) - 3));
    }
  }
  ~Walkers() { list.DeleteAll(); }

  void Move() {
    for (size_t i = 0; i < all.size(); ++i) {
      CObjInstance* instance = all[i];
      if (instance->y + vspeed[i] < 0 || instance->y + vspeed[i] > 480) vspeed[i] = -vspeed[i];
      instance->y += vspeed[i];
      instance->SetDepth(-instance->y);
    }
  }
};

void BM_DepthChangesEveryStep(benchmark::State& state) {
  Walkers w(int(state.range(0)));
  for (auto _ : state) {
    w.Move();
    Instance_ApplyDepthChanges(w.list);
    benchmark::DoNotOptimize(w.list.First());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same steps with each pending instance taken out and inserted on its own.
void BM_DepthChangesOneByOne(benchmark::State& state) {
  Walkers w(int(state.range(0)));
  for (auto _ : state) {
    w.Move();
    std::vector<CObjInstance*> moved = PendingDepthChanges.Take();
    for (CObjInstance* i : moved) w.list.Remove(i);
    for (CObjInstance* i : moved) w.list.Insert(i);
    benchmark::DoNotOptimize(w.list.First());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_CreateInstancesAtOneDepth)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DepthChangesEveryStep)->Arg(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DepthChangesOneByOne)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
