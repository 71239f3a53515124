// A world with no particle types or systems, a fixed random seed and the
// debug console captured.
#pragma once
#include <gtest/gtest.h>

#include "particles/particles.h"
#include "script/random.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

class ParticleTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Random_SetSeed(12345);
    saved_ = g_DebugConsole;
    g_DebugConsole = &log_;
  }
  void TearDown() override {
    g_DebugConsole = saved_;
    WorldTest::TearDown();
  }

  // A type that stands still and lives long, for tests of other things.
  static int32_t StillType(int32_t life = 1000) {
    int32_t t = PartType_Create();
    PartType_Life(t, life, life);
    return t;
  }
  static Particle& At(int32_t system, size_t i) { return PartSystem_Get(system)->particles.at(i); }
  static void Update(int32_t system, int times) {
    for (int i = 0; i < times; ++i) PartSystem_Update(system);
  }

  LineConsole log_;

 private:
  tagIConsole* saved_ = nullptr;
};
