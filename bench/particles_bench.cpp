// The particle update of 100,000 particles per frame in one system, a stream
// keeping the count steady. Argument 0: a plain type (speed, direction, one
// colour, fading alpha); 1: the heaviest path (gravity, which turns every
// particle's velocity back into a speed and a direction, three colours over
// life, a shrinking size); 2: the plain type in a system with an attractor
// (every particle's velocity goes through the force); 3: the plain type with
// a deflector over a quarter of the region (a separate motion pass).
#include <benchmark/benchmark.h>

#include "particles/particles.h"
#include "script/random.h"

namespace {

constexpr int kParticles = 100000;

void BM_ParticleUpdate(benchmark::State& state) {
  Part_ClearAll();
  Random_SetSeed(1);
  int32_t t = PartType_Create();
  PartType_Life(t, 100, 100);
  PartType_Speed(t, 1, 3, -0.01f, 0);
  PartType_Direction(t, 0, 360, 0.5f, 0);
  PartType_Alpha2(t, 1, 0);
  if (state.range(0) == 1) {
    PartType_Gravity(t, 0.05f, 270);
    PartType_Color3(t, 0x0000FF, 0x00FFFF, 0xFF0000);
    PartType_Alpha3(t, 1, 0.5f, 0);
    PartType_Size(t, 0.5f, 1, -0.002f, 0);
  }
  int32_t s = PartSystem_Create();
  if (state.range(0) == 2) {
    int32_t a = PartModifier_Create(PartModifier::Attractor, s);
    PartAttractor_Position(s, a, 320, 240);
    PartAttractor_Force(s, a, 0.2f, 200, kPsForceLinear, true);
  } else if (state.range(0) == 3) {
    int32_t d = PartModifier_Create(PartModifier::Deflector, s);
    PartDeflector_Region(s, d, 320, 640, 240, 480);
    PartDeflector_Friction(s, d, 0.01f);
  }
  int32_t e = PartEmitter_Create(s);
  PartEmitter_Region(s, e, 0, 640, 0, 480, kPsShapeEllipse, kPsDistrGaussian);
  // Life 100: a stream of 1,000 per update holds 100,000 live particles.
  PartEmitter_Burst(s, e, t, kParticles);
  for (int i = 0; i < 100; ++i) PartSystem_Update(s);
  PartEmitter_Stream(s, e, t, kParticles / 100);
  for (int i = 0; i < 200; ++i) PartSystem_Update(s);
  int64_t updated = 0;
  for (auto _ : state) {
    updated += PartParticles_Count(s);
    PartSystem_Update(s);
  }
  state.counters["particles"] = double(PartParticles_Count(s));
  state.counters["ns_per_particle"] =
      benchmark::Counter(double(updated), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  Part_ClearAll();
}
BENCHMARK(BM_ParticleUpdate)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
