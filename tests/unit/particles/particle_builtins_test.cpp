// The particle built-ins: their fixed order and counts, argument rules,
// what a missing or destroyed id gives, and the cap on particle counts.
#include <gtest/gtest.h>

#include <cstring>

#include "particles/particles.h"
#include "script/random.h"
#include "unit/line_console.h"
#include "unit/script/builtins_call.h"

namespace {

class ParticleBuiltins : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    InitParticleFunctions();
    Random_SetSeed(12345);
    saved_ = g_DebugConsole;
    g_DebugConsole = &log_;
  }
  void TearDown() override {
    g_DebugConsole = saved_;
    BuiltinsTest::TearDown();
  }
  LineConsole log_;

 private:
  tagIConsole* saved_ = nullptr;
};

TEST_F(ParticleBuiltins, RegisteredInOrderWithTheirCounts) {
  const std::pair<const char*, int> order[] = {
      {"part_type_create", 0},
      {"part_type_destroy", 1},
      {"part_type_exists", 1},
      {"part_type_clear", 1},
      {"part_type_shape", 2},
      {"part_type_sprite", 5},
      {"part_type_size", 5},
      {"part_type_scale", 3},
      {"part_type_life", 3},
      {"part_type_step", 3},
      {"part_type_death", 3},
      {"part_type_speed", 5},
      {"part_type_direction", 5},
      {"part_type_orientation", 6},
      {"part_type_gravity", 3},
      {"part_type_color_mix", 3},
      {"part_type_color_rgb", 7},
      {"part_type_color_hsv", 7},
      {"part_type_color1", 2},
      {"part_type_color2", 3},
      {"part_type_color3", 4},
      {"part_type_color", 4},
      {"part_type_alpha1", 2},
      {"part_type_alpha2", 3},
      {"part_type_alpha3", 4},
      {"part_type_alpha", 4},
      {"part_type_blend", 2},
      {"part_system_create", 0},
      {"part_system_destroy", 1},
      {"part_system_exists", 1},
      {"part_system_clear", 1},
      {"part_system_draw_order", 2},
      {"part_system_depth", 2},
      {"part_system_position", 3},
      {"part_system_automatic_update", 2},
      {"part_system_automatic_draw", 2},
      {"part_system_update", 1},
      {"part_system_drawit", 1},
      {"part_particles_create", 5},
      {"part_particles_create_color", 6},
      {"part_particles_clear", 1},
      {"part_particles_count", 1},
      {"part_emitter_create", 1},
      {"part_emitter_destroy", 2},
      {"part_emitter_destroy_all", 1},
      {"part_emitter_exists", 2},
      {"part_emitter_clear", 2},
      {"part_emitter_region", 8},
      {"part_emitter_burst", 4},
      {"part_emitter_stream", 4},
      {"part_attractor_create", 1},
      {"part_attractor_destroy", 2},
      {"part_attractor_destroy_all", 1},
      {"part_attractor_exists", 2},
      {"part_attractor_clear", 2},
      {"part_attractor_position", 4},
      {"part_attractor_force", 6},
      {"part_destroyer_create", 1},
      {"part_destroyer_destroy", 2},
      {"part_destroyer_destroy_all", 1},
      {"part_destroyer_exists", 2},
      {"part_destroyer_clear", 2},
      {"part_destroyer_region", 7},
      {"part_deflector_create", 1},
      {"part_deflector_destroy", 2},
      {"part_deflector_destroy_all", 1},
      {"part_deflector_exists", 2},
      {"part_deflector_clear", 2},
      {"part_deflector_region", 6},
      {"part_deflector_kind", 3},
      {"part_deflector_friction", 3},
      {"part_changer_create", 1},
      {"part_changer_destroy", 2},
      {"part_changer_destroy_all", 1},
      {"part_changer_exists", 2},
      {"part_changer_clear", 2},
      {"part_changer_region", 7},
      {"part_changer_kind", 3},
      {"part_changer_types", 4},
      {"effect_create_below", 5},
      {"effect_create_above", 5},
      {"effect_clear", 0},
  };
  ASSERT_EQ(std::size(order), 82u);
  const int first = FunctionRegistry_Find("part_type_create");
  for (size_t i = 0; i < std::size(order); ++i) {
    const int index = FunctionRegistry_Find(order[i].first);
    EXPECT_EQ(index, first + int(i)) << order[i].first;
    EXPECT_EQ(FunctionRegistry_GetArgCount(index), order[i].second) << order[i].first;
  }
}

