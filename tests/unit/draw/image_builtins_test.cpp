// The drawing group's registration and its sprite and background built-ins
// over the recording device: which frame, where, in what colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "draw/draw_builtins.h"
#include "draw/draw_state.h"
#include "graphics/textures.h"
#include "graphics/viewport.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/graphics/graphics_fixture.h"
#include "unit/script/builtin_group_check.h"

namespace {

// ---- Registration -----------------------------------------------------------------

TEST(GraphicGroup, RegistersInTheGroupsOrderWithItsCountsAndNoNameTwice) {
  World_Reset();
  InitGraphicFunctions();
  ExpectGroupRegistered(Draw_GraphicGroup());
  // The sprite and background built-ins are there; later groups' names not.
  for (const char* name : {"draw_self", "draw_sprite_general", "draw_background_tiled_ext", "draw_getpixel_ext"})
    EXPECT_GE(FunctionRegistry_Find(name), 0) << name;
  for (const char* name : {"display_get_width", "window_set_caption", "screen_save", "tile_add", "surface_create",
                           "texture_exists", "shader_enable_corner_id"})
    EXPECT_LT(FunctionRegistry_Find(name), 0) << name << " is registered without being built";
  World_Clear();
}

TW_BUILTIN(F_Nothing) {}

std::span<const NamedBuiltin> Misnamed() {
  static const NamedBuiltin kEntries[] = {{"draw_sprite", F_Nothing}, {"draw_sprit", F_Nothing}};
  return kEntries;
}

TEST(GraphicGroup, ANameOutsideTheOrderOrHandledTwiceIsCaught) {
  const BuiltinFamily families[] = {Draw_ImageBuiltins, Misnamed};
  EXPECT_EQ(BuiltinGroup_Faults(Draw_GraphicGroup().order, families),
            (std::vector<std::string>{"draw_sprite: handled twice", "draw_sprit: not in the group's order"}));
}

// ---- Calls over a room and a recording device -----------------------------------------

// Page 64 x 16; entries 0 to 3 are 8 x 8 cells at x = 0, 8, 16, 24, entry 4
// a 16 x 8 cell at x = 32. Sprite 0 has four frames (entries 0 to 3) and its
// origin at (2, 1); sprites 1 to 6 one frame each on entry (index mod 4).
// Backgrounds 0 to 6 lie on entry (index mod 4), background 7 on entry 4.
const char kImages[] = R"(
PAGE width=64 height=16 fill=0xFFFFFFFF
ENTRY x=0 y=0 width=8 height=8
ENTRY x=8 y=0 width=8 height=8
ENTRY x=16 y=0 width=8 height=8
ENTRY x=24 y=0 width=8 height=8
ENTRY x=32 y=0 width=16 height=8
SPRITE "four" width=8 height=8 right=7 bottom=7 xorigin=2 yorigin=1 frames=0,1,2,3
SPRITE "s1" width=8 height=8 right=7 bottom=7 frames=1
SPRITE "s2" width=8 height=8 right=7 bottom=7 frames=2
SPRITE "s3" width=8 height=8 right=7 bottom=7 frames=3
SPRITE "s4" width=8 height=8 right=7 bottom=7 frames=0
SPRITE "s5" width=8 height=8 right=7 bottom=7 frames=1
SPRITE "s6" width=8 height=8 right=7 bottom=7 frames=2
BGND "b0" entry=0
BGND "b1" entry=1
BGND "b2" entry=2
BGND "b3" entry=3
BGND "b4" entry=0
BGND "b5" entry=1
BGND "b6" entry=2
BGND "wide" entry=4
)";

