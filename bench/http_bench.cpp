// Frame times of a game step over 1,000 instances, alone and while 100 HTTP
// requests to a local server are under way: the workers must not slow the
// main loop. Reports p50, p95 and p99 of both, and that all 100 completed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "native_step_game.h"
#include "runner/game_step.h"
#include "services/http.h"
#include "unit/services/loopback_server.h"

namespace {

constexpr int kRequests = 100;

std::atomic<int> g_done{0};

int CountDone(HTTP_REQ_CONTEXT* r, IBuffer*, int32_t*) {
  if (r->received > 0) g_done.fetch_add(1);
  return 0;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

double ThreadCpuMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// Wall time of one step; its time on the processor goes into *cpu (on a
// loaded machine the two part when the main thread waits for a core).
double StepMicros(std::vector<double>* cpu) {
  const double c0 = ThreadCpuMicros();
  auto t0 = std::chrono::steady_clock::now();
  Run_GameStep();
  const double wall = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  cpu->push_back(ThreadCpuMicros() - c0);
  return wall;
}

void BM_StepWithRequests(benchmark::State& state) {
  int saved = dup(1);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  NativeStepGame_Start(1000);
  LoopbackServer server(20);
  const std::string& url = server.Url();
  std::vector<double> alone, busy, aloneCpu, busyCpu;
  for (auto _ : state) {
    for (int i = 0; i < 500; ++i) alone.push_back(StepMicros(&aloneCpu));
    g_done = 0;
    for (int i = 0; i < kRequests; ++i) Http_Get(url.c_str(), CountDone, nullptr, nullptr);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (g_done < kRequests && std::chrono::steady_clock::now() < limit) {
      busy.push_back(StepMicros(&busyCpu));
      // Paced frames leave the workers the time a real loop would.
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  Http_Shutdown();
  EndGame();
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  state.counters["completed"] = g_done.load();
  state.counters["alone_p50_us"] = Percentile(alone, 0.50);
  state.counters["alone_p95_us"] = Percentile(alone, 0.95);
  state.counters["alone_p99_us"] = Percentile(alone, 0.99);
  state.counters["busy_p50_us"] = Percentile(busy, 0.50);
  state.counters["busy_p95_us"] = Percentile(busy, 0.95);
  state.counters["busy_p99_us"] = Percentile(busy, 0.99);
  state.counters["alone_cpu_p99_us"] = Percentile(aloneCpu, 0.99);
  state.counters["busy_cpu_p99_us"] = Percentile(busyCpu, 0.99);
  if (g_done < kRequests) state.SkipWithError("not every request completed");
}

BENCHMARK(BM_StepWithRequests)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

const NativeGameHeader& NativeGame_Header() {
  static const NativeGameHeader header{0, 0, 0, nullptr, kNativeStepTable, 1, nullptr, nullptr};
  return header;
}

BENCHMARK_MAIN();