TEST_F(ParticleBuiltins, ArgumentsAreRoundedToEvenAndFlagsStartAtOneHalf) {
  const int t = int(Real("part_type_create"));
  Call("part_type_life", {t, 9.5, 10.5});
  Call("part_type_sprite", {t, 2.5, 0.49, 0.5, 1});
  const ParticleType* type = PartType_Get(t);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->lifeMin, 10);
  EXPECT_EQ(type->lifeMax, 10);
  EXPECT_EQ(type->sprite, 2);
  EXPECT_FALSE(type->animate);
  EXPECT_TRUE(type->stretch);
  EXPECT_TRUE(type->randomFrame);
  // part_type_color is part_type_color3 and part_type_alpha part_type_alpha3.
  Call("part_type_color", {t, 0x0000FF, 0x00FF00, 0xFF0000});
  Call("part_type_alpha", {t, 0.25, 0.5, 0.75});
  type = PartType_Get(t);
  EXPECT_EQ(type->colourMode, kPartColourThree);
  EXPECT_EQ(type->colour3, 0xFF0000u);
  EXPECT_FLOAT_EQ(type->alpha3, 0.75f);
}

TEST_F(ParticleBuiltins, MissingAndDestroyedIdsGiveTheirAnswersAndTouchNothing) {
  const int s = int(Real("part_system_create"));
  const int t = int(Real("part_type_create"));
  const int e = int(Real("part_emitter_create", {s}));
  Call("part_emitter_region", {s, e, 0, 10, 0, 10, 0, 0});
  Call("part_emitter_destroy", {s, e});
  Call("part_emitter_burst", {s, e, t, 5});  // a destroyed emitter
  EXPECT_EQ(Real("part_particles_count", {s}), 0);
  EXPECT_EQ(Real("part_emitter_exists", {s, e}), 0);

  Call("part_type_destroy", {t});
  EXPECT_EQ(Real("part_type_exists", {t}), 0);
  EXPECT_EQ(Real("part_type_exists", {-1}), 0);
  Call("part_type_size", {t, 3, 3, 0, 0});  // a destroyed type: nothing
  const int t2 = int(Real("part_type_create"));
  EXPECT_EQ(t2, t) << "the slot is reused";
  EXPECT_FLOAT_EQ(PartType_Get(t2)->sizeMin, 1.0f) << "the setter on the destroyed id did nothing";

  Call("part_system_destroy", {s});
  EXPECT_EQ(Real("part_system_exists", {s}), 0);
  EXPECT_EQ(Real("part_particles_count", {s}), 0);
  EXPECT_EQ(Real("part_particles_count", {1e12}), 0);
  for (const char* create : {"part_emitter_create", "part_attractor_create", "part_destroyer_create",
                             "part_deflector_create", "part_changer_create"})
    EXPECT_EQ(Real(create, {s}), -1) << create;
  // None of these reaches a destroyed system or a wild id.
  for (double id : {double(s), -1.0, 7e9}) {
    Call("part_system_depth", {id, 5});
    Call("part_system_drawit", {id});
    Call("part_system_update", {id});
    Call("part_emitter_stream", {id, 0, t2, 3});
    Call("part_attractor_force", {id, 0, 1, 1, 0, 1});
    Call("part_changer_types", {id, 0, t2, t2});
  }
  log_.text.clear();
  Call("part_particles_create", {s, 0, 0, t2, 3});
  EXPECT_NE(log_.text.find("part_particles_create :: particle system does not exist!"), std::string::npos)
      << log_.text;
}

TEST_F(ParticleBuiltins, DestroyingASystemFreesItsEmittersAndModifiers) {
  const int s = int(Real("part_system_create"));
  for (int i = 0; i < 4; ++i) {
    for (const char* create : {"part_emitter_create", "part_attractor_create", "part_destroyer_create",
                               "part_deflector_create", "part_changer_create"})
      Call(create, {s});
  }
  Call("part_system_destroy", {s});
  EXPECT_EQ(PartSystem_HeldRecords(), 0);
  const int again = int(Real("part_system_create"));
  EXPECT_EQ(again, s);
  EXPECT_EQ(Real("part_emitter_create", {again}), 0) << "the new system starts with no emitter slots";
  EXPECT_EQ(Real("part_changer_exists", {again, 3}), 0);
}

TEST_F(ParticleBuiltins, AHugeParticleCountIsCappedWithAConsoleLine) {
  const int s = int(Real("part_system_create"));
  const int t = int(Real("part_type_create"));
  Call("part_particles_create", {s, 0, 0, t, 4e9});
  EXPECT_EQ(Real("part_particles_count", {s}), kPartMaxPerCall);
  EXPECT_NE(log_.text.find("part_particles_create :: 2147483647 particles asked for; limited to 1000000"),
            std::string::npos)
      << log_.text;
  Call("part_particles_clear", {s});
  Call("part_particles_create_color", {s, 0, 0, t, 0xFF, 2e9});
  EXPECT_EQ(Real("part_particles_count", {s}), kPartMaxPerCall);
  Call("part_particles_clear", {s});
  log_.text.clear();
  Call("part_particles_create", {s, 0, 0, t, 7});  // under the cap: no line
  EXPECT_EQ(Real("part_particles_count", {s}), 7);
  EXPECT_EQ(log_.text, "");
}

}  // namespace