class ImageBuiltins : public RoomWorldTest {
 protected:
  void SetUp() override {
    RoomWorldTest::SetUp();
    GraphicsState_Reset(&device_);
    Textures_Reset();
    DrawState_ResetForTests();
    device_.captureVertices = true;
    Graphics_SetViewRect(0, 0, 640, 480);
    InitGraphicFunctions();
    images_.Load(kImages);
    room_.width = 40;
    room_.height = 24;
    g_Run.room = &room_;
    self_ = room_.CreateInstance(50, 60, Object_Add());
    self_->sprite_index = 0;
    self_->image_index = 2.5f;
    device_.ClearLog();
  }
  void TearDown() override {
    room_.DeleteAllInstances();
    g_Run.room = nullptr;
    Textures_Reset();
    DrawState_ResetForTests();
    GraphicsState_Clear();
    RoomWorldTest::TearDown();
  }

  // Calls `name` as `self_` with exactly these values in a block of their own.
  struct Outcome {
    double result = 0;
    std::string report;  // empty when nothing was reported
  };
  Outcome Call(const std::string& name, const std::vector<double>& values) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name;
    auto args = std::make_unique<ScriptValue[]>(values.size());
    for (size_t i = 0; i < values.size(); ++i) args[i].real = values[i];
    ScriptValue result;
    Error_ClearOccurred();
    testing::internal::CaptureStdout();
    FunctionRegistry_Call(index, self_, self_, &result, int(values.size()), args.get());
    testing::internal::GetCapturedStdout();
    Outcome out{result.Real(), Error_Occurred() ? Error_LastText() : ""};
    ScriptValue_Free(&result);
    return out;
  }

  std::vector<TexturedVertex> Drawn() {
    VertexBatch_Flush();
    std::vector<TexturedVertex> all;
    for (const auto& d : device_.Draws()) {
      const size_t n = d.vertices.size() / sizeof(TexturedVertex);
      const size_t at = all.size();
      all.resize(at + n);
      std::memcpy(all.data() + at, d.vertices.data(), n * sizeof(TexturedVertex));
    }
    return all;
  }

  gfx::RecordingDevice device_;
  CGameRoom room_;
  CObjInstance* self_ = nullptr;
  ImageChunks images_;
};

// What a call drew: the box of its vertices, the leftmost texel it reads (in
// page pixels, so 8 x frame for a whole 8 x 8 frame) and its corner colours.
struct Picture {
  float left, top, right, bottom;
  float texel;
  std::set<uint32_t> colours;
};

Picture Describe(const std::vector<TexturedVertex>& v) {
  Picture p{1e9f, 1e9f, -1e9f, -1e9f, 1e9f, {}};
  for (const TexturedVertex& t : v) {
    p.left = std::min(p.left, t.x);
    p.top = std::min(p.top, t.y);
    p.right = std::max(p.right, t.x);
    p.bottom = std::max(p.bottom, t.y);
    p.texel = std::min(p.texel, t.u * 64);
    p.colours.insert(t.colour);
  }
  return p;
}

constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

