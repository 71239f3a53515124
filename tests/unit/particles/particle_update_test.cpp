// Particle types and the system update: expected values are worked out here
// from the motion, colour and alpha rules in double precision.
#include <cmath>
#include <set>

#include "draw/colour.h"
#include "unit/particles/particle_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST_F(ParticleTest, FixedSpeedDirectionAndGravityGivePositionsStepByStep) {
  int32_t t = PartType_Create();
  PartType_Speed(t, 3, 3, 0, 0);
  PartType_Direction(t, 30, 30, 0, 0);
  PartType_Gravity(t, 0.5f, 270);
  PartType_Life(t, 10, 10);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 100, 100, t, 1);
  // Gravity towards 270 adds 0.5 downwards to the velocity every step, and
  // the particle then moves by the new velocity.
  double vx = 3 * std::cos(30 * kPi / 180), vy = -3 * std::sin(30 * kPi / 180);
  for (int k = 1; k <= 9; ++k) {
    PartSystem_Update(s);
    ASSERT_EQ(PartParticles_Count(s), 1);
    const Particle& p = At(s, 0);
    double x = 100 + k * vx, y = 100 + k * vy + 0.5 * k * (k + 1) / 2;
    EXPECT_NEAR(p.x, x, 1e-3) << "step " << k;
    EXPECT_NEAR(p.y, y, 1e-3) << "step " << k;
    EXPECT_EQ(p.age, k);
    double wx = vx, wy = vy + 0.5 * k;
    EXPECT_NEAR(p.speed, std::hypot(wx, wy), 1e-4);
    double turn = std::remainder(p.direction - std::atan2(-wy, wx) * 180 / kPi, 360.0);
    EXPECT_NEAR(turn, 0, 1e-3);
    EXPECT_GE(p.direction, 0.0f);
    EXPECT_LT(p.direction, 360.0f);
  }
  PartSystem_Update(s);
  EXPECT_EQ(PartParticles_Count(s), 0) << "dies when its age reaches its life";
}

TEST_F(ParticleTest, NegativeSpeedIncrementStopsWithoutReversing) {
  int32_t t = StillType();
  PartType_Speed(t, 3, 3, -1, 0);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, t, 1);
  const float expected[] = {2, 3, 3, 3};  // x after each step
  for (float x : expected) {
    PartSystem_Update(s);
    EXPECT_FLOAT_EQ(At(s, 0).x, x);
    EXPECT_GE(At(s, 0).speed, 0.0f);
  }
}

TEST_F(ParticleTest, ZeroSpeedWithAttractorSlotKeepsDirection) {
  int32_t t = StillType();
  PartType_Direction(t, 45, 45, 0, 0);
  int32_t s = PartSystem_Create();
  PartModifier_Create(PartModifier::Attractor, s);
  PartParticles_Create(s, 0, 0, t, 1);
  Update(s, 3);
  EXPECT_FLOAT_EQ(At(s, 0).direction, 45);
  EXPECT_FLOAT_EQ(At(s, 0).speed, 0);
}

struct ColourCase {
  const char* name;
  void (*set)(int32_t type);
  int age;
  uint32_t colour;
};

// Life 20; colour 1 = red 100, colour 2 = green 200, colour 3 = blue 40.
const ColourCase kColourCases[] = {
    {"one colour", [](int32_t t) { PartType_Color1(t, 0x123456); }, 7, 0x123456},
    {"two at birth", [](int32_t t) { PartType_Color2(t, 0x64, 0xC800); }, 0, 0x64},
    {"two at a quarter", [](int32_t t) { PartType_Color2(t, 0x64, 0xC800); }, 5, 0x324B},
    {"two at half", [](int32_t t) { PartType_Color2(t, 0x64, 0xC800); }, 10, 0x6432},
    {"three at a quarter", [](int32_t t) { PartType_Color3(t, 0x64, 0xC800, 0x280000); }, 5, 0x6432},
    {"three at half is colour 2", [](int32_t t) { PartType_Color3(t, 0x64, 0xC800, 0x280000); }, 10, 0xC800},
    {"three at three quarters", [](int32_t t) { PartType_Color3(t, 0x64, 0xC800, 0x280000); }, 15, 0x146400},
};

