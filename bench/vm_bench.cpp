// The bytecode machine on assembled loops: ns per loop round, and the heap
// allocations per round (none for loops over real variables).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/code_chunks.h"
#include "core/game_data.h"
#include "pack.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/scripts.h"
#include "script/value.h"
#include "script/variables.h"
#include "script/vm.h"
#include "runner/startup.h"

// Every heap allocation, the engine's blocks and operator new alike, goes
// through malloc; counting here shows what a loop allocates.
namespace {
std::atomic<uint64_t> g_mallocs{0};
}  // namespace
extern "C" void* __libc_malloc(size_t);
extern "C" void* malloc(size_t n) {
  ++g_mallocs;
  return __libc_malloc(n);
}

namespace {

constexpr int kRounds = 100000;

// A loop of kRounds rounds over the local i, with `body` inside.
// `more` adds code records and SCRIPT lines after the loop's record.
std::string Loop(const std::string& setup, const std::string& body, const std::string& more = "") {
  return "CODE \"loop\"\n" + setup +
         "push.d 0\npop.v.d local.i\n"
         "top:\n"
         "push.v local.i\npush.d " + std::to_string(kRounds) + "\nslt.d.v\nbf done\n" + body +
         "push.v local.i\npush.d 1\nadd.d.v\npop.v.v local.i\n"
         "b top\n"
         "done:\n"
         "END\n" + more + "VARI\nFUNC\nSTRG\n";
}

class Program {
 public:
  explicit Program(const std::string& description)
      : file_(std::make_unique<GameDataFile>(twpack::BuildFromDescription(description))) {
    Runner_InstallWorld();
    for (int pass = 0; pass < 2; ++pass) {
      for (const ChunkRef& c : file_->Chunks()) {
        if (c.length == 0) continue;
        ChunkBody body(*file_, c);
        if (pass == 0 && !std::memcmp(c.tag, "CODE", 4)) Code_Load(body);
        if (pass == 0 && !std::memcmp(c.tag, "STRG", 4)) Strings_Load(body);
        if (pass == 0 && !std::memcmp(c.tag, "VARI", 4)) VARI_Load(body);
        if (pass == 1 && !std::memcmp(c.tag, "CODE", 4)) Code_PatchAllStrings(body);
        if (pass == 1 && !std::memcmp(c.tag, "SCPT", 4)) Script_Load(body);
        if (pass == 1 && !std::memcmp(c.tag, "FUNC", 4)) FUNC_Load(body);
      }
    }
    Script_Prepare();
  }
  ~Program() {
    Script_DeleteAll();
    Code_Clear();
  }
  void Run() { VM_Execute("loop", nullptr, nullptr, Code_GetRecord(0)->code.get(), nullptr, nullptr, nullptr); }

 private:
  std::unique_ptr<GameDataFile> file_;
};

void RunLoop(benchmark::State& state, const std::string& description, bool mustNotAllocate) {
  GlobalVar_Init();
  Program program(description);
  program.Run();  // the first run makes the locals' nodes and the stack area
  const uint64_t mallocsBefore = g_mallocs;
  const uint32_t blocksBefore = MemoryManager::LiveBlocks();
  for (auto _ : state) program.Run();
  const double rounds = double(state.iterations()) * kRounds;
  const double allocations = double(g_mallocs - mallocsBefore);
  state.counters["ns_per_round"] =
      benchmark::Counter(kRounds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_round"] = allocations / rounds;
  if (mustNotAllocate && (allocations > 0 || MemoryManager::LiveBlocks() != blocksBefore)) {
    state.SkipWithError("a loop over real variables allocated");
  }
}

void BM_EmptyCountingLoop(benchmark::State& state) { RunLoop(state, Loop("", ""), true); }
BENCHMARK(BM_EmptyCountingLoop)->Unit(benchmark::kMillisecond);

void BM_RealArithmetic(benchmark::State& state) {
  RunLoop(state,
          Loop("push.d 1\npop.v.d local.x\n",
               "push.v local.x\npush.d 1.000001\nmul.d.v\npush.d 0.5\nadd.d.v\npush.v local.i\nsub.v.v\n"
               "push.d 3\nconv.d.v\ndiv.v.v\npop.v.v local.x\n"),
          true);
}
BENCHMARK(BM_RealArithmetic)->Unit(benchmark::kMillisecond);

void BM_StringConcatenation(benchmark::State& state) {
  RunLoop(state,
          Loop("push.s \"\"\npop.v.s local.s\n",
               "push.s \"abc\"\nconv.s.v\npush.s \"def\"\nconv.s.v\nadd.v.v\npop.v.v local.s\n"),
          false);
}
BENCHMARK(BM_StringConcatenation)->Unit(benchmark::kMillisecond);

// Two real arguments in, one real out: the call record, the argument slots
// and the locals list of each call.
void BM_ScriptCall(benchmark::State& state) {
  RunLoop(state,
          Loop("", "push.d 2\nconv.d.v\npush.d 1\nconv.d.v\ncall.i twice 2\npopz.v\n",
               "CODE \"twice\"\npush.d 2\nconv.d.v\nret.v\nEND\nSCRIPT \"twice\" code=\"twice\"\n"),
          true);
}
BENCHMARK(BM_ScriptCall)->Unit(benchmark::kMillisecond);

// A script calling a second one, with a with over self in between.
void BM_NestedScriptCallWithWith(benchmark::State& state) {
  RunLoop(state,
          Loop("", "push.d 1\nconv.d.v\ncall.i outer 1\npopz.v\n",
               "CODE \"inner\"\npush.d 2\nconv.d.v\nret.v\nEND\n"
               "CODE \"outer\"\npush.e -1\npushenv e\nb:\ncall.i inner 0\npopz.v\ne:\npopenv b\n"
               "push.d 1\nconv.d.v\nret.v\nEND\n"
               "SCRIPT \"inner\" code=\"inner\"\nSCRIPT \"outer\" code=\"outer\"\n"),
          true);
}
BENCHMARK(BM_NestedScriptCallWithWith)->Unit(benchmark::kMillisecond);

void BenchSum(ScriptValue* result, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  double sum = 0;
  for (int i = 0; i < argc; ++i) sum += args[i].Real();
  result->real = sum;
}

// A built-in with two real arguments.
void BM_BuiltinCall(benchmark::State& state) {
  if (FunctionRegistry_Find("bm_sum") < 0) FunctionRegistry_Add("bm_sum", BenchSum, 2);
  RunLoop(state, Loop("", "push.d 2\nconv.d.v\npush.d 1\nconv.d.v\ncall.i bm_sum 2\npopz.v\n"), true);
}
BENCHMARK(BM_BuiltinCall)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