TEST_F(ImageBuiltins, EachCallDrawsItsFrameWhereAndHowItsArgumentsSay) {
  const struct Case {
    const char* name;
    std::vector<double> args;
    Picture want;
  } cases[] = {
      // Origin (2, 1); subimage floored, -1 and -0.5 the instance's frame
      // (image_index 2.5), 2.9999999999 is 3 in single precision, 5 wraps.
      {"draw_sprite", {0, 1, 10, 20}, {8, 19, 16, 27, 8, {kOpaqueWhite}}},
      {"draw_sprite", {0, 2.7, 10, 20}, {8, 19, 16, 27, 16, {kOpaqueWhite}}},
      {"draw_sprite", {0, -1, 10, 20}, {8, 19, 16, 27, 16, {kOpaqueWhite}}},
      {"draw_sprite", {0, -0.5, 10, 20}, {8, 19, 16, 27, 16, {kOpaqueWhite}}},
      {"draw_sprite", {0, 2.9999999999, 10, 20}, {8, 19, 16, 27, 24, {kOpaqueWhite}}},
      {"draw_sprite", {0, 5, 10, 20}, {8, 19, 16, 27, 8, {kOpaqueWhite}}},
      // The sprite index truncates: 5.9 is sprite 5 (entry 1), -0.9 sprite 0.
      {"draw_sprite", {5.9, 0, 10, 20}, {10, 20, 18, 28, 8, {kOpaqueWhite}}},
      {"draw_sprite", {-0.9, 0, 10, 20}, {8, 19, 16, 27, 0, {kOpaqueWhite}}},
      {"draw_sprite_ext", {0, 1, 10, 20, 2, 3, 0, 0x0000FF, 1}, {6, 17, 22, 41, 8, {0xFFFF0000u}}},
      // Colours round: 255.4 is red.
      {"draw_sprite_ext", {0, 0, 10, 20, -1, 1, 0, 255.4, 1}, {4, 19, 12, 27, 0, {0xFFFF0000u}}},
      // The subimage only truncates: -1 wraps to the last frame.
      {"draw_sprite_pos", {0, -1, 0, 0, 10, 0, 10, 12, 0, 12, 1}, {0, 0, 10, 12, 24, {kOpaqueWhite}}},
      {"draw_sprite_pos", {0, 1.9, 0, 0, 10, 0, 10, 12, 0, 12, 1}, {0, 0, 10, 12, 8, {kOpaqueWhite}}},
      {"draw_sprite_stretched", {0, 1, 10, 20, 16, 4}, {10, 20, 26, 24, 8, {kOpaqueWhite}}},
      {"draw_sprite_stretched_ext", {0, 1, 10, 20, 16, 4, 0x00FF00, 1}, {10, 20, 26, 24, 8, {0xFF00FF00u}}},
      {"draw_sprite_part", {0, 1, 2, 3, 4, 5, 10, 20}, {10, 20, 14, 25, 10, {kOpaqueWhite}}},
      {"draw_sprite_part_ext", {0, 1, 2, 3, 4, 5, 10, 20, 2, 3, 0xFF0000, 1}, {10, 20, 18, 35, 10, {0xFF0000FFu}}},
      {"draw_sprite_general",
       {0, 1, 2, 3, 4, 5, 10, 20, 2, 1, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 1},
       {10, 20, 18, 25, 10, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, kOpaqueWhite}}},
      {"draw_background", {5.5, 10, 20}, {10, 20, 18, 28, 16, {kOpaqueWhite}}},  // halves to even: 6
      {"draw_background", {4.5, 10, 20}, {10, 20, 18, 28, 0, {kOpaqueWhite}}},   // and 4
      {"draw_background_ext", {7, 10, 20, 2, 3, 0, 0x00FF00, 1}, {10, 20, 42, 44, 32, {0xFF00FF00u}}},
      {"draw_background_stretched", {1, 10, 20, 4, 16}, {10, 20, 14, 36, 8, {kOpaqueWhite}}},
      {"draw_background_stretched_ext", {1, 10, 20, 4, 16, 0xFF0000, 1}, {10, 20, 14, 36, 8, {0xFF0000FFu}}},
      {"draw_background_part", {7, 2, 3, 4, 5, 10, 20}, {10, 20, 14, 25, 34, {kOpaqueWhite}}},
      {"draw_background_part_ext", {7, 2, 3, 4, 5, 10, 20, 2, 3, 0x0000FF, 1}, {10, 20, 18, 35, 34, {0xFFFF0000u}}},
      {"draw_background_general",
       {7, 2, 3, 4, 5, 10, 20, 1, 2, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 1},
       {10, 20, 14, 30, 34, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, kOpaqueWhite}}},
  };
  for (const Case& c : cases) {
    device_.ClearLog();
    const auto out = Call(c.name, c.args);
    EXPECT_EQ(out.report, "") << c.name;
    const Picture got = Describe(Drawn());
    SCOPED_TRACE(std::string(c.name) + " " + ::testing::PrintToString(c.args));
    EXPECT_FLOAT_EQ(got.left, c.want.left);
    EXPECT_FLOAT_EQ(got.top, c.want.top);
    EXPECT_FLOAT_EQ(got.right, c.want.right);
    EXPECT_FLOAT_EQ(got.bottom, c.want.bottom);
    EXPECT_FLOAT_EQ(got.texel, c.want.texel);
    EXPECT_EQ(got.colours, c.want.colours);
  }
}

