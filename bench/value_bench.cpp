// Costs of the value operations every script statement leans on: copying a
// real must not allocate, copying a string reuses the destination's block,
// and an ascending array write loop must stay linear in its length.
#include <benchmark/benchmark.h>

#include "script/value.h"

namespace {

void BM_CopyReal(benchmark::State& state) {
  ScriptValue source = ScriptValue::FromReal(3.5), destination;
  for (auto _ : state) {
    ScriptValue_Copy(&destination, &source);
    benchmark::DoNotOptimize(destination);
  }
}
BENCHMARK(BM_CopyReal);

void BM_CopyString(benchmark::State& state) {
  ScriptValue source, destination;
  ScriptValue_SetText(&source, "a short script string");
  for (auto _ : state) {
    ScriptValue_Copy(&destination, &source);
    benchmark::DoNotOptimize(destination.text);
  }
  ScriptValue_Free(&source);
  ScriptValue_Free(&destination);
}
BENCHMARK(BM_CopyString);

// for (i = 0; i < n; i++) a[i] = i; on a fresh array each time. Reported as
// time per element, which stays flat when the loop is linear.
void BM_ArrayWriteAscending(benchmark::State& state) {
  const auto n = int32_t(state.range(0));
  for (auto _ : state) {
    ScriptValue a;
    for (int32_t i = 0; i < n; ++i) {
      ScriptValue v = ScriptValue::FromReal(i);
      ScriptValue_SetElement(&a, &v, i);
    }
    benchmark::DoNotOptimize(a.array);
    ScriptValue_Free(&a);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ArrayWriteAscending)->Arg(7500)->Arg(15000)->Arg(30000);

}  // namespace

BENCHMARK_MAIN();
