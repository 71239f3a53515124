// The 2D shapes and free-form primitives through their built-ins, read back
// as the draws the recording device receives: kind, vertex size, vertices.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/paths.h"
#include "draw/draw.h"
#include "draw/draw_state.h"
#include "draw/primitives.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/value.h"
#include "unit/graphics/graphics_fixture.h"

namespace {

using ::testing::HasSubstr;

// The draw colour of every test: script 0x123456 at alpha 0.5.
constexpr uint32_t C = 0x7F563412;
// Script red, green, blue and white at alpha 0.5, as device colours.
constexpr uint32_t R = 0x7FFF0000, G = 0x7F00FF00, B = 0x7F0000FF, W = 0x7FFFFFFF;
constexpr double kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;
constexpr float kDepth = 3;

struct P {
  float x, y;
  uint32_t colour;
};

struct Want {
  int kind;
  int vertexSize;
  std::vector<P> v;
};

struct Vertex {
  float x, y, z;
  uint32_t colour;
  float u = 0, v = 0;
};

struct Drawn {
  int kind;
  int vertexSize;
  int primitives;
  gfx::TextureHandle texture;
  std::vector<Vertex> v;
};

class Primitives : public TexturedGraphicsTest {
 protected:
  void SetUp() override {
    TexturedGraphicsTest::SetUp();
    device.captureVertices = true;
    InitGraphicFunctions();
    DrawState_ResetForTests();
    Draw_PrimitiveBegin(0, -1);
    Path_FreeAll();
    Draw_SetColour(0x123456);
    Draw_SetAlpha(0.5f);
    Draw_State().depth = kDepth;
  }
  void TearDown() override {
    Path_FreeAll();
    Draw_PrimitiveBegin(0, -1);
    DrawState_ResetForTests();
    TexturedGraphicsTest::TearDown();
  }

  // Calls a built-in; the text of what it reported, empty when nothing.
  static std::string Call(const char* name, std::initializer_list<double> args = {}) {
    const int index = FunctionRegistry_Find(name);
    EXPECT_GE(index, 0) << name;
    std::vector<ScriptValue> values(args.size());
    size_t i = 0;
    for (double a : args) values[i++].real = a;
    ScriptValue result;
    Error_ResetForTests();  // a fatal report would silence the next
    Error_ClearOccurred();
    testing::internal::CaptureStdout();
    FunctionRegistry_Call(index, nullptr, nullptr, &result, int(values.size()), values.data());
    testing::internal::GetCapturedStdout();
    return Error_Occurred() ? Error_LastText() : std::string();
  }

  // Every draw so far, its vertices decoded.
  std::vector<Drawn> Draws() {
    VertexBatch_Flush();
    std::vector<Drawn> out;
    for (const auto& d : device.Draws()) {
      const int size = d.fvf == kFVF_PosColour ? 16 : 24;
      Drawn r{int(d.type), size, d.primitiveCount, d.texture, {}};
      for (size_t at = 0; at + size_t(size) <= d.vertices.size(); at += size_t(size)) {
        Vertex v;
        std::memcpy(&v, d.vertices.data() + at, size_t(size));
        r.v.push_back(v);
      }
      out.push_back(r);
    }
    device.ClearLog();
    return out;
  }

  void ExpectDraws(const std::vector<Want>& want, const std::string& what) {
    const std::vector<Drawn> got = Draws();
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t d = 0; d < want.size(); ++d) {
      EXPECT_EQ(got[d].kind, want[d].kind) << what << " draw " << d;
      EXPECT_EQ(got[d].vertexSize, want[d].vertexSize) << what << " draw " << d;
      EXPECT_EQ(got[d].texture, 0u) << what << " draw " << d;
      ASSERT_EQ(got[d].v.size(), want[d].v.size()) << what << " draw " << d;
      for (size_t i = 0; i < want[d].v.size(); ++i) {
        const Vertex& g = got[d].v[i];
        const P& w = want[d].v[i];
        EXPECT_NEAR(g.x, w.x, 1e-4) << what << " draw " << d << " vertex " << i;
        EXPECT_NEAR(g.y, w.y, 1e-4) << what << " draw " << d << " vertex " << i;
        EXPECT_EQ(g.z, kDepth) << what << " draw " << d << " vertex " << i;
        EXPECT_EQ(g.colour, w.colour) << what << " draw " << d << " vertex " << i;
        EXPECT_EQ(g.u, 0.0f) << what;
        EXPECT_EQ(g.v, 0.0f) << what;
      }
    }
  }

