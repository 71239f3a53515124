// Emitters and the four modifiers, and the checks on system and component
// ids.
#include <cmath>

#include "unit/particles/particle_fixture.h"

namespace {

struct RegionCase {
  const char* name;
  int32_t shape;
  int32_t distribution;
  float xmax, ymax;  // the region is (0, xmax, 0, ymax)
  // The share of particles inside the central half (half the width and
  // height about the centre, or of the radius for the round shapes).
  double centralShare;
};

// Uniform: a rectangle's central half holds 1/2 of the width; an ellipse's or
// a diamond's inner half (by radius) holds 1/4 of the area. Gaussian along
// each axis (|g| < 1.5 of a normal cut at 3): 0.869 per axis.
const RegionCase kRegions[] = {
    {"rectangle, linear", kPsShapeRectangle, kPsDistrLinear, 100, 50, 0.5},
    {"rectangle, gaussian", kPsShapeRectangle, kPsDistrGaussian, 100, 50, 0.869},
    {"rectangle, inverse gaussian", kPsShapeRectangle, kPsDistrInvGaussian, 100, 50, 0.5 * 0.5 + 0.5 * 0.131},
    {"ellipse, linear", kPsShapeEllipse, kPsDistrLinear, 100, 100, 0.25},
    {"diamond, linear", kPsShapeDiamond, kPsDistrLinear, 100, 100, 0.25},
    {"line, linear", kPsShapeLine, kPsDistrLinear, 100, 50, 0.5},
    {"line, gaussian", kPsShapeLine, kPsDistrGaussian, 100, 50, 0.869},
};

bool InRegion(int32_t shape, float x, float y, float w, float h) {
  double nx = (x - w / 2) / (w / 2), ny = (y - h / 2) / (h / 2);
  const double eps = 1e-4;
  switch (shape) {
    case kPsShapeEllipse: return nx * nx + ny * ny <= 1 + eps;
    case kPsShapeDiamond: return std::fabs(nx) + std::fabs(ny) <= 1 + eps;
    case kPsShapeLine: return std::fabs(nx - ny) <= eps && std::fabs(nx) <= 1 + eps;
    default: return std::fabs(nx) <= 1 + eps && std::fabs(ny) <= 1 + eps;
  }
}

bool Central(int32_t shape, float x, float y, float w, float h) {
  double nx = (x - w / 2) / (w / 2), ny = (y - h / 2) / (h / 2);
  switch (shape) {
    case kPsShapeEllipse: return nx * nx + ny * ny <= 0.25;
    case kPsShapeDiamond: return std::fabs(nx) + std::fabs(ny) <= 0.5;
    default: return std::fabs(nx) < 0.5;
  }
}

TEST_F(ParticleTest, StreamedParticlesFillTheRegionByDistribution) {
  int32_t t = StillType();
  for (const RegionCase& c : kRegions) {
    SCOPED_TRACE(c.name);
    int32_t s = PartSystem_Create();
    int32_t e = PartEmitter_Create(s);
    PartEmitter_Region(s, e, 0, c.xmax, 0, c.ymax, c.shape, c.distribution);
    PartEmitter_Stream(s, e, t, 10000);
    PartSystem_Update(s);
    ASSERT_EQ(PartParticles_Count(s), 10000);
    int central = 0, outside = 0;
    double sumX = 0;
    for (const Particle& p : PartSystem_Get(s)->particles) {
      if (!InRegion(c.shape, p.x, p.y, c.xmax, c.ymax)) ++outside;
      if (Central(c.shape, p.x, p.y, c.xmax, c.ymax)) ++central;
      sumX += p.x;
    }
    EXPECT_EQ(outside, 0);
    // Standard errors are below 0.005 for the shares and 0.3 for the mean.
    EXPECT_NEAR(central / 10000.0, c.centralShare, 0.03);
    EXPECT_NEAR(sumX / 10000, c.xmax / 2, 2.0);
    PartSystem_Destroy(s);
  }
}

TEST_F(ParticleTest, EmitterEdgeCases) {
  int32_t t = StillType();
  int32_t s = PartSystem_Create();
  int32_t e = PartEmitter_Create(s);
  PartEmitter_Region(s, e, 30, 30, 0, 100, kPsShapeRectangle, kPsDistrLinear);
  PartEmitter_Burst(s, e, t, 200);
  ASSERT_EQ(PartParticles_Count(s), 200);
  for (const Particle& p : PartSystem_Get(s)->particles) EXPECT_EQ(p.x, 30.0f);
  PartParticles_Clear(s);

  int bursts = 0;
  for (int i = 0; i < 4000; ++i) PartEmitter_Burst(s, e, t, -4);
  bursts = PartParticles_Count(s);
  EXPECT_GT(bursts, 850);  // about 1000
  EXPECT_LT(bursts, 1150);

  PartParticles_Clear(s);
  PartEmitter_Stream(s, e, t, -1);
  Update(s, 3);
  EXPECT_EQ(PartParticles_Count(s), 3) << "a stream of -1 gives one every update";
}

TEST_F(ParticleTest, BurstOfAMissingTypeWritesOncePerParticle) {
  int32_t s = PartSystem_Create();
  int32_t e = PartEmitter_Create(s);
  PartEmitter_Burst(s, e, 5, 2);
  EXPECT_EQ(log_.text,
            "part_particles_create :: particle type does not exist!\n"
            "part_particles_create :: particle type does not exist!\n");
  EXPECT_EQ(PartParticles_Count(s), 0);
}

struct World {
  int32_t system, inside, outside;
};

TEST_F(ParticleTest, DestroyersActOnlyInsideTheirShape) {
  struct Case {
    const char* name;
    float xmax;
    int32_t shape;
    float x, y;
    bool dies;
  };
  const Case cases[] = {
      {"rectangle corner", 100, kPsShapeRectangle, 1, 1, true},
      {"rectangle outside", 100, kPsShapeRectangle, 101, 50, false},
      {"ellipse centre", 100, kPsShapeEllipse, 50, 50, true},
      {"ellipse corner", 100, kPsShapeEllipse, 1, 1, false},
      {"diamond edge", 100, kPsShapeDiamond, 25, 25, true},
      {"diamond corner", 100, kPsShapeDiamond, 10, 10, false},
      {"line destroys nothing", 100, kPsShapeLine, 50, 50, false},
      {"zero width destroys nothing", 0, kPsShapeRectangle, 0, 50, false},
  };
  int32_t t = StillType();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t s = PartSystem_Create();
    int32_t d = PartModifier_Create(PartModifier::Destroyer, s);
    PartDestroyer_Region(s, d, 0, c.xmax, 0, 100, c.shape);
    PartParticles_Create(s, c.x, c.y, t, 1);
    PartParticles_Create(s, 500, 500, t, 1);
    PartSystem_Update(s);
    EXPECT_EQ(PartParticles_Count(s), c.dies ? 1 : 2);
    EXPECT_EQ(At(s, PartParticles_Count(s) - 1).x, 500.0f) << "the one far away stays";
    PartSystem_Destroy(s);
  }
}

