// Reading and writing one variable of a list of 10, 100 and 1,000 variables.
#include <benchmark/benchmark.h>

#include "script/variables.h"

namespace {

void Fill(CVariableList& list, int n) {
  for (int i = 0; i < n; ++i) {
    ScriptValue v = ScriptValue::FromReal(i);
    list.Write(kFirstUserVariableId + i, -1, &v);
  }
}

void BM_VariableRead(benchmark::State& state) {
  CVariableList list;
  int n = int(state.range(0));
  Fill(list, n);
  int id = kFirstUserVariableId + n / 2;
  ScriptValue out;
  for (auto _ : state) {
    list.Read(id, -1, &out);
    benchmark::DoNotOptimize(out.real);
  }
}

void BM_VariableWrite(benchmark::State& state) {
  CVariableList list;
  int n = int(state.range(0));
  Fill(list, n);
  int id = kFirstUserVariableId + n / 2;
  ScriptValue v = ScriptValue::FromReal(7);
  for (auto _ : state) {
    list.Write(id, -1, &v);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_VariableRead)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_VariableWrite)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