  static std::vector<P> Repeat(std::vector<P> v, uint32_t colour) {
    for (P& p : v) p.colour = colour;
    return v;
  }
};

constexpr int kPoints = gfx::Prim_PointList, kLines = gfx::Prim_LineList, kStrip = gfx::Prim_LineStrip,
              kTriangles = gfx::Prim_TriangleList, kFan = gfx::Prim_TriangleFan;

struct ShapeCase {
  const char* name;
  std::vector<double> args;
  std::vector<Want> draws;
};

TEST_F(Primitives, ShapesReserveTheirKindAndWriteTheirVertices) {
  const float third = 4.0f / 3, tenThirds = 10.0f / 3;
  const ShapeCase cases[] = {
      // The 2D offset (1, 1) reaches points, lines and wide lines.
      {"draw_point", {5, 5}, {{kPoints, 16, {{6, 6, C}}}}},
      {"draw_point_colour", {5, 5, kRed}, {{kPoints, 16, {{6, 6, R}}}}},
      {"draw_line", {0, 0, 9, 0}, {{kLines, 16, {{1, 1, C}, {10, 1, C}}}}},
      {"draw_line_color", {0, 0, 9, 0, kRed, kGreen}, {{kLines, 16, {{1, 1, R}, {10, 1, G}}}}},
      {"draw_line_width", {0, 0, 10, 0, 4}, {{kFan, 16, {{1, 3, C}, {11, 3, C}, {11, -1, C}, {1, -1, C}}}}},
      {"draw_line_width_colour", {0, 0, 0, 10, 2, kRed, kGreen},
       {{kFan, 16, {{0, 1, R}, {0, 11, G}, {2, 11, G}, {2, 1, R}}}}},
      {"draw_line_width", {3, 3, 3, 3, 4}, {}},
      {"draw_line_width_colour", {3, 3, 3, 3, 4, kRed, kGreen}, {}},
      // Triangles never get the offset; outline holds from 0.5 up.
      {"draw_triangle", {0, 0, 10, 0, 0, 10, 0.49}, {{kTriangles, 24, {{0, 0, C}, {10, 0, C}, {0, 10, C}}}}},
      {"draw_triangle", {0, 0, 10, 0, 0, 10, 0.5}, {{kStrip, 24, {{0, 0, C}, {10, 0, C}, {0, 10, C}, {0, 0, C}}}}},
      {"draw_triangle_colour", {0, 0, 10, 0, 0, 10, kRed, kGreen, kBlue, 1},
       {{kStrip, 24, {{0, 0, R}, {10, 0, G}, {0, 10, B}, {0, 0, R}}}}},
      {"draw_triangle_color", {0, 0, 10, 0, 0, 10, kRed, kGreen, kBlue, 0},
       {{kTriangles, 24, {{0, 0, R}, {10, 0, G}, {0, 10, B}}}}},
      // Filled rectangles take the offset on their right and bottom edges
      // only, whichever order the corners come in.
      {"draw_rectangle", {0, 0, 10, 10, 0},
       {{kTriangles, 24, {{0, 0, C}, {11, 0, C}, {11, 11, C}, {11, 11, C}, {0, 11, C}, {0, 0, C}}}}},
      {"draw_rectangle", {10, 10, 0, 0, 0},
       {{kTriangles, 24, {{0, 0, C}, {11, 0, C}, {11, 11, C}, {11, 11, C}, {0, 11, C}, {0, 0, C}}}}},
      // Outlines: a closed strip, then the corners as points.
      {"draw_rectangle", {19, 10, 10, 19, 1},
       {{kStrip, 24, {{11, 11, C}, {20, 11, C}, {20, 20, C}, {11, 20, C}, {11, 11, C}}},
        {kPoints, 24, {{11, 11, C}, {20, 11, C}, {20, 20, C}, {11, 20, C}}}}},
      // A whole-number right or bottom edge moves on by 0.01.
      {"draw_rectangle_colour", {0, 0, 10, 10, kRed, kGreen, kBlue, kWhite, 0},
       {{kFan, 24, {{0, 0, R}, {11.01f, 0, G}, {11.01f, 11.01f, B}, {0, 11.01f, W}, {0, 0, R}}}}},
      {"draw_rectangle_color", {0, 0, 9.5, 9.5, kRed, kGreen, kBlue, kWhite, 1},
       {{kStrip, 24, {{0, 0, R}, {10.5f, 0, G}, {10.5f, 10.5f, B}, {0, 10.5f, W}, {0, 0, R}}}}},
      // Arrows: the shaft with the offset, the head without.
      {"draw_arrow", {0, 0, 10, 0, 4},
       {{kLines, 16, {{1, 1, C}, {11, 1, C}}}, {kTriangles, 24, {{6, third, C}, {10, 0, C}, {6, -third, C}}}}},
      {"draw_arrow", {0, 0, 10, 0, 50},
       {{kLines, 16, {{1, 1, C}, {11, 1, C}}},
        {kTriangles, 24, {{0, tenThirds, C}, {10, 0, C}, {0, -tenThirds, C}}}}},
      {"draw_arrow", {5, 5, 5, 5, 3}, {}},
      // Buttons: light over dark when up, the face in the draw colour.
      {"draw_button", {0, 0, 10, 10, 1},
       {{kTriangles, 24,
         {{0, 0, W}, {10, 0, W}, {0, 10, W}, {0, 10, 0x7F808080}, {10, 0, 0x7F808080}, {10, 10, 0x7F808080},
          {2, 2, C}, {9, 2, C}, {9, 9, C}, {9, 9, C}, {2, 9, C}, {2, 2, C}}}}},
      {"draw_button", {0, 0, 10, 10, 0},
       {{kTriangles, 24,
         {{0, 0, 0x7F808080}, {10, 0, 0x7F808080}, {0, 10, 0x7F808080}, {0, 10, W}, {10, 0, W}, {10, 10, W},
          {2, 2, C}, {9, 2, C}, {9, 9, C}, {9, 9, C}, {2, 9, C}, {2, 2, C}}}}},
  };
  for (const ShapeCase& c : cases) {
    std::vector<ScriptValue> values(c.args.size());
    std::string label = c.name;
    for (size_t i = 0; i < c.args.size(); ++i) label += " " + std::to_string(c.args[i]);
    const int index = FunctionRegistry_Find(c.name);
    ASSERT_GE(index, 0) << c.name;
    for (size_t i = 0; i < c.args.size(); ++i) values[i].real = c.args[i];
    ScriptValue result;
    FunctionRegistry_Call(index, nullptr, nullptr, &result, int(values.size()), values.data());
    ExpectDraws(c.draws, label);
  }
}