TEST_F(ParticleTest, DeflectorsBounceOnlyInside) {
  int32_t right = StillType(), up = StillType();
  PartType_Speed(right, 2, 2, 0, 0);
  PartType_Speed(up, 2, 2, 0, 0);
  PartType_Direction(up, 90, 90, 0, 0);
  int32_t s = PartSystem_Create();
  int32_t h = PartModifier_Create(PartModifier::Deflector, s);
  PartDeflector_Region(s, h, 0, 100, 0, 100);
  PartDeflector_Kind(s, h, kPsDeflectHorizontal);
  PartDeflector_Friction(s, h, 0.5f);
  PartParticles_Create(s, 50, 50, right, 1);
  PartParticles_Create(s, 200, 50, right, 1);
  PartSystem_Update(s);
  EXPECT_FLOAT_EQ(At(s, 0).x, 48);  // moved to 52, mirrored about 50
  EXPECT_FLOAT_EQ(At(s, 0).direction, 180);
  EXPECT_FLOAT_EQ(At(s, 0).speed, 1.5f);
  EXPECT_FLOAT_EQ(At(s, 1).x, 202);
  EXPECT_FLOAT_EQ(At(s, 1).direction, 0);
  EXPECT_FLOAT_EQ(At(s, 1).speed, 2);

  int32_t s2 = PartSystem_Create();
  int32_t v = PartModifier_Create(PartModifier::Deflector, s2);
  PartDeflector_Region(s2, v, 0, 100, 0, 100);
  PartParticles_Create(s2, 50, 50, up, 1);
  PartSystem_Update(s2);
  EXPECT_FLOAT_EQ(At(s2, 0).direction, 270);
  EXPECT_NEAR(At(s2, 0).y, 50 + 2, 1e-4);
}