TEST_F(ParticleTest, ColourOverLifeFollowsTheMode) {
  for (const ColourCase& c : kColourCases) {
    SCOPED_TRACE(c.name);
    int32_t t = StillType(20);
    c.set(t);
    int32_t s = PartSystem_Create();
    PartParticles_Create(s, 0, 0, t, 1);
    Update(s, c.age);
    EXPECT_EQ(At(s, 0).colour, c.colour);
    PartSystem_Destroy(s);
    PartType_Destroy(t);
  }
}

TEST_F(ParticleTest, AlphaBlendsThroughTheThreeValues) {
  int32_t t = StillType(20);
  PartType_Alpha3(t, 1.0f, 0.5f, 0.0f);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, t, 1);
  EXPECT_FLOAT_EQ(At(s, 0).alpha, 1.0f);
  const float expected[] = {0.75f, 0.5f, 0.25f};  // ages 5, 10, 15
  for (float alpha : expected) {
    Update(s, 5);
    EXPECT_NEAR(At(s, 0).alpha, alpha, 1e-6);
  }
  PartType_Alpha2(t, 0.8f, 0.2f);
  Update(s, 3);  // age 18: t = 1.8 → 0.2 × 0.5 + 0.8 × 0.2
  EXPECT_NEAR(At(s, 0).alpha, 0.2 * 0.5 + 0.8 * 0.2, 1e-6);
}

TEST_F(ParticleTest, RandomColourModesDrawAtBirthAndKeepTheirColour) {
  int32_t rgb = StillType(50), hsv = StillType(50), mix = StillType(50);
  PartType_ColorRGB(rgb, 0, 255, 10, 20, 0, 0);
  PartType_ColorHSV(hsv, 0, 0, 255, 255, 0, 255);
  PartType_ColorMix(mix, 0xC8, 0xC800);
  int32_t s = PartSystem_Create();
  const int n = 500;
  PartParticles_Create(s, 0, 0, rgb, n);
  PartParticles_Create(s, 0, 0, hsv, n);
  PartParticles_Create(s, 0, 0, mix, n);
  std::vector<uint32_t> born;
  for (const Particle& p : PartSystem_Get(s)->particles) born.push_back(p.colour);
  Update(s, 10);
  std::set<uint32_t> reds, mixes;
  for (size_t i = 0; i < born.size(); ++i) {
    uint32_t c = At(s, i).colour;
    EXPECT_EQ(c, born[i]) << "a random colour is kept all life";
    uint32_t red = c & 0xFF, green = c >> 8 & 0xFF, blue = c >> 16 & 0xFF;
    if (i < n) {
      EXPECT_GE(green, 10u);
      EXPECT_LT(green, 20u);
      EXPECT_EQ(blue, 0u);
      reds.insert(red);
    } else if (i < 2 * n) {
      EXPECT_EQ(green, 0u);  // hue 0 at full saturation: shades of red
      EXPECT_EQ(blue, 0u);
    } else {
      EXPECT_NEAR(double(red + green), 200, 1);
      EXPECT_EQ(blue, 0u);
      mixes.insert(red);
    }
  }
  EXPECT_GT(reds.size(), 100u);
  EXPECT_GT(mixes.size(), 50u);
}

TEST_F(ParticleTest, CreateColorKeepsTheColourOnlyForModesWithoutAge) {
  int32_t fixed = StillType(20), twoColour = StillType(20);
  PartType_Color2(twoColour, 0x64, 0xC800);
  int32_t s = PartSystem_Create();
  PartParticles_CreateColor(s, 0, 0, fixed, 0xABCDEF, 1);
  PartParticles_CreateColor(s, 0, 0, twoColour, 0xABCDEF, 1);
  EXPECT_EQ(At(s, 1).colour, 0xABCDEFu);
  Update(s, 5);
  EXPECT_EQ(At(s, 0).colour, 0xABCDEFu);
  EXPECT_EQ(At(s, 1).colour, 0x324Bu);
}

