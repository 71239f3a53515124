// The action particle system: its one system made on demand, the 16 type and
// 16 emitter slots, what each action sets, and slot numbers that name no
// slot.
#include <gtest/gtest.h>

#include <vector>

#include "actions/actions.h"
#include "particles/particles.h"
#include "script/random.h"
#include "unit/script/builtins_call.h"

namespace {

constexpr const char* kNotCreated = "The particle emitter must first be created.";

class ActionParticles : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    InitActionFunctions();
    Random_SetSeed(5);
  }

  static void Quiet(const std::string& name, std::initializer_list<Arg> args) {
    const Outcome out = Call(name, args);
    EXPECT_FALSE(out.reported) << name << ": " << out.report;
  }
  // The one system the actions have made: the newest one in use.
  static int32_t System() {
    for (int32_t i = PartSystem_SlotCount() - 1; i >= 0; --i)
      if (PartSystem_Exists(i)) return i;
    return -1;
  }
  // The type made last.
  static const ParticleType& Newest() { return PartType_Record(PartType_SlotCount() - 1); }
  static int32_t Count() { return PartParticles_Count(System()); }
};

TEST_F(ActionParticles, BeforeAnyCreateTheSlotsNameTypeAndEmitterZero) {
  const int32_t zero = PartType_Create();  // made by the game's own code
  ASSERT_EQ(zero, 0);
  Quiet("action_parttype_life", {7, 20, 30});
  ASSERT_EQ(PartSystem_SlotCount(), 1) << "the first action makes the system";
  EXPECT_EQ(PartType_Get(0)->lifeMin, 20) << "slot 7 holds 0 until the system is created";
  EXPECT_EQ(PartType_Get(0)->lifeMax, 30);
  EXPECT_EQ(PartType_SlotCount(), 1) << "no type made";

  // Emitter slot 0 names emitter 0 of the system, made or not.
  Quiet("action_partemit_burst", {0, 3, 5});
  EXPECT_EQ(Count(), 0);
  ASSERT_EQ(PartEmitter_Create(System()), 0);
  PartEmitter_Region(System(), 0, 10, 10, 20, 20, kPsShapeRectangle, kPsDistrLinear);
  Quiet("action_partemit_burst", {0, 3, 5});
  EXPECT_EQ(Count(), 5);
}

TEST_F(ActionParticles, CreatingTheSystemClearsItSetsItsDepthAndEmptiesEverySlot) {
  Quiet("action_parttype_life", {0, 1, 1});
  const int32_t system = System();
  ASSERT_EQ(PartEmitter_Create(system), 0);
  PartParticles_Create(system, 0, 0, -1, 0);
  Quiet("action_partsyst_create", {2.5});
  EXPECT_EQ(System(), system) << "the same system, cleared";
  EXPECT_EQ(PartSystem_Get(system)->depth, 2.0f) << "depth rounded, halves to even";
  EXPECT_EQ(PartModifier_SlotCount(PartModifier::Emitter, system), 0);

  const Outcome burst = Call("action_partemit_burst", {0, 0, 1});
  EXPECT_TRUE(burst.reported);
  EXPECT_NE(burst.report.find(kNotCreated), std::string::npos) << burst.report;
  EXPECT_TRUE(Call("action_partemit_stream", {15, 0, 1}).reported);

  Quiet("action_parttype_life", {4, 10, 20});
  ASSERT_EQ(PartType_SlotCount(), 1) << "slot 4 gets a new type";
  Quiet("action_parttype_gravity", {4, 0.5, 90});
  EXPECT_EQ(PartType_SlotCount(), 1) << "and keeps it";
  EXPECT_EQ(Newest().gravityAmount, 0.5f);
}