TEST_F(Primitives, HealthBarsKeepOneEdgeAndTakeTheirColourFromTheAmount) {
  // min red, max green: the mid colour is merge(red, green, 0.5) = 0x008080.
  const uint32_t mid = 0x7F808000, quarter = 0x7FC04000;  // quarter: halfway from red to mid
  const uint32_t black = 0x7F000000, back = B;
  auto bar = [](float l, float t, float r, float b, uint32_t c) {
    return Want{kFan, 24, {{l, t, c}, {r, t, c}, {r, b, c}, {l, b, c}, {l, t, c}}};
  };
  struct Case {
    double amount, direction, showBack, showBorder;
    std::vector<Want> draws;
  } cases[] = {
      {0, 0, 1, 1, {bar(0, 0, 101.01f, 11.01f, back), {kStrip, 24, {}}}},
      {0, 0, 0, 1, {}},
      {-20, 0, 0, 0, {}},
      {NAN, 0, 0, 0, {}},
      {150, 0, 0, 0, {bar(0, 0, 101.01f, 11.01f, G)}},
      {50, 0, 0, 0, {bar(0, 0, 51.01f, 11.01f, mid)}},
      {25, 0, 0, 0, {bar(0, 0, 26.01f, 11.01f, quarter)}},
      {25, 7, 0, 0, {bar(0, 0, 26.01f, 11.01f, quarter)}},
      {25, 1, 0, 0, {bar(75, 0, 101.01f, 11.01f, quarter)}},
      {25, 2, 0, 0, {bar(0, 0, 101.01f, 3.5f, quarter)}},
      {25, 3, 0, 0, {bar(0, 7.5f, 101.01f, 11.01f, quarter)}},
      {100, 0, 0.5, 0.5,
       {bar(0, 0, 101.01f, 11.01f, back), {kStrip, 24, {}}, bar(0, 0, 101.01f, 11.01f, G), {kStrip, 24, {}}}},
  };
  for (Case& c : cases) {
    // A border is the outline of the rectangle before it.
    for (size_t i = 1; i < c.draws.size(); ++i) {
      if (c.draws[i].kind == kStrip) c.draws[i].v = Repeat(c.draws[i - 1].v, black);
    }
    EXPECT_EQ(Call("draw_healthbar", {0, 0, 100, 10, c.amount, kBlue, kRed, kGreen, c.direction, c.showBack,
                                      c.showBorder}),
              "");
    ExpectDraws(c.draws, "amount " + std::to_string(c.amount) + " direction " + std::to_string(c.direction));
  }
}