TEST_F(ParticleTest, SizeGrowsByIncrementAndStopsAtZero) {
  int32_t t = StillType();
  PartType_Size(t, 0.4f, 0.3f, -0.15f, 0);  // maximum below minimum: the minimum
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, t, 3);
  for (const Particle& p : PartSystem_Get(s)->particles) EXPECT_FLOAT_EQ(p.size, 0.4f);
  Update(s, 1);
  EXPECT_NEAR(At(s, 0).size, 0.25f, 1e-6);
  Update(s, 2);
  EXPECT_EQ(At(s, 0).size, 0.0f);
}

TEST_F(ParticleTest, WiggleMovesThisStepOnly) {
  int32_t t = StillType();
  PartType_Speed(t, 2, 2, 0, 1);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, t, 1);
  int32_t seed = At(s, 0).seed;
  double x = 0;
  for (int age = 1; age <= 30; ++age) {
    PartSystem_Update(s);
    double w = double((age + 4 * int64_t(seed)) % 20) / 5;
    x += 2 + ((w > 2 ? 4 - w : w) - 1);
    EXPECT_NEAR(At(s, 0).x, x, 1e-3) << "age " << age;
    EXPECT_FLOAT_EQ(At(s, 0).speed, 2);
  }
}

TEST_F(ParticleTest, DeathTypeSpawnsAtTheDyingParticle) {
  int32_t child = StillType(5);
  int32_t parent = PartType_Create();
  PartType_Life(parent, 3, 3);
  PartType_Speed(parent, 1, 1, 0, 0);
  PartType_Death(parent, 2, child);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 10, 10, parent, 1);
  Update(s, 2);
  ASSERT_EQ(PartParticles_Count(s), 1);
  PartSystem_Update(s);
  ASSERT_EQ(PartParticles_Count(s), 2);
  for (const Particle& p : PartSystem_Get(s)->particles) {
    EXPECT_EQ(p.type, child);
    EXPECT_FLOAT_EQ(p.x, 12.0f);  // where the parent stood when it aged out
  }
}

TEST_F(ParticleTest, NegativeEmissionNumbersAreChances) {
  int32_t child = StillType(1000);
  int32_t parent = StillType(1);
  PartType_Death(parent, -3, child);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, parent, 3000);
  PartSystem_Update(s);
  int32_t born = PartParticles_Count(s);
  EXPECT_GT(born, 850);  // about 1000
  EXPECT_LT(born, 1150);

  int32_t every = StillType(1000);
  PartType_Step(every, -1, child);
  int32_t s2 = PartSystem_Create();
  PartParticles_Create(s2, 0, 0, every, 1);
  Update(s2, 5);
  EXPECT_EQ(PartParticles_Count(s2), 6) << "one in one: every step";
}

// Particles born in the ageing stage wait for the next update: they are not
// aged, moved or emitted from in the update that made them.
TEST_F(ParticleTest, ParticlesBornDuringAnUpdateWaitForTheNext) {
  int32_t child = StillType(100);
  PartType_Speed(child, 5, 5, 0, 0);
  int32_t parent = StillType(100);
  PartType_Step(parent, 1, child);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, parent, 1);
  PartSystem_Update(s);
  ASSERT_EQ(PartParticles_Count(s), 2);
  EXPECT_EQ(At(s, 1).age, 0);
  EXPECT_EQ(At(s, 1).x, 0.0f);
  PartSystem_Update(s);
  EXPECT_EQ(At(s, 1).age, 1);
  EXPECT_FLOAT_EQ(At(s, 1).x, 5.0f);
}