TEST_F(ActionParticles, EachTypeActionSetsWhatItNames) {
  Quiet("action_partsyst_create", {0});
  Quiet("action_parttype_create_old", {0, 3, 0.5, 1.5, 0x0000FF, 0x00FF00});
  {
    const ParticleType& t = Newest();
    EXPECT_EQ(t.shape, 3);
    EXPECT_EQ(t.sizeMin, 0.5f);
    EXPECT_EQ(t.sizeMax, 1.5f);
    EXPECT_EQ(t.sizeIncrement, 0);
    EXPECT_EQ(t.colourMode, kPartColourTwo);
    EXPECT_EQ(t.colour1, 0x0000FFu);
    EXPECT_EQ(t.colour2, 0x00FF00u);
  }
  Quiet("action_parttype_create", {1, 4, 6, 0.25, 2, 0.125});
  {
    const ParticleType& t = Newest();
    EXPECT_EQ(t.shape, 4);
    EXPECT_EQ(t.sprite, 6);
    EXPECT_TRUE(t.animate);
    EXPECT_FALSE(t.stretch);
    EXPECT_FALSE(t.randomFrame);
    EXPECT_EQ(t.sizeIncrement, 0.125f);
    EXPECT_EQ(t.sizeWiggle, 0);
  }
  Quiet("action_parttype_color", {1, 1, 0x111111, 0x222222, 0.25, 0.75});
  EXPECT_EQ(Newest().colourMode, kPartColourTwo);
  EXPECT_EQ(Newest().alpha1, 0.25f);
  EXPECT_EQ(Newest().alpha3, 0.75f) << "two alphas: start and end";
  Quiet("action_parttype_colour", {1, 0.4, 0x111111, 0x222222, 1, 1});
  EXPECT_EQ(Newest().colourMode, kPartColourMix) << "changing rounds to 0";
  Quiet("action_parttype_life", {1, 2.5, 3.5});
  EXPECT_EQ(Newest().lifeMin, 2);
  EXPECT_EQ(Newest().lifeMax, 4);
  Quiet("action_parttype_speed", {1, 1, 3, 45, 135, 0.5});
  {
    const ParticleType& t = Newest();
    EXPECT_EQ(t.speedMin, 1);
    EXPECT_EQ(t.speedMax, 3);
    EXPECT_EQ(t.speedIncrement, -0.5f) << "friction slows";
    EXPECT_EQ(t.directionMin, 45);
    EXPECT_EQ(t.directionMax, 135);
    EXPECT_EQ(t.directionIncrement, 0);
  }
  Quiet("action_parttype_gravity", {1, 0.2, 270});
  EXPECT_EQ(Newest().gravityAmount, 0.2f);
  EXPECT_EQ(Newest().gravityDirection, 270);

  // Secondary types come from slots, read as they are: slot 5 is still -1.
  Quiet("action_parttype_secondary", {1, 0, 3, 5, 7});
  EXPECT_EQ(Newest().stepType, 0) << "slot 0's type, the first made";
  EXPECT_EQ(Newest().stepNumber, 3);
  EXPECT_EQ(Newest().deathType, -1);
  EXPECT_EQ(Newest().deathNumber, 7);
  EXPECT_EQ(PartType_SlotCount(), 2) << "reading slot 5 made no type";
}

TEST_F(ActionParticles, EmittersAreMadeOnceDestroyedAndMadeAgain) {
  Quiet("action_partsyst_create", {0});
  Quiet("action_parttype_life", {2, 1000, 1000});
  Quiet("action_partemit_create", {3, kPsShapeEllipse, 10, 30, 40, 60});
  const int32_t system = System();
  ASSERT_EQ(PartModifier_SlotCount(PartModifier::Emitter, system), 1);
  const ParticleEmitter& e = PartSystem_Get(system)->emitters[0];
  EXPECT_EQ(e.shape, kPsShapeEllipse);
  EXPECT_EQ(e.xmin, 10);
  EXPECT_EQ(e.ymax, 60);
  Quiet("action_partemit_create", {3, kPsShapeRectangle, 0, 1, 0, 1});
  EXPECT_EQ(PartModifier_SlotCount(PartModifier::Emitter, system), 1) << "the slot's emitter gets the new region";

  Quiet("action_partemit_burst", {3, 2, 4.5});
  EXPECT_EQ(Count(), 4) << "number rounded, halves to even";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(PartSystem_Get(system)->particles[size_t(i)].type, PartType_SlotCount() - 1);
  Quiet("action_partemit_stream", {3, 2, 6});
  EXPECT_EQ(PartSystem_Get(system)->emitters[0].streamNumber, 6);
  EXPECT_EQ(PartSystem_Get(system)->emitters[0].streamType, PartType_SlotCount() - 1);

  Quiet("action_partemit_destroy", {3});
  EXPECT_FALSE(PartModifier_Exists(PartModifier::Emitter, system, 0));
  EXPECT_TRUE(Call("action_partemit_burst", {3, 2, 1}).reported);
  Quiet("action_partemit_destroy", {3});  // nothing left to destroy
  Quiet("action_partemit_create", {3, kPsShapeRectangle, 0, 1, 0, 1});
  EXPECT_TRUE(PartModifier_Exists(PartModifier::Emitter, system, 0)) << "a new emitter";
  Quiet("action_partemit_burst", {3, 2, 1});

  Quiet("action_partsyst_clear", {});
  EXPECT_EQ(Count(), 0);
  EXPECT_TRUE(PartModifier_Exists(PartModifier::Emitter, system, 0)) << "clearing keeps the emitters";
}