// The rim of an ellipse at precision n, from the circle table's angles.
std::vector<P> Rim(float cx, float cy, float rx, float ry, int n, uint32_t colour) {
  std::vector<P> v;
  for (int i = 0; i <= n; ++i) {
    const double a = 2 * M_PI * i / n;
    v.push_back({cx + float(std::cos(a)) * rx, cy + float(std::sin(a)) * ry, colour});
  }
  return v;
}

std::vector<P> Fill(float cx, float cy, const std::vector<P>& rim, uint32_t centre) {
  std::vector<P> v;
  for (size_t i = 0; i + 1 < rim.size(); ++i) {
    v.push_back({cx, cy, centre});
    v.push_back(rim[i]);
    v.push_back(rim[i + 1]);
  }
  return v;
}

TEST_F(Primitives, EllipsesFollowTheCirclePrecision) {
  // Precision 4: a diamond, 5 outline vertices or 4 triangles.
  Call("draw_set_circle_precision", {4});
  const std::vector<P> diamond = {{15, 10, C}, {10, 15, C}, {5, 10, C}, {10, 5, C}, {15, 10, C}};
  Call("draw_circle", {10, 10, 5, 1});
  ExpectDraws({{kStrip, 24, diamond}}, "outline diamond");
  Call("draw_circle_colour", {10, 10, 5, kRed, kGreen, 0});
  ExpectDraws({{kTriangles, 24, Fill(10, 10, Repeat(diamond, G), R)}}, "filled diamond");
  for (int n : {8, 24, 64}) {
    Call("draw_set_circle_precision", {double(n)});
    // Radii come from the box whichever way round it is given.
    Call("draw_ellipse", {20, 10, 0, 0, 1});
    ExpectDraws({{kStrip, 24, Rim(10, 5, 10, 5, n, C)}}, "ellipse outline " + std::to_string(n));
    Call("draw_ellipse_colour", {0, 0, 20, 10, kRed, kGreen, 0});
    ExpectDraws({{kTriangles, 24, Fill(10, 5, Rim(10, 5, 10, 5, n, G), R)}}, "ellipse " + std::to_string(n));
  }
}

TEST_F(Primitives, RoundRectanglesAreFourQuarterArcsAroundTheCentre) {
  Call("draw_set_circle_precision", {8});
  // 40 x 20 after the 0.01 rule; corners 10 x 10 centred 15.005 and 5.005
  // in from the centre (20.005, 10.005).
  const float cx = 20.005f, cy = 10.005f, dx = 15.005f, dy = 5.005f;
  const float ax[4] = {cx + dx, cx - dx, cx - dx, cx + dx}, ay[4] = {cy + dy, cy + dy, cy - dy, cy - dy};
  std::vector<P> v = {{cx, cy, R}};
  for (int q = 0; q < 4; ++q) {
    for (int i = 2 * q; i <= 2 * q + 2; ++i) {
      const double a = 2 * M_PI * i / 8;
      v.push_back({ax[q] + float(std::cos(a)) * 5, ay[q] + float(std::sin(a)) * 5, G});
    }
  }
  v.push_back(v[1]);
  ASSERT_EQ(v.size(), 14u);  // precision + 6
  Call("draw_roundrect_colour", {40, 20, 0, 0, kRed, kGreen, 0});
  ExpectDraws({{kFan, 24, v}}, "filled");
  v[0] = v[1];
  Call("draw_roundrect_colour", {0, 0, 40, 20, kRed, kGreen, 1});
  ExpectDraws({{kStrip, 24, v}}, "outline");
}

TEST_F(Primitives, ARoundRectangleSmallerThanItsCornersIsAnEllipse) {
  // The 10 x 10 corners are capped at the 6.01 box: every arc is centred on
  // the box centre, so the shape is the box's ellipse.
  Call("draw_roundrect", {0, 0, 6, 6, 0});
  const std::vector<Drawn> got = Draws();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, kFan);
  ASSERT_EQ(got[0].v.size(), 30u);  // precision 24 + 6
  EXPECT_NEAR(got[0].v[0].x, 3.005f, 1e-5);
  EXPECT_NEAR(got[0].v[0].y, 3.005f, 1e-5);
  for (size_t i = 1; i < got[0].v.size(); ++i) {
    EXPECT_NEAR(std::hypot(got[0].v[i].x - 3.005f, got[0].v[i].y - 3.005f), 3.005f, 1e-4) << i;
  }
}