TEST_F(ParticleTest, SelfEmittingTypesEndTheirUpdate) {
  int32_t doubling = StillType(100);
  PartType_Step(doubling, 1, doubling);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, doubling, 1);
  for (int k = 1; k <= 10; ++k) {
    PartSystem_Update(s);
    ASSERT_EQ(PartParticles_Count(s), 1 << k);
  }
  // A type that is its own death type replaces itself each step.
  int32_t phoenix = StillType(1);
  PartType_Death(phoenix, 1, phoenix);
  int32_t s2 = PartSystem_Create();
  PartParticles_Create(s2, 0, 0, phoenix, 1);
  Update(s2, 5);
  EXPECT_EQ(PartParticles_Count(s2), 1);
}

TEST_F(ParticleTest, LifeOneDiesInItsFirstUpdate) {
  int32_t t = StillType(1);
  int32_t s = PartSystem_Create();
  PartParticles_Create(s, 0, 0, t, 4);
  PartSystem_Update(s);
  EXPECT_EQ(PartParticles_Count(s), 0);
}

TEST_F(ParticleTest, UpdateAllSkipsSystemsWithAutomaticUpdateOff) {
  int32_t t = StillType();
  int32_t on = PartSystem_Create(), off = PartSystem_Create();
  PartSystem_AutomaticUpdate(off, false);
  PartParticles_Create(on, 0, 0, t, 1);
  PartParticles_Create(off, 0, 0, t, 1);
  PartSystem_UpdateAll();
  EXPECT_EQ(At(on, 0).age, 1);
  EXPECT_EQ(At(off, 0).age, 0);
  PartSystem_Update(off);
  EXPECT_EQ(At(off, 0).age, 1);
}

TEST_F(ParticleTest, TypeSlotsAreReusedAndClearingKeepsBlendAndColourRanges) {
  int32_t a = PartType_Create(), b = PartType_Create();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  PartType_Blend(a, true);
  PartType_ColorRGB(a, 1, 2, 3, 4, 5, 6);
  PartType_Speed(a, 4, 5, 0, 0);
  PartType_Destroy(a);
  EXPECT_FALSE(PartType_Exists(a));
  EXPECT_EQ(PartType_Create(), 0);
  const ParticleType& t = *PartType_Get(0);
  EXPECT_TRUE(t.additive);
  EXPECT_EQ(t.colour6, 6u);
  EXPECT_EQ(t.colourMode, kPartColourOne);
  EXPECT_EQ(t.colour1, 0xFFFFFFu);
  EXPECT_EQ(t.speedMax, 0.0f);
  EXPECT_EQ(t.gravityDirection, 270.0f);
  EXPECT_EQ(t.lifeMin, 100);
  EXPECT_EQ(PartType_Create(), 2);
}

TEST_F(ParticleTest, TypeSettersIgnoreMissingTypes) {
  int32_t t = PartType_Create();
  PartType_Destroy(t);
  for (int32_t id : {-1, t, 7, INT32_MIN}) {
    PartType_Speed(id, 9, 9, 9, 9);
    PartType_Shape(id, 4);
    PartType_Color3(id, 1, 2, 3);
    PartType_Clear(id);
    PartType_Destroy(id);
    EXPECT_FALSE(PartType_Exists(id));
  }
  EXPECT_EQ(PartType_SlotCount(), 1);
  EXPECT_EQ(PartType_Record(t).speedMax, 0.0f);
  int32_t u = PartType_Create();
  PartType_Sprite(u, 3, false, true, true);
  PartType_Shape(u, kPtShapeStar);
  EXPECT_EQ(PartType_Get(u)->sprite, -1);
  EXPECT_EQ(PartType_Get(u)->shape, kPtShapeStar);
}