TEST_F(ActionParticles, DestroyingTheSystemFreesItsEmitterSlotsButKeepsTheTypes) {
  Quiet("action_partsyst_create", {0});
  Quiet("action_parttype_life", {1, 1000, 1000});
  Quiet("action_partemit_create", {0, kPsShapeRectangle, 0, 10, 0, 10});
  const int32_t types = PartType_SlotCount();
  Quiet("action_partsyst_destroy", {});
  EXPECT_EQ(System(), -1);
  Quiet("action_partsyst_destroy", {});  // no system: nothing
  Quiet("action_partsyst_clear", {});
  EXPECT_EQ(PartSystem_SlotCount(), 1) << "neither makes a system";

  // A type action makes a new system; a stranger gives it emitter 0.
  Quiet("action_parttype_gravity", {1, 0.1, 270});
  const int32_t system = System();
  ASSERT_GE(system, 0);
  EXPECT_EQ(PartType_SlotCount(), types) << "type slot 1 kept its type";
  EXPECT_EQ(Newest().gravityAmount, 0.1f);
  ASSERT_EQ(PartEmitter_Create(system), 0);
  PartEmitter_Region(system, 0, 0, 10, 0, 10, kPsShapeRectangle, kPsDistrLinear);

  const Outcome burst = Call("action_partemit_burst", {0, 1, 5});
  EXPECT_TRUE(burst.reported);
  EXPECT_NE(burst.report.find(kNotCreated), std::string::npos) << burst.report;
  EXPECT_EQ(Count(), 0) << "the stranger's emitter is left alone";
  EXPECT_TRUE(Call("action_partemit_stream", {0, 1, 5}).reported);
  EXPECT_EQ(PartSystem_Get(system)->emitters[0].streamNumber, 0);
}

TEST_F(ActionParticles, SlotNumbersOutsideTheTableTouchNothing) {
  const struct {
    const char* name;
    std::vector<double> args;
  } cases[] = {
      {"action_parttype_create_old", {16, 1, 1, 1, 0, 0}},
      {"action_parttype_create", {-1, 1, 0, 1, 1, 0}},
      {"action_parttype_color", {15.5, 1, 0, 0, 1, 1}},  // rounds to 16
      {"action_parttype_colour", {1e10, 1, 0, 0, 1, 1}},
      {"action_parttype_life", {-0.6, 5, 5}},
      {"action_parttype_speed", {100, 1, 1, 0, 0, 0}},
      {"action_parttype_gravity", {16, 1, 270}},
      {"action_parttype_secondary", {0, 16, 1, 0, 1}},
      {"action_parttype_secondary", {0, 0, 1, -1, 1}},
      {"action_parttype_secondary", {16, 0, 1, 0, 1}},
      {"action_partemit_create", {16, 0, 0, 1, 0, 1}},
      {"action_partemit_destroy", {-1}},
      {"action_partemit_burst", {16, 0, 5}},
      {"action_partemit_burst", {0, 16, 5}},
      {"action_partemit_stream", {-1, 0, 5}},
      {"action_partemit_stream", {0, -1, 5}},
  };
  for (bool created : {false, true}) {
    Action_Reset();
    Part_Reset();
    const int32_t zero = PartType_Create();
    if (created) Call("action_partsyst_create", {0});
    const int32_t systems = PartSystem_SlotCount();
    for (const auto& c : cases) {
      std::vector<ScriptValue> values;
      for (double a : c.args) values.push_back(ScriptValue::FromReal(a));
      const Outcome out = CallArgs(c.name, values);
      EXPECT_FALSE(out.reported) << c.name << ": " << out.report;
      EXPECT_EQ(PartSystem_SlotCount(), systems) << c.name;
      EXPECT_EQ(PartType_SlotCount(), 1) << c.name;
      if (systems) {
        EXPECT_EQ(PartModifier_SlotCount(PartModifier::Emitter, 0), 0) << c.name;
      }
    }
    const ParticleType& t = PartType_Record(zero);
    EXPECT_EQ(t.lifeMin, 100) << "type 0, named by every slot at first, unchanged";
    EXPECT_EQ(t.shape, kPtShapePixel);
    EXPECT_EQ(t.stepNumber, 0);
    EXPECT_EQ(t.gravityAmount, 0);
  }
  // The last slot is a slot.
  Quiet("action_parttype_life", {15, 9, 9});
  EXPECT_EQ(PartType_SlotCount(), 2);
  Quiet("action_partemit_create", {14.5, 0, 0, 1, 0, 1});  // 14
  Quiet("action_partemit_burst", {14, 15, 1});
  EXPECT_EQ(Count(), 1);
}

}  // namespace