TEST_F(ParticleTest, ChangersActOnlyOnTheirTypeInsideTheirShape) {
  int32_t from = StillType(), to = StillType(), other = StillType();
  PartType_Speed(to, 4, 4, 0, 0);
  PartType_Color1(to, 0x00FF00);
  PartType_Color1(from, 0x0000FF);
  struct Case {
    float x, y;
    int32_t type;
    bool changes;
  };
  const Case cases[] = {
      {1, 1, from, true},   {50, 50, from, true},  {100, 100, from, false},
      {150, 50, from, false}, {50, 50, other, false},
  };
  int32_t s = PartSystem_Create();
  int32_t c = PartModifier_Create(PartModifier::Changer, s);
  PartChanger_Region(s, c, 0, 100, 0, 100, kPsShapeEllipse);
  PartChanger_Types(s, c, from, to);
  PartChanger_Kind(s, c, kPsChangeShape);
  for (const Case& k : cases) PartParticles_Create(s, k.x, k.y, k.type, 1);
  PartSystem_Update(s);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Particle& p = At(s, i);
    EXPECT_EQ(p.type, cases[i].changes ? to : cases[i].type);
    // A shape change takes the new look and keeps the motion.
    EXPECT_EQ(p.colour, cases[i].changes ? 0x00FF00u : cases[i].type == from ? 0x0000FFu : 0xFFFFFFu);
    EXPECT_EQ(p.speed, 0.0f);
  }

  PartChanger_Kind(s, c, kPsChangeMotion);
  PartChanger_Types(s, c, to, from);
  PartSystem_Update(s);
  EXPECT_EQ(At(s, 0).type, from);
  EXPECT_EQ(At(s, 0).colour, 0x00FF00u) << "a motion change keeps the look";

  PartModifier_Clear(PartModifier::Changer, s, c);  // types back to -1: nothing changes
  PartChanger_Region(s, c, 0, 100, 0, 100, kPsShapeRectangle);
  PartSystem_Update(s);
  EXPECT_EQ(At(s, 0).type, from);
}

TEST_F(ParticleTest, ChangeAllMakesTheParticleAnew) {
  int32_t from = StillType(), to = StillType(50);
  PartType_Speed(to, 3, 3, 0, 0);
  int32_t s = PartSystem_Create();
  int32_t c = PartModifier_Create(PartModifier::Changer, s);
  PartChanger_Region(s, c, 0, 100, 0, 100, kPsShapeRectangle);
  PartChanger_Types(s, c, from, to);
  PartParticles_Create(s, 10, 10, from, 1);
  PartSystem_Update(s);
  const Particle& p = At(s, 0);
  EXPECT_EQ(p.type, to);
  EXPECT_EQ(p.life, 50);
  EXPECT_EQ(p.age, 0) << "the change comes after the ageing";
  EXPECT_FLOAT_EQ(p.speed, 3);
  EXPECT_FLOAT_EQ(p.x, 10);
}