TEST_F(ParticleTest, RandomInRangeStaysInRangeByDistribution) {
  EXPECT_EQ(Part_RandomInRange(5, 5, kPsDistrGaussian), 5.0f);
  EXPECT_EQ(Part_RandomInRange(5, 2, kPsDistrLinear), 5.0f);
  for (int32_t d : {int32_t(kPsDistrLinear), int32_t(kPsDistrGaussian), int32_t(kPsDistrInvGaussian), 7}) {
    int centre = 0;
    for (int i = 0; i < 4000; ++i) {
      float v = Part_RandomInRange(10, 20, d);
      ASSERT_GE(v, 10.0f);
      ASSERT_LE(v, 20.0f);
      if (std::fabs(v - 15) < 2.5f) ++centre;
    }
    double share = centre / 4000.0;
    // Central half: uniform 0.5, gaussian about 0.87, inverse gaussian about 0.13.
    if (d == kPsDistrGaussian) {
      EXPECT_NEAR(share, 0.87, 0.04);
    } else if (d == kPsDistrInvGaussian) {
      EXPECT_NEAR(share, 0.13, 0.04);
    } else {
      EXPECT_NEAR(share, 0.5, 0.04);
    }
  }
}

TEST_F(ParticleTest, FixedSeedRepeatsTheParticles) {
  auto run = [] {
    Random_SetSeed(99);
    int32_t t = PartType_Create();
    PartType_Speed(t, 1, 5, 0, 0);
    PartType_Direction(t, 0, 360, 0, 0);
    int32_t s = PartSystem_Create();
    PartParticles_Create(s, 0, 0, t, 50);
    PartSystem_Update(s);
    std::vector<float> xs;
    for (const Particle& p : PartSystem_Get(s)->particles) xs.push_back(p.x);
    Part_ClearAll();
    return xs;
  };
  std::vector<float> first = run();
  EXPECT_EQ(first, run());
}

}  // namespace

namespace {

// Many particles of interleaved types, some dying part-way through a run
// of one type, move exactly as each would alone in its own system.
TEST_F(ParticleTest, CrowdedSystemMovesEachParticleAsItWouldAlone) {
  int32_t heavy = PartType_Create(), light = PartType_Create();
  PartType_Life(heavy, 3, 12);
  PartType_Speed(heavy, 0, 4, -0.05f, 0);
  PartType_Direction(heavy, 0, 360, 2, 0);
  PartType_Gravity(heavy, 0.3f, 250);
  PartType_Color3(heavy, 0x0000FF, 0x00FF00, 0xFF0000);
  PartType_Life(light, 200, 200);
  PartType_Speed(light, 1, 2, 0, 0.5f);
  PartType_Direction(light, 0, 360, 0, 3);
  PartType_Gravity(light, 0.1f, 0);
  int32_t crowd = PartSystem_Create();
  for (int i = 0; i < 300; ++i) PartParticles_Create(crowd, float(i), float(i % 7), i % 5 == 4 ? light : heavy, 1);
  std::vector<Particle> born = PartSystem_Get(crowd)->particles;
  Update(crowd, 8);
  std::vector<Particle> expected;
  for (const Particle& b : born) {
    int32_t alone = PartSystem_Create();
    PartSystem_Get(alone)->particles.push_back(b);
    Update(alone, 8);
    for (const Particle& p : PartSystem_Get(alone)->particles) expected.push_back(p);
    PartSystem_Destroy(alone);
  }
  const std::vector<Particle>& got = PartSystem_Get(crowd)->particles;
  ASSERT_EQ(got.size(), expected.size());
  ASSERT_LT(got.size(), born.size()) << "some heavy particles die on the way";
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].seed, expected[i].seed);
    EXPECT_EQ(got[i].x, expected[i].x);
    EXPECT_EQ(got[i].y, expected[i].y);
    EXPECT_EQ(got[i].speed, expected[i].speed);
    EXPECT_EQ(got[i].direction, expected[i].direction);
    EXPECT_EQ(got[i].colour, expected[i].colour);
    EXPECT_EQ(got[i].alpha, expected[i].alpha);
  }
}

}  // namespace
