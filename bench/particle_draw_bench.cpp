// The vertex writing of particle drawing: six vertices for each of 100,000
// live shape particles, turned (argument 1) or not (argument 0), as the
// drawing pass writes them into the vertex batch.
#include <benchmark/benchmark.h>

#include <vector>

#include "particles/particles.h"
#include "script/random.h"

namespace {

constexpr int kParticles = 100000;

void BM_ParticleVertices(benchmark::State& state) {
  Part_Reset();
  Random_SetSeed(1);
  const int32_t t = PartType_Create();
  PartType_Size(t, 0.2f, 0.6f, 0, 0);
  PartType_Orientation(t, 0, state.range(0) == 1 ? 360.0f : 0.0f, 0, 0, false);
  const int32_t s = PartSystem_Create();
  PartParticles_Create(s, 320, 240, t, kParticles);
  const ParticleSystem* system = PartSystem_Get(s);
  std::vector<TexturedVertex> out(size_t(kParticles) * 6);
  int64_t written = 0;
  for (auto _ : state) {
    TexturedVertex* v = out.data();
    for (const Particle& p : system->particles) {
      Part_WriteShapeVertices(v, p.x, p.y, 1, 1, p.size, p.orientation, 0, p.colour, p.alpha);
      v += 6;
    }
    benchmark::DoNotOptimize(out.data());
    written += kParticles;
  }
  state.counters["ns_per_particle"] = benchmark::Counter(double(written),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  Part_Reset();
}
BENCHMARK(BM_ParticleVertices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