TEST_F(ParticleTest, AttractorsPullOnlyWithinTheirReach) {
  int32_t t = StillType();
  int32_t s = PartSystem_Create();
  int32_t a = PartModifier_Create(PartModifier::Attractor, s);
  PartAttractor_Position(s, a, 60, 50);
  PartAttractor_Force(s, a, 2, 100, kPsForceConstant, false);
  PartParticles_Create(s, 50, 50, t, 1);
  PartParticles_Create(s, 300, 50, t, 1);
  PartSystem_Update(s);
  EXPECT_FLOAT_EQ(At(s, 0).x, 52);
  EXPECT_FLOAT_EQ(At(s, 0).speed, 0) << "a non-additive pull moves without changing speed";
  EXPECT_FLOAT_EQ(At(s, 1).x, 300);
  PartSystem_Update(s);
  EXPECT_FLOAT_EQ(At(s, 0).x, 54);

  // Additive and linear: the pull scales with (reach - distance) / reach and
  // becomes speed.
  PartAttractor_Force(s, a, 2, 100, kPsForceLinear, true);
  PartSystem_Update(s);  // distance 6: pull 2 × 94 / 100
  EXPECT_NEAR(At(s, 0).speed, 1.88, 1e-5);
  EXPECT_NEAR(At(s, 0).x, 54 + 1.88, 1e-4);
  EXPECT_NEAR(At(s, 0).direction, 0, 1e-4);
  PartAttractor_Force(s, a, 2, 100, kPsForceQuadratic, true);
  float before = At(s, 0).speed, x = At(s, 0).x;
  double d = 60 - x, w = (100 - d) / 100;
  PartSystem_Update(s);
  EXPECT_NEAR(At(s, 0).speed, before + 2 * w * w, 1e-4);
}

TEST_F(ParticleTest, ComponentSlotsAreReusedAndIdsChecked) {
  int32_t s = PartSystem_Create();
  for (PartModifier kind : {PartModifier::Emitter, PartModifier::Attractor, PartModifier::Destroyer,
                            PartModifier::Deflector, PartModifier::Changer}) {
    EXPECT_EQ(PartModifier_Create(kind, s), 0);
    EXPECT_EQ(PartModifier_Create(kind, s), 1);
    PartModifier_Destroy(kind, s, 0);
    EXPECT_FALSE(PartModifier_Exists(kind, s, 0));
    EXPECT_EQ(PartModifier_SlotCount(kind, s), 2);
    EXPECT_EQ(PartModifier_Create(kind, s), 0);
    for (int32_t bad : {-1, 2, INT32_MAX}) {
      EXPECT_FALSE(PartModifier_Exists(kind, s, bad));
      PartModifier_Destroy(kind, s, bad);
      PartModifier_Clear(kind, s, bad);
    }
    PartModifier_DestroyAll(kind, s);
    EXPECT_EQ(PartModifier_SlotCount(kind, s), 0);
    EXPECT_EQ(PartModifier_Create(kind, -1), -1);
    EXPECT_EQ(PartModifier_Create(kind, 99), -1);
  }
  // Setters on destroyed or missing components change nothing.
  int32_t e = PartEmitter_Create(s);
  PartEmitter_Destroy(s, e);
  PartEmitter_Stream(s, e, StillType(), 5);
  PartEmitter_Burst(s, e, 0, 5);
  PartEmitter_Stream(s, 7, 0, 5);
  PartSystem_Update(s);
  EXPECT_EQ(PartParticles_Count(s), 0);
}

