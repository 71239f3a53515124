// The one-call effects: their systems and types, what each kind makes and
// how their timing follows the room speed.
#include <gtest/gtest.h>

#include "core/rooms.h"
#include "core/run_state.h"
#include "particles/particles.h"
#include "unit/particles/particle_fixture.h"

namespace {

class ParticleEffects : public ParticleTest {
 protected:
  void SetUp() override {
    ParticleTest::SetUp();
    room_.width = 200;
    room_.height = 100;
    g_Run.room = &room_;
    g_Run.fps = 30;
  }
  void TearDown() override {
    g_Run.room = nullptr;
    g_Run.fps = 0;
    ParticleTest::TearDown();
  }
  int32_t Count(bool below) { return PartParticles_Count(below ? Effect_BelowSystem() : Effect_AboveSystem()); }

  CGameRoom room_;
};

TEST_F(ParticleEffects, TheSpeedFactorFollowsTheRoomSpeedAndTheMeasuredRate) {
  const struct {
    int32_t speed, fps;
    float e;
  } cases[] = {{60, 60, 0.5f}, {60, 40, 0.75f}, {60, 51, 0.5f}, {30, 10, 1.0f}, {20, 60, 1.0f}, {60, 30, 1.0f}};
  for (auto [speed, fps, e] : cases) {
    room_.speed = speed;
    g_Run.fps = fps;
    EXPECT_FLOAT_EQ(Effect_SpeedFactor(), e) << speed << " " << fps;
  }
}

TEST_F(ParticleEffects, AnUnknownKindStillMakesTheSystemsAndTheTypes) {
  Effect_Clear();  // before any effect: nothing to clear, nothing made
  EXPECT_EQ(Effect_BelowSystem(), -1);
  Effect_Create(false, 12, 0, 0, 1, 0);
  ASSERT_TRUE(PartSystem_Exists(Effect_BelowSystem()));
  ASSERT_TRUE(PartSystem_Exists(Effect_AboveSystem()));
  EXPECT_EQ(PartSystem_Get(Effect_BelowSystem())->depth, 100000.0f);
  EXPECT_EQ(PartSystem_Get(Effect_AboveSystem())->depth, -100000.0f);
  EXPECT_EQ(PartType_SlotCount(), 35);
  EXPECT_EQ(Count(true) + Count(false), 0);
  // A destroyed system comes back at the next effect; the types are not remade.
  PartSystem_Destroy(Effect_AboveSystem());
  Effect_Create(false, kEffectStar, 0, 0, 1, 0);
  ASSERT_TRUE(PartSystem_Exists(Effect_AboveSystem()));
  EXPECT_EQ(PartSystem_Get(Effect_AboveSystem())->depth, -100000.0f);
  EXPECT_EQ(Count(false), 1);
  EXPECT_EQ(PartType_SlotCount(), 35);
}

TEST_F(ParticleEffects, EachKindMakesItsParticlesInTheChosenSystem) {
  const struct {
    int32_t kind, size, count;
  } cases[] = {
      {kEffectExplosion, 1, 21}, {kEffectRing, 0, 1},   {kEffectEllipse, 2, 1},  {kEffectFirework, 0, 75},
      {kEffectFirework, 2, 250}, {kEffectSmoke, 0, 6},  {kEffectSmokeUp, 2, 16}, {kEffectStar, 1, 1},
      {kEffectSpark, 1, 1},      {kEffectFlare, 1, 1},  {kEffectCloud, 1, 1},    {kEffectRain, 2, 9},
      {kEffectSnow, 5, 3},       {kEffectSmoke, 5, 11},
  };
  for (auto [kind, size, count] : cases) {
    for (bool below : {true, false}) {
      Effect_Create(below, kind, 50, 40, size, 0x00FF00);
      EXPECT_EQ(Count(below), count) << kind << " size " << size;
      EXPECT_EQ(Count(!below), 0) << kind;
      Effect_Clear();
    }
  }
}

TEST_F(ParticleEffects, AMediumExplosionIsTwentyColouredAndOneBlackCore) {
  Effect_Create(true, kEffectExplosion, 50, 40, 5, 0x0000FF);
  const auto& particles = PartSystem_Get(Effect_BelowSystem())->particles;
  ASSERT_EQ(particles.size(), 21u);
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(particles[i].colour, 0x0000FFu) << i;
  EXPECT_EQ(particles[20].colour, 0u);
  EXPECT_NE(particles[20].type, particles[0].type);
}

TEST_F(ParticleEffects, ASmallRingAtTwiceTheSpeedLivesTwiceAsLongAndGrowsHalfAsFast) {
  room_.speed = 60;
  g_Run.fps = 60;
  Effect_Create(false, kEffectRing, 10, 10, 0, 0xFFFFFF);
  const Particle& p = PartSystem_Get(Effect_AboveSystem())->particles.at(0);
  EXPECT_GE(p.life, 20);
  EXPECT_LE(p.life, 24);
  const ParticleType* type = PartType_Get(p.type);
  EXPECT_FLOAT_EQ(type->sizeIncrement, 0.075f);
  EXPECT_EQ(type->shape, kPtShapeRing);
  // Gone after its life.
  for (int i = 0; i < 24; ++i) PartSystem_UpdateAll();
  EXPECT_EQ(Count(false), 0);
}

TEST_F(ParticleEffects, RainAndSnowFallFromAboveTheRoomWhereverAsked) {
  Effect_Create(true, kEffectRain, -500, -500, 2, 0xFFFFFF);
  for (const Particle& p : PartSystem_Get(Effect_BelowSystem())->particles) {
    EXPECT_GE(p.x, 0.0f);
    EXPECT_LT(p.x, 240.0f);
    EXPECT_GE(p.y, -30.0f);
    EXPECT_LT(p.y, -10.0f);
    EXPECT_EQ(p.life, 20) << "a fifth of the room height";
  }
}

}  // namespace