TEST_F(ImageBuiltins, PlainFormsUseWhiteAndTheDrawAlpha) {
  Draw_SetAlpha(0.5f);
  Draw_SetColour(0x123456);  // the draw colour plays no part
  for (const char* name : {"draw_sprite_stretched", "draw_sprite_part", "draw_sprite_tiled"}) {
    device_.ClearLog();
    Call(name, {0, 0, 0, 0, 8, 8, 0, 0});
    EXPECT_EQ(Describe(Drawn()).colours, (std::set<uint32_t>{0x7FFFFFFFu})) << name;
  }
  for (const char* name : {"draw_background_stretched", "draw_background_part", "draw_background_tiled"}) {
    device_.ClearLog();
    Call(name, {0, 0, 0, 8, 8, 0, 0});
    EXPECT_EQ(Describe(Drawn()).colours, (std::set<uint32_t>{0x7FFFFFFFu})) << name;
  }
}

TEST_F(ImageBuiltins, TiledFormsCoverTheRunningRoom) {
  const struct Case {
    const char* name;
    std::vector<double> args;
    float size;  // of one tile
    float texel;
  } cases[] = {
      {"draw_sprite_tiled", {3, 0, 5, 6}, 8, 24},
      {"draw_sprite_tiled_ext", {3, 0, 5, 6, 2, 2, 0xFFFFFF, 1}, 16, 24},
      {"draw_background_tiled", {2, 5, 6}, 8, 16},
      {"draw_background_tiled_ext", {2, 5, 6, 0.5, 0.5, 0xFFFFFF, 1}, 4, 16},
  };
  for (const Case& c : cases) {
    device_.ClearLog();
    Call(c.name, c.args);
    const std::vector<TexturedVertex> drawn = Drawn();
    const Picture p = Describe(drawn);
    SCOPED_TRACE(c.name);
    // Tiles line up with (5, 6) and cover the 40 x 24 room; the page drawer
    // starts one tile further back than it needs.
    EXPECT_LE(p.left, 0);
    EXPECT_LE(p.top, 0);
    EXPECT_GE(p.right, 40);
    EXPECT_GE(p.bottom, 24);
    EXPECT_GT(p.left, -2 * c.size);
    EXPECT_GT(p.top, -2 * c.size);
    EXPECT_LT(p.right, 40 + c.size);
    EXPECT_LT(p.bottom, 24 + c.size);
    for (const TexturedVertex& t : drawn) {
      EXPECT_FLOAT_EQ(std::fmod(t.x - 5 + 10 * c.size, c.size), 0) << t.x;
      EXPECT_FLOAT_EQ(std::fmod(t.y - 6 + 10 * c.size, c.size), 0) << t.y;
    }
    EXPECT_FLOAT_EQ(p.texel, c.texel);
  }
}

TEST_F(ImageBuiltins, DrawSelfDrawsTheInstancesSpriteAsItStands) {
  self_->image_index = 2.9f;
  self_->image_xscale = 2;
  self_->image_yscale = 3;
  self_->image_blend = 0x00FF00;
  self_->image_alpha = 0.5f;
  EXPECT_EQ(Call("draw_self", {}).report, "");
  const Picture p = Describe(Drawn());
  EXPECT_FLOAT_EQ(p.left, 50 - 4);
  EXPECT_FLOAT_EQ(p.top, 60 - 3);
  EXPECT_FLOAT_EQ(p.right, 50 + 12);
  EXPECT_FLOAT_EQ(p.bottom, 60 + 21);
  EXPECT_FLOAT_EQ(p.texel, 16);  // frame 2
  EXPECT_EQ(p.colours, (std::set<uint32_t>{0x7F00FF00u}));
}