TEST_F(ParticleTest, DestroyingASystemFreesItsComponents) {
  int32_t t = StillType();
  int32_t s = PartSystem_Create();
  int32_t e = PartEmitter_Create(s);
  PartEmitter_Region(s, e, 0, 10, 0, 10, kPsShapeRectangle, kPsDistrLinear);
  PartEmitter_Stream(s, e, t, 3);
  PartModifier_Create(PartModifier::Attractor, s);
  PartModifier_Create(PartModifier::Destroyer, s);
  PartModifier_Create(PartModifier::Deflector, s);
  PartModifier_Create(PartModifier::Changer, s);
  PartParticles_Create(s, 0, 0, t, 5);
  int32_t kept = PartSystem_Create();
  PartParticles_Create(kept, 0, 0, t, 1);
  int64_t keptHeld = PartSystem_HeldRecords();
  PartSystem_Destroy(kept);
  EXPECT_LT(PartSystem_HeldRecords(), keptHeld);
  PartSystem_Destroy(s);
  EXPECT_EQ(PartSystem_HeldRecords(), 0) << "a destroyed system keeps no particles or components";

  // A destroyed id gives the answers of a missing system.
  EXPECT_FALSE(PartSystem_Exists(s));
  EXPECT_EQ(PartSystem_Get(s), nullptr);
  EXPECT_EQ(PartParticles_Count(s), 0);
  EXPECT_EQ(PartEmitter_Create(s), -1);
  EXPECT_FALSE(PartModifier_Exists(PartModifier::Emitter, s, e));
  PartEmitter_Burst(s, e, t, 4);
  PartSystem_Update(s);
  PartSystem_Depth(s, 3);

  // The slot comes back empty: no old emitters stream into the new system.
  EXPECT_EQ(PartSystem_Create(), s);
  for (PartModifier kind : {PartModifier::Emitter, PartModifier::Attractor, PartModifier::Destroyer,
                            PartModifier::Deflector, PartModifier::Changer})
    EXPECT_EQ(PartModifier_SlotCount(kind, s), 0);
  EXPECT_FALSE(PartModifier_Exists(PartModifier::Emitter, s, e));
  PartSystem_Update(s);
  EXPECT_EQ(PartParticles_Count(s), 0);
  const ParticleSystem& fresh = *PartSystem_Get(s);
  EXPECT_EQ(fresh.depth, 0.0f);
  EXPECT_TRUE(fresh.automaticUpdate);
  EXPECT_TRUE(fresh.automaticDraw);
  EXPECT_TRUE(fresh.oldToNew);
}

TEST_F(ParticleTest, ParticleCreationReportsMissingSystemOrTypeOnce) {
  int32_t t = StillType();
  int32_t s = PartSystem_Create();
  PartParticles_Create(s + 1, 0, 0, t, 10);
  EXPECT_EQ(log_.text, "part_particles_create :: particle system does not exist!\n");
  log_.text.clear();
  PartParticles_CreateColor(s, 0, 0, t + 1, 0, 10);
  EXPECT_EQ(log_.text, "part_particles_create :: particle type does not exist!\n");
  log_.text.clear();
  PartParticles_Create(-5, 0, 0, t, 0);
  EXPECT_EQ(log_.text, "");
  EXPECT_EQ(PartParticles_Count(s), 0);
}

TEST_F(ParticleTest, SystemSettersAndSlotReuse) {
  int32_t a = PartSystem_Create(), b = PartSystem_Create();
  PartSystem_Depth(b, -7.5f);
  PartSystem_Position(b, 3, 4);
  PartSystem_DrawOrder(b, false);
  PartSystem_AutomaticDraw(b, false);
  const ParticleSystem& sb = *PartSystem_Get(b);
  EXPECT_EQ(sb.depth, -7.5f);
  EXPECT_EQ(sb.x, 3.0f);
  EXPECT_EQ(sb.y, 4.0f);
  EXPECT_FALSE(sb.oldToNew);
  EXPECT_FALSE(sb.automaticDraw);
  PartSystem_Destroy(a);
  EXPECT_EQ(PartSystem_Create(), a);
  EXPECT_EQ(PartSystem_SlotCount(), 2);
  PartSystem_Clear(b);
  EXPECT_EQ(PartSystem_Get(b)->depth, 0.0f);
}

}  // namespace