TEST_F(Primitives, FreeFormVerticesTakeTheirColourAndDrawAsTheirKind) {
  Call("draw_primitive_begin", {2});
  Call("draw_vertex", {1, 2});
  Call("draw_vertex_colour", {3, 4, kRed, 0.25});  // alpha byte 63
  Call("draw_primitive_end");
  ExpectDraws({{kLines, 24, {{1, 2, C}, {3, 4, 0x3FFF0000}}}}, "line list");
  // Kinds outside 1..6 draw nothing.
  for (double kind : {0.0, 7.0, -1.0}) {
    Call("draw_primitive_begin", {kind});
    Call("draw_vertex", {1, 2});
    Call("draw_primitive_end");
    ExpectDraws({}, "kind " + std::to_string(kind));
  }
}

TEST_F(Primitives, TheListKeepsTheFirst1001Vertices) {
  Call("draw_primitive_begin", {1});
  for (int i = 0; i < 1005; ++i) Call("draw_vertex", {double(i), 0});
  EXPECT_EQ(Draw_PrimitiveCount(), kPrimitiveMaxVertices);
  Call("draw_primitive_end");
  const std::vector<Drawn> got = Draws();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].v.size(), 1001u);
  EXPECT_EQ(got[0].primitives, 1001);
  EXPECT_EQ(got[0].v.back().x, 1000.0f);
}

TEST_F(Primitives, EndingTwiceDrawsTheListTwice) {
  Call("draw_primitive_begin", {4});
  Call("draw_vertex", {0, 0});
  Call("draw_vertex", {10, 0});
  Call("draw_vertex", {0, 10});
  Call("draw_primitive_end");
  Call("draw_primitive_end");
  const std::vector<Drawn> got = Draws();
  ASSERT_EQ(got.size(), 1u);  // two lists of the same kind share a batch
  EXPECT_EQ(got[0].primitives, 2);
  ASSERT_EQ(got[0].v.size(), 6u);
  EXPECT_EQ(got[0].v[3].x, 0.0f);
  EXPECT_EQ(got[0].v[4].x, 10.0f);
  // A fan is its own batch each time.
  Call("draw_primitive_begin", {6});
  for (int i = 0; i < 3; ++i) Call("draw_vertex", {double(i), 1});
  Call("draw_primitive_end");
  Call("draw_primitive_end");
  EXPECT_EQ(Draws().size(), 2u);
}

TEST_F(Primitives, TexturesAreIndicesOrPageEntries) {
  std::vector<uint32_t> pixels(64, 0xFFFFFFFF);
  const int texture = Texture_AddFromPixels(8, 8, pixels.data(), pixels.size() * 4);
  ASSERT_GE(texture, 0);
  const gfx::TextureHandle deviceTexture = Texture_GetD3D(texture)->texture;

  // An index: u and v as given.
  EXPECT_EQ(Call("draw_primitive_begin_texture", {4, double(texture)}), "");
  Call("draw_vertex_texture", {0, 0, 0.5, 0.25});
  Call("draw_vertex_texture_color", {1, 0, 1, 1, kRed, 1});
  Call("draw_vertex", {0, 1});
  Call("draw_primitive_end");
  std::vector<Drawn> got = Draws();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].texture, deviceTexture);
  ASSERT_EQ(got[0].v.size(), 3u);
  EXPECT_EQ(got[0].v[0].u, 0.5f);
  EXPECT_EQ(got[0].v[0].v, 0.25f);
  EXPECT_EQ(got[0].v[1].colour, 0xFFFF0000u);

  // A page entry: 0..1 spans the entry's 4 x 2 image at (2, 4) on the 8 x 8 page.
  TexturePageEntry entry;
  entry.x = 2, entry.y = 4, entry.width = 4, entry.height = 2, entry.cropWidth = 4, entry.cropHeight = 2;
  entry.texture = texture;
  const int32_t handle = TPage_Handle(TPage_Add(entry));
  ASSERT_GE(handle, 16385);
  EXPECT_EQ(Call("draw_primitive_begin_texture", {4, double(handle)}), "");
  Call("draw_vertex_texture", {0, 0, 0, 0});
  Call("draw_vertex_texture", {1, 0, 1, 1});
  Call("draw_vertex_texture_color", {0, 1, 0.5, 0.5, kRed, 1});
  Call("draw_primitive_end");
  got = Draws();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].texture, deviceTexture);
  ASSERT_EQ(got[0].v.size(), 3u);
  EXPECT_EQ(got[0].v[0].u, 0.25f);
  EXPECT_EQ(got[0].v[0].v, 0.5f);
  EXPECT_EQ(got[0].v[1].u, 0.75f);
  EXPECT_EQ(got[0].v[1].v, 0.75f);
  EXPECT_EQ(got[0].v[2].u, 0.5f);
  EXPECT_EQ(got[0].v[2].v, 0.625f);
}