TEST_F(ImageBuiltins, MissingResourcesAreReportedAndDrawNothing) {
  ASSERT_TRUE(Sprite_Delete(4));
  ASSERT_TRUE(Background_Delete(3));
  const struct Case {
    const char* name;
    std::vector<double> args;
    const char* message;
  } cases[] = {
      {"draw_sprite", {7, 0, 0, 0}, "Trying to draw non-existing sprite."},
      {"draw_sprite", {4, 0, 0, 0}, "Trying to draw non-existing sprite."},  // a deleted slot
      {"draw_sprite", {-1, 0, 0, 0}, "Trying to draw non-existing sprite."},
      {"draw_sprite", {6.5, 0, 0, 0}, nullptr},  // truncated, not rounded
      {"draw_sprite_ext", {1e300, 0, 0, 0, 1, 1, 0, 0, 1}, "Trying to draw non-existing sprite."},
      {"draw_sprite_pos", {-2, 0, 0, 0, 1, 0, 1, 1, 0, 1, 1}, "Trying to draw non-existing sprite."},
      {"draw_sprite_general", {9, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1}, "Trying to draw non-existing sprite."},
      {"draw_sprite_tiled_ext", {9, 0, 0, 0, 1, 1, 0, 1}, "Trying to draw non-existing sprite."},
      {"draw_background", {3, 0, 0}, "Trying to draw non-existing background."},
      {"draw_background", {7.5, 0, 0}, "Trying to draw non-existing background."},  // rounds to 8
      {"draw_background_ext", {-1, 0, 0, 1, 1, 0, 0, 1}, "Trying to draw non-existing background."},
      {"draw_background_tiled", {8, 0, 0}, "Trying to draw non-existing background."},
  };
  for (const Case& c : cases) {
    device_.ClearLog();
    const auto out = Call(c.name, c.args);
    if (c.message) {
      EXPECT_NE(out.report.find(c.message), std::string::npos) << c.name << ": " << out.report;
      EXPECT_TRUE(Drawn().empty()) << c.name;
    } else {
      EXPECT_EQ(out.report, "") << c.name;
      EXPECT_FALSE(Drawn().empty()) << c.name;
    }
  }
  self_->sprite_index = 4;
  EXPECT_NE(Call("draw_self", {}).report.find("Trying to draw non-existing sprite."), std::string::npos);
  self_->sprite_index = -1;
  EXPECT_NE(Call("draw_self", {}).report.find("Trying to draw non-existing sprite."), std::string::npos);
  EXPECT_TRUE(Drawn().empty());
}

// No built-in of the group may read past the values its caller passed: each
// is called with none and with its registered count, in a heap block of
// exactly that size, so the sanitizer build sees any read beyond it.
TEST_F(ImageBuiltins, NoBuiltinReadsBeyondItsArguments) {
  int called = 0;
  for (const BuiltinGroupName& n : Draw_GraphicGroup().order) {
    const int index = FunctionRegistry_Find(n.name);
    if (index < 0) continue;
    for (int argc : {0, n.args}) {
      auto args = std::make_unique<ScriptValue[]>(size_t(argc));
      for (int i = 0; i < argc; ++i) args[i].real = i % 3 == 0 ? 0 : 1;
      ScriptValue result;
      testing::internal::CaptureStdout();
      FunctionRegistry_Call(index, self_, self_, &result, argc, args.get());
      testing::internal::GetCapturedStdout();
      ScriptValue_Free(&result);
      for (int i = 0; i < argc; ++i) ScriptValue_Free(&args[i]);
      ++called;
    }
  }
  EXPECT_GT(called, 2 * 60);
}

}  // namespace