TEST_F(Primitives, AValueThatNamesNoTextureIsIllegal) {
  // Below the entry threshold, above it, and past every entry.
  for (double bad : {100.0, -5.0, 16384.0, 20000.0, double(kTexturePageHandleBase + 3)}) {
    EXPECT_THAT(Call("draw_primitive_begin_texture", {4, bad}), HasSubstr("Illegal texture supplied.")) << bad;
    Call("draw_vertex", {0, 0});
    Call("draw_vertex", {1, 0});
    Call("draw_vertex", {0, 1});
    Call("draw_primitive_end");
    const std::vector<Drawn> got = Draws();
    ASSERT_EQ(got.size(), 1u) << bad;
    EXPECT_EQ(got[0].texture, 0u) << "drawn untextured";
  }
  EXPECT_EQ(Call("draw_primitive_begin_texture", {4, -1}), "");
}

class PathDrawing : public Primitives {
 protected:
  // An open straight path through the points.
  static int Path(std::initializer_list<P> points) {
    const int index = Path_Add();
    CMotionPath* path = Path_Get(index);
    path->SetClosed(false);
    for (const P& p : points) path->AddPoint(p.x, p.y, 100);
    return index;
  }
};

TEST_F(PathDrawing, APathIsALineStripEveryFourPixels) {
  const int path = Path({{100, 100, 0}, {110, 100, 0}});  // length 10: 3 samples
  EXPECT_EQ(Call("draw_path", {double(path), 5, 7, 1}), "");
  ExpectDraws({{kStrip, 24, {{100, 100, C}, {105, 100, C}, {110, 100, C}}}}, "absolute");
  // Relative: the path starts at (x, y).
  EXPECT_EQ(Call("draw_path", {double(path), 5, 7, 0.49}), "");
  ExpectDraws({{kStrip, 24, {{5, 7, C}, {10, 7, C}, {15, 7, C}}}}, "relative");
  // Length 2 rounds to no sample (halves to even); 6 to two.
  Call("draw_path", {double(Path({{0, 0, 0}, {2, 0, 0}})), 0, 0, 1});
  ExpectDraws({}, "length 2");
  Call("draw_path", {double(Path({{0, 0, 0}, {6, 0, 0}})), 0, 0, 1});
  ExpectDraws({{kStrip, 24, {{0, 0, C}, {3, 0, C}, {6, 0, C}}}}, "length 6");
}

TEST_F(PathDrawing, ALongPathIsDrawnWholeWithinTheVertexLimit) {
  Call("draw_path", {double(Path({{0, 0, 0}, {8000, 0, 0}})), 0, 0, 1});
  const std::vector<Drawn> got = Draws();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].v.size(), 1001u);
  EXPECT_EQ(got[0].v[1].x, 8.0f);
  EXPECT_EQ(got[0].v.back().x, 8000.0f);
}

TEST_F(PathDrawing, APathReplacesTheListAScriptBegan) {
  const int path = Path({{0, 0, 0}, {10, 0, 0}});
  Call("draw_primitive_begin", {1});
  Call("draw_vertex", {50, 50});
  Call("draw_path", {double(path), 0, 0, 1});
  Call("draw_primitive_end");
  const std::vector<Drawn> got = Draws();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].kind, kStrip);
  EXPECT_EQ(got[1].v.size(), 3u);
}

TEST_F(PathDrawing, AMissingPathIsReportedAndNothingDrawn) {
  const int path = Path({{0, 0, 0}, {10, 0, 0}});
  Path_Delete(path);
  for (double index : {double(path), -1.0, 99.0}) {
    EXPECT_THAT(Call("draw_path", {index, 0, 0, 0}), HasSubstr("Trying to drawn non-existing path.")) << index;
  }
  ExpectDraws({}, "missing paths");
}

}  // namespace
