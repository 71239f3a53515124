// The OpenGL device, checked by reading back what it drew on an offscreen
// window. Skips when no OpenGL 3.3 context can be made.
#include "platform/gfx/gl/gl_device.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/batching.h"
#include "platform/leaks_ignored.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "platform/gfx/gl/gl_window.h"
#include "unit/graphics/graphics_fixture.h"

namespace {

using namespace gfx;

constexpr int kW = 64, kH = 48;

struct ColourVertex {
  float x, y, z;
  uint32_t colour;
};
struct TexVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
static_assert(sizeof(ColourVertex) == 16 && sizeof(TexVertex) == 24);

int R(uint32_t c) { return (c >> 16) & 0xFF; }
int G(uint32_t c) { return (c >> 8) & 0xFF; }
int B(uint32_t c) { return c & 0xFF; }

class GlDeviceTest : public ::testing::Test {
  // Constructed before the context and destroyed after it.
  LeaksIgnored leaksIgnored_;

 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::string error;
    window = GLWindow::Create("gl device test", kW, kH, false, &error);
    if (!window) GTEST_SKIP() << "no OpenGL 3.3 context: " << error;
    int w = 0, h = 0;
    window->DrawableSize(&w, &h);
    if (w != kW || h != kH) GTEST_SKIP() << "drawable is " << w << "x" << h;
    glErrors = 0;
    if (epoxy_has_gl_extension("GL_KHR_debug")) {
      glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
      glDebugMessageCallback(OnDebugMessage, nullptr);
      glEnable(GL_DEBUG_OUTPUT);
    }
    device = std::make_unique<GLDevice>(window->Window());
    SetPixelProjection();
    device->SetRenderState(RS_CullMode, Cull_None);
    device->SetRenderState(RS_Lighting, 0);
    // Untextured draws take the vertex colour alone.
    device->SetTextureStageState(0, TSS_ColourOp, TOp_Modulate);
    device->SetTextureStageState(0, TSS_AlphaOp, TOp_Modulate);
    device->SetTextureStageState(0, TSS_AlphaArg2, TArg_Diffuse);
    device->SetTextureStageState(0, TSS_ColourArg2, TArg_Diffuse);
    device->Clear(Clear_Target | Clear_ZBuffer, 0xFF000000u, 1.0f, 0);
  }
  void TearDown() override {
    // Every call the device made must have been valid OpenGL.
    if (window) {
      EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
      EXPECT_EQ(glErrors, 0) << lastGlError;
    }
    device.reset();
    window.reset();
  }

  static void GLAPIENTRY OnDebugMessage(GLenum, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                                        const void*) {
    if (type != GL_DEBUG_TYPE_ERROR) return;
    ++glErrors;
    lastGlError = message;
  }
  static inline int glErrors = 0;
  static inline std::string lastGlError;

  // The engine's 2D camera: a centred orthographic projection (y down) and a
  // view moving the top-left corner to the origin.
  void SetPixelProjection() {
    Matrix view, projection, world;
    Matrix_Identity(&view);
    view.m[3][0] = -kW * 0.5f;
    view.m[3][1] = -kH * 0.5f;
    view.m[3][2] = 16000.0f;
    Matrix_BuildOrtho(&projection, kW, -kH, 1.0f, 32000.0f);
    Matrix_Identity(&world);
    device->SetTransform(Transform::View, view);
    device->SetTransform(Transform::Projection, projection);
    device->SetTransform(Transform::World, world);
  }

  std::vector<uint32_t> Pixels() {
    int w = 0, h = 0;
    std::vector<uint32_t> p = window->ReadPixels(&w, &h);
    EXPECT_EQ(w, kW);
    EXPECT_EQ(h, kH);
    return p;
  }
  uint32_t At(const std::vector<uint32_t>& p, int x, int y) { return p[static_cast<size_t>(y) * kW + x] & 0xFFFFFFu; }

  // Checks every pixel: `inside` within [x0,x1)×[y0,y1), `outside` elsewhere.
  void ExpectRect(int x0, int y0, int x1, int y1, uint32_t inside, uint32_t outside) {
    std::vector<uint32_t> p = Pixels();
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
        uint32_t want = in ? inside : outside;
        if (At(p, x, y) != want && ++wrong <= 5)
          ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << std::hex << At(p, x, y) << ", want " << want;
      }
    EXPECT_EQ(wrong, 0);
  }

  static std::vector<ColourVertex> QuadList(float x0, float y0, float x1, float y1, uint32_t c) {
    return {{x0, y0, 0, c}, {x1, y0, 0, c}, {x0, y1, 0, c}, {x1, y0, 0, c}, {x1, y1, 0, c}, {x0, y1, 0, c}};
  }
  void DrawQuad(float x0, float y0, float x1, float y1, uint32_t c) {
    std::vector<ColourVertex> v = QuadList(x0, y0, x1, y1, c);
    device->SetFVF(FVF_XYZ | FVF_Diffuse);
    device->DrawPrimitiveUP(Prim_TriangleList, 2, v.data(), sizeof(ColourVertex));
  }

  // A plain texture holding `pixels`.
  TextureHandle MakeTexture(int w, int h, const uint32_t* pixels) {
    TextureHandle t = device->CreateTexture(w, h, 0);
    if (t && pixels) {
      EXPECT_TRUE(device->UpdateTexture(t, 0, 0, w, h, pixels, w));
    }
    return t;
  }

  std::unique_ptr<GLWindow> window;
  std::unique_ptr<GLDevice> device;
};

TEST_F(GlDeviceTest, ClearChangesOnlyTheViewport) {
  device->SetViewport(Viewport{8, 4, 16, 10, 0.0f, 1.0f});
  // Write masks must not limit a clear, even once a draw has applied them.
  device->SetRenderState(RS_ColorWriteEnable, 0);
  DrawQuad(0, 0, kW, kH, 0xFF00FF00u);
  device->Clear(Clear_Target, 0xFFFF0000u, 1.0f, 0);
  ExpectRect(8, 4, 24, 14, 0xFF0000u, 0x000000u);

  // Drawing afterwards keeps the mask that was set.
  device->SetViewport(Viewport{0, 0, kW, kH, 0.0f, 1.0f});
  DrawQuad(0, 0, kW, kH, 0xFF00FF00u);
  ExpectRect(8, 4, 24, 14, 0xFF0000u, 0x000000u);
}

TEST_F(GlDeviceTest, PrimitiveKindsLightExactlyTheQuad) {
  const uint32_t c = 0xFF00FF00u;
  const float x0 = 10, y0 = 20, x1 = 30, y1 = 25;
  struct Case {
    PrimitiveType type;
    int primitives;
    std::vector<ColourVertex> vertices;
    bool throughBuffer;
  };
  const Case cases[] = {
      {Prim_TriangleList, 2, QuadList(x0, y0, x1, y1, c), false},
      {Prim_TriangleList, 2, QuadList(x0, y0, x1, y1, c), true},
      {Prim_TriangleStrip, 2, {{x0, y0, 0, c}, {x1, y0, 0, c}, {x0, y1, 0, c}, {x1, y1, 0, c}}, true},
      {Prim_TriangleFan, 2, {{x0, y0, 0, c}, {x1, y0, 0, c}, {x1, y1, 0, c}, {x0, y1, 0, c}}, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "primitive " << k.type << (k.throughBuffer ? " via buffer" : " from memory"));
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->SetFVF(FVF_XYZ | FVF_Diffuse);
    if (k.throughBuffer) {
      size_t bytes = k.vertices.size() * sizeof(ColourVertex);
      // Two vertices of padding in front test the start vertex.
      VertexBufferHandle vb =
          device->CreateVertexBuffer(bytes + 2 * sizeof(ColourVertex), Usage_Dynamic, FVF_XYZ | FVF_Diffuse,
                                     Pool::SystemMemory);
      ASSERT_NE(vb, 0u);
      void* p = device->LockVertexBuffer(vb, 2 * sizeof(ColourVertex), bytes, Lock_Discard);
      ASSERT_NE(p, nullptr);
      std::memcpy(p, k.vertices.data(), bytes);
      ASSERT_TRUE(device->UnlockVertexBuffer(vb));
      device->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
      device->DrawPrimitive(k.type, 2, k.primitives);
      device->ReleaseVertexBuffer(vb);
    } else {
      device->DrawPrimitiveUP(k.type, k.primitives, k.vertices.data(), sizeof(ColourVertex));
    }
    ExpectRect(10, 20, 30, 25, 0x00FF00u, 0x000000u);
  }
}

TEST_F(GlDeviceTest, ViewportMovesAndScalesTheDrawing) {
  // The full pixel projection squeezed into a 32×24 viewport at (16,8).
  device->SetViewport(Viewport{16, 8, 32, 24, 0.0f, 1.0f});
  DrawQuad(0, 0, 32, 24, 0xFF0000FFu);
  ExpectRect(16, 8, 32, 20, 0x0000FFu, 0x000000u);
}

TEST_F(GlDeviceTest, PointsAndLinesGetHalfPixelBias) {
  const uint32_t c = 0xFFFFFFFFu;
  // Shifted half a pixel up and left before rasterising.
  struct Case {
    float x, y;
    int px, py;
  };
  const Case points[] = {{5.0f, 5.0f, 4, 4}, {5.25f, 5.25f, 4, 4}, {5.75f, 9.75f, 5, 9}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  for (const Case& k : points) {
    SCOPED_TRACE(testing::Message() << "point " << k.x << "," << k.y);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    ColourVertex point{k.x, k.y, 0, c};
    device->DrawPrimitiveUP(Prim_PointList, 1, &point, sizeof point);
    ExpectRect(k.px, k.py, k.px + 1, k.py + 1, 0xFFFFFFu, 0x000000u);
  }

  // Triangles get no such shift (the quad tests), lines do.
  const PrimitiveType lineKinds[] = {Prim_LineList, Prim_LineStrip};
  for (PrimitiveType kind : lineKinds) {
    SCOPED_TRACE(testing::Message() << "line kind " << kind);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    ColourVertex line[2] = {{2, 10.25f, 0, c}, {12, 10.25f, 0, c}};
    device->DrawPrimitiveUP(kind, 1, line, sizeof(ColourVertex));
    std::vector<uint32_t> p = Pixels();
    int lit = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (At(p, x, y) != 0) {
          ++lit;
          EXPECT_EQ(y, 9) << "x " << x;
          EXPECT_TRUE(x >= 1 && x <= 11) << "x " << x;
        }
    EXPECT_GE(lit, 9);
  }
}

TEST_F(GlDeviceTest, TextureUploadsTopDownAndCombinesPerStage) {
  // 2×2: red, green / blue, white, with point sampling.
  const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  TextureHandle tex = MakeTexture(2, 2, texels);
  ASSERT_NE(tex, 0u);
  device->SetSamplerState(0, SS_MagFilter, Filter_Point);
  device->SetSamplerState(0, SS_MinFilter, Filter_Point);
  device->SetTexture(0, tex);
  device->SetTextureStageState(0, TSS_ColourArg1, TArg_Texture);
  device->SetTextureStageState(0, TSS_AlphaArg1, TArg_Texture);
  const uint32_t grey = 0xFF808080u;
  std::vector<TexVertex> quad = {{0, 0, 0, grey, 0, 0},   {16, 0, 0, grey, 1, 0}, {0, 16, 0, grey, 0, 1},
                                 {16, 16, 0, grey, 1, 1}};
  struct Case {
    uint32_t op;
    uint32_t want[4];  // top-left, top-right, bottom-left, bottom-right
  };
  const Case cases[] = {
      {TOp_Modulate, {0x800000u, 0x008000u, 0x000080u, 0x808080u}},
      {TOp_SelectArg1, {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFFFFu}},
      {TOp_SelectArg2, {0x808080u, 0x808080u, 0x808080u, 0x808080u}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "colour op " << k.op);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->SetTextureStageState(0, TSS_ColourOp, k.op);
    device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);
    device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad.data(), sizeof(TexVertex));
    std::vector<uint32_t> p = Pixels();
    const int spots[4][2] = {{2, 2}, {13, 2}, {2, 13}, {13, 13}};
    for (int i = 0; i < 4; ++i) {
      uint32_t got = At(p, spots[i][0], spots[i][1]);
      EXPECT_NEAR(R(got), R(k.want[i]), 1) << "spot " << i;
      EXPECT_NEAR(G(got), G(k.want[i]), 1) << "spot " << i;
      EXPECT_NEAR(B(got), B(k.want[i]), 1) << "spot " << i;
    }
    EXPECT_EQ(At(p, 16, 2), 0u);
  }

  // A released texture reads as white: modulate leaves the diffuse.
  device->ReleaseTexture(tex);
  EXPECT_EQ(device->LiveTextures(), 0u);
  device->SetTextureStageState(0, TSS_ColourOp, TOp_Modulate);
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad.data(), sizeof(TexVertex));
  std::vector<uint32_t> p = Pixels();
  EXPECT_EQ(At(p, 2, 2), 0x808080u);
}

TEST_F(GlDeviceTest, TextureReplaceAndWrapSampling) {
  uint32_t texels[2] = {0xFFFF0000u, 0xFF0000FFu};  // 2×1: red, blue
  TextureHandle tex = MakeTexture(2, 1, texels);
  ASSERT_NE(tex, 0u);
  texels[0] = 0xFF00FF00u;  // green, blue after the upload
  ASSERT_TRUE(device->UpdateTexture(tex, 0, 0, 2, 1, texels, 2));
  EXPECT_FALSE(device->UpdateTexture(tex + 1, 0, 0, 2, 1, texels, 2));
  EXPECT_FALSE(device->UpdateTexture(tex, 1, 0, 2, 1, texels, 2));  // leaves the texture
  device->SetTexture(0, tex);
  device->SetTextureStageState(0, TSS_ColourOp, TOp_SelectArg1);
  device->SetTextureStageState(0, TSS_ColourArg1, TArg_Texture);
  const uint32_t w = 0xFFFFFFFFu;
  // u runs 0..2 over 16 pixels: green, blue, green, blue in 4-pixel bands
  // when wrapping; clamped, everything past the middle is blue.
  std::vector<TexVertex> quad = {{0, 0, 0, w, 0, 0}, {16, 0, 0, w, 2, 0}, {0, 4, 0, w, 0, 1}, {16, 4, 0, w, 2, 1}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad.data(), sizeof(TexVertex));
  std::vector<uint32_t> p = Pixels();
  EXPECT_EQ(At(p, 1, 1), 0x00FF00u);
  EXPECT_EQ(At(p, 5, 1), 0x0000FFu);
  EXPECT_EQ(At(p, 9, 1), 0x00FF00u);
  EXPECT_EQ(At(p, 13, 1), 0x0000FFu);

  device->SetSamplerState(0, SS_AddressU, Address_Clamp);
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad.data(), sizeof(TexVertex));
  p = Pixels();
  EXPECT_EQ(At(p, 1, 1), 0x00FF00u);
  EXPECT_EQ(At(p, 9, 1), 0x0000FFu);
  EXPECT_EQ(At(p, 13, 1), 0x0000FFu);
}

TEST_F(GlDeviceTest, BlendFactorsAndOperations) {
  struct Case {
    const char* name;
    uint32_t src, dst, op;
    uint32_t background, colour;
    int r, g, b;
  };
  const Case cases[] = {
      {"alpha over", Blend_SrcAlpha, Blend_InvSrcAlpha, BlendOp_Add, 0xFF0000FFu, 0x80FF0000u, 128, 0, 127},
      {"both src alpha", Blend_BothSrcAlpha, Blend_Zero, BlendOp_Add, 0xFF0000FFu, 0x80FF0000u, 128, 0, 127},
      {"additive", Blend_One, Blend_One, BlendOp_Add, 0xFF402010u, 0xFF102030u, 0x50, 0x40, 0x40},
      {"additive saturates", Blend_SrcAlpha, Blend_One, BlendOp_Add, 0xFFF0F0F0u, 0xFFFF0000u, 255, 0xF0, 0xF0},
      {"subtract is source minus destination", Blend_One, Blend_One, BlendOp_Subtract, 0xFF102030u, 0xFF804020u,
       0x70, 0x20, 0},
      {"reverse subtract", Blend_One, Blend_One, BlendOp_RevSubtract, 0xFF804020u, 0xFF102030u, 0x70, 0x20, 0},
      {"max", Blend_One, Blend_One, BlendOp_Max, 0xFF804020u, 0xFF102030u, 0x80, 0x40, 0x30},
      {"destination colour", Blend_DestColour, Blend_Zero, BlendOp_Add, 0xFF808080u, 0xFFFF8000u, 0x80, 0x40, 0},
      // min(source alpha, 1 - destination alpha) is 0 over an opaque target.
      {"source alpha saturated", Blend_SrcAlphaSat, Blend_One, BlendOp_Add, 0xFF204060u, 0xFFFFFFFFu, 0x20, 0x40,
       0x60},
      {"inverse destination alpha", Blend_InvDestAlpha, Blend_DestAlpha, BlendOp_Add, 0xFF204060u, 0xFFFFFFFFu, 0x20,
       0x40, 0x60},
  };
  device->SetRenderState(RS_AlphaBlendEnable, 1);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    device->SetRenderState(RS_AlphaBlendEnable, 0);
    DrawQuad(0, 0, kW, kH, k.background);
    device->SetRenderState(RS_AlphaBlendEnable, 1);
    device->SetRenderState(RS_SrcBlend, k.src);
    device->SetRenderState(RS_DestBlend, k.dst);
    device->SetRenderState(RS_BlendOp, k.op);
    DrawQuad(4, 4, 12, 12, k.colour);
    std::vector<uint32_t> p = Pixels();
    uint32_t got = At(p, 8, 8);
    EXPECT_NEAR(R(got), k.r, 1);
    EXPECT_NEAR(G(got), k.g, 1);
    EXPECT_NEAR(B(got), k.b, 1);
    EXPECT_EQ(At(p, 2, 2), k.background & 0xFFFFFFu);
  }
  // Switched off, the source replaces the destination.
  device->SetRenderState(RS_AlphaBlendEnable, 0);
  DrawQuad(4, 4, 12, 12, 0x80FF0000u);
  EXPECT_EQ(At(Pixels(), 8, 8), 0xFF0000u);
}

TEST_F(GlDeviceTest, AlphaTestDiscardsAgainstTheReference) {
  struct Case {
    uint32_t func, ref;
    bool leftDrawn, rightDrawn;  // left alpha 0x40, right alpha 0xC0
  };
  const Case cases[] = {
      {Cmp_Greater, 0x80, false, true},   {Cmp_Less, 0x80, true, false},     {Cmp_Equal, 0x40, true, false},
      {Cmp_GreaterEqual, 0xC0, false, true}, {Cmp_NotEqual, 0xC0, true, false}, {Cmp_Never, 0, false, false},
      {Cmp_Always, 0xFF, true, true},
  };
  device->SetRenderState(RS_AlphaTestEnable, 1);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "func " << k.func << " ref " << k.ref);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->SetRenderState(RS_AlphaFunc, k.func);
    device->SetRenderState(RS_AlphaRef, k.ref);
    DrawQuad(0, 0, 8, 8, 0x40FF0000u);
    DrawQuad(8, 0, 16, 8, 0xC000FF00u);
    std::vector<uint32_t> p = Pixels();
    EXPECT_EQ(At(p, 4, 4), k.leftDrawn ? 0xFF0000u : 0u);
    EXPECT_EQ(At(p, 12, 4), k.rightDrawn ? 0x00FF00u : 0u);
  }
  // Test off: everything is drawn whatever the function.
  device->SetRenderState(RS_AlphaTestEnable, 0);
  device->SetRenderState(RS_AlphaFunc, Cmp_Never);
  DrawQuad(0, 0, 8, 8, 0x00FF0000u);
  EXPECT_EQ(At(Pixels(), 4, 4), 0xFF0000u);
}

TEST_F(GlDeviceTest, ColourWriteMaskAndCulling) {
  device->SetRenderState(RS_ColorWriteEnable, 0x1 | 0x4);  // red and blue
  DrawQuad(0, 0, 8, 8, 0xFFFFFFFFu);
  EXPECT_EQ(At(Pixels(), 4, 4), 0xFF00FFu);
  device->SetRenderState(RS_ColorWriteEnable, 0xF);

  // Clockwise on screen (y down): top-left, top-right, bottom-left.
  ColourVertex cw[3] = {{20, 0, 0, 0xFFFFFFFFu}, {30, 0, 0, 0xFFFFFFFFu}, {20, 10, 0, 0xFFFFFFFFu}};
  ColourVertex ccw[3] = {cw[0], cw[2], cw[1]};
  struct Case {
    uint32_t mode;
    bool cwDrawn, ccwDrawn;
  };
  const Case cases[] = {{Cull_None, true, true}, {Cull_Clockwise, false, true}, {Cull_CounterClockwise, true, false}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "cull " << k.mode);
    device->SetRenderState(RS_CullMode, k.mode);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->DrawPrimitiveUP(Prim_TriangleList, 1, cw, sizeof(ColourVertex));
    EXPECT_EQ(At(Pixels(), 22, 2) != 0, k.cwDrawn);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->DrawPrimitiveUP(Prim_TriangleList, 1, ccw, sizeof(ColourVertex));
    EXPECT_EQ(At(Pixels(), 22, 2) != 0, k.ccwDrawn);
  }
}

TEST_F(GlDeviceTest, DepthTestAndWrite) {
  device->SetRenderState(RS_ZEnable, 1);
  device->SetRenderState(RS_ZFunc, Cmp_LessEqual);
  device->Clear(Clear_ZBuffer, 0, 1.0f, 0);
  auto quadAt = [&](float z, uint32_t c) {
    std::vector<ColourVertex> v = QuadList(0, 0, 8, 8, c);
    for (ColourVertex& x : v) x.z = z;
    device->SetFVF(FVF_XYZ | FVF_Diffuse);
    device->DrawPrimitiveUP(Prim_TriangleList, 2, v.data(), sizeof(ColourVertex));
  };
  // The view puts z = 0 at depth 16000 of 1..32000: nearer is smaller z.
  quadAt(-100.0f, 0xFFFF0000u);
  quadAt(100.0f, 0xFF00FF00u);  // behind: rejected
  EXPECT_EQ(At(Pixels(), 4, 4), 0xFF0000u);
  device->SetRenderState(RS_ZWriteEnable, 0);
  quadAt(-200.0f, 0xFF0000FFu);  // in front, written without depth
  quadAt(-150.0f, 0xFFFFFF00u);  // still passes against the red depth
  EXPECT_EQ(At(Pixels(), 4, 4), 0xFFFF00u);
  device->SetRenderState(RS_ZEnable, 0);
  quadAt(100.0f, 0xFF00FF00u);
  EXPECT_EQ(At(Pixels(), 4, 4), 0x00FF00u);
}

TEST_F(GlDeviceTest, DepthRangeOfClearAndViewport) {
  // Projected depth d runs 0..1 over eye depth 1..32000.
  auto zFor = [](float d) { return 1.0f + d * 31999.0f - 16000.0f; };
  struct Case {
    float clearZ, minZ, maxZ, d;
    bool drawn;
  };
  const Case cases[] = {
      {0.25f, 0.0f, 1.0f, 0.2f, true},  {0.25f, 0.0f, 1.0f, 0.3f, false},
      {0.75f, 0.0f, 1.0f, 0.7f, true},  {0.75f, 0.5f, 1.0f, 0.6f, false},  // stored as 0.8
      {0.75f, 0.5f, 1.0f, 0.4f, true},  // stored as 0.7
  };
  device->SetRenderState(RS_ZEnable, 1);
  device->SetRenderState(RS_ZFunc, Cmp_LessEqual);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "clear " << k.clearZ << " range " << k.minZ << ".." << k.maxZ << " d " << k.d);
    device->SetViewport(Viewport{0, 0, kW, kH, k.minZ, k.maxZ});
    device->Clear(Clear_Target | Clear_ZBuffer, 0xFF000000u, k.clearZ, 0);
    std::vector<ColourVertex> v = QuadList(0, 0, 8, 8, 0xFFFFFFFFu);
    for (ColourVertex& x : v) x.z = zFor(k.d);
    device->SetFVF(FVF_XYZ | FVF_Diffuse);
    device->DrawPrimitiveUP(Prim_TriangleList, 2, v.data(), sizeof(ColourVertex));
    EXPECT_EQ(At(Pixels(), 4, 4) != 0, k.drawn);
  }
}

TEST_F(GlDeviceTest, LinearVertexFogByEyeDepth) {
  device->SetRenderState(RS_FogEnable, 1);
  device->SetRenderState(RS_FogVertexMode, Fog_Linear);
  device->SetRenderState(RS_FogColor, 0xFF0000FFu);
  float start = 16000.0f, end = 16200.0f;
  uint32_t bits;
  std::memcpy(&bits, &start, 4);
  device->SetRenderState(RS_FogStart, bits);
  std::memcpy(&bits, &end, 4);
  device->SetRenderState(RS_FogEnd, bits);
  struct Case {
    float z;
    int r, b;
  };
  // Eye depth is 16000 + z.
  const Case cases[] = {{-100.0f, 255, 0}, {100.0f, 128, 127}, {300.0f, 0, 255}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.z);
    std::vector<ColourVertex> v = QuadList(0, 0, 8, 8, 0xFFFF0000u);
    for (ColourVertex& x : v) x.z = k.z;
    device->SetFVF(FVF_XYZ | FVF_Diffuse);
    device->DrawPrimitiveUP(Prim_TriangleList, 2, v.data(), sizeof(ColourVertex));
    uint32_t got = At(Pixels(), 4, 4);
    EXPECT_NEAR(R(got), k.r, 2);
    EXPECT_NEAR(B(got), k.b, 2);
  }
}

TEST_F(GlDeviceTest, BufferLocksAreCheckedAndReleased) {
  VertexBufferHandle vb = device->CreateVertexBuffer(64, Usage_Dynamic, FVF_XYZ | FVF_Diffuse, Pool::SystemMemory);
  ASSERT_NE(vb, 0u);
  EXPECT_EQ(device->LockVertexBuffer(vb, 60, 8, Lock_None), nullptr);  // leaves the buffer
  EXPECT_EQ(device->LockVertexBuffer(vb + 1, 0, 8, Lock_None), nullptr);
  EXPECT_FALSE(device->UnlockVertexBuffer(vb));  // not locked
  ASSERT_NE(device->LockVertexBuffer(vb, 0, 64, Lock_Discard), nullptr);
  EXPECT_EQ(device->LockVertexBuffer(vb, 0, 8, Lock_None), nullptr);  // already locked
  EXPECT_TRUE(device->UnlockVertexBuffer(vb));
  // A draw past the end of the buffer is refused, not read.
  device->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->DrawPrimitive(Prim_TriangleList, 0, 2);
  EXPECT_EQ(device->LiveVertexBuffers(), 1u);
  device->ReleaseVertexBuffer(vb);
  EXPECT_EQ(device->LiveVertexBuffers(), 0u);
  EXPECT_EQ(device->LockVertexBuffer(vb, 0, 8, Lock_None), nullptr);
}

TEST_F(GlDeviceTest, BufferWritesReachTheDrawsThatReadThem) {
  const size_t quad = 6 * sizeof(ColourVertex);
  VertexBufferHandle vb = device->CreateVertexBuffer(4 * quad, Usage_Dynamic, FVF_XYZ | FVF_Diffuse, Pool::Default);
  ASSERT_NE(vb, 0u);
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
  auto write = [&](int slot, float x, uint32_t c) {
    std::vector<ColourVertex> q = QuadList(x, 0, x + 4, 4, c);
    auto* p = static_cast<uint8_t*>(device->LockVertexBuffer(vb, slot * quad, quad, Lock_NoOverwrite));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, q.data(), quad);
    ASSERT_TRUE(device->UnlockVertexBuffer(vb));
  };
  auto draw = [&](int slot) { device->DrawPrimitive(Prim_TriangleList, slot * 6, 2); };
  auto colourAt = [&](float x) { return At(Pixels(), static_cast<int>(x) + 2, 2); };

  // A whole-buffer discard lock, filled in four slots, drawn middle first.
  auto* all = static_cast<uint8_t*>(device->LockVertexBuffer(vb, 0, 4 * quad, Lock_Discard));
  ASSERT_NE(all, nullptr);
  const uint32_t colours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
  for (int i = 0; i < 4; ++i) {
    std::vector<ColourVertex> q = QuadList(i * 8.0f, 0, i * 8.0f + 4, 4, colours[i]);
    std::memcpy(all + i * quad, q.data(), quad);
  }
  ASSERT_TRUE(device->UnlockVertexBuffer(vb));
  for (int slot : {2, 1, 3, 0}) draw(slot);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(colourAt(i * 8.0f), colours[i] & 0xFFFFFFu) << "slot " << i;

  // Rewriting one slot after drawing it: the next draw sees the new data,
  // and slots drawn before keep theirs.
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  write(0, 40, 0xFFFF00FFu);
  draw(0);
  draw(1);
  EXPECT_EQ(colourAt(40), 0xFF00FFu);
  EXPECT_EQ(colourAt(0), 0u);
  EXPECT_EQ(colourAt(8), 0x00FF00u);

  // A second discard replaces everything.
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  all = static_cast<uint8_t*>(device->LockVertexBuffer(vb, 0, 4 * quad, Lock_Discard));
  ASSERT_NE(all, nullptr);
  std::vector<ColourVertex> q = QuadList(48, 0, 52, 4, 0xFFFFFFFFu);
  for (int i = 0; i < 4; ++i) std::memcpy(all + i * quad, q.data(), quad);
  ASSERT_TRUE(device->UnlockVertexBuffer(vb));
  draw(3);
  draw(0);
  EXPECT_EQ(colourAt(48), 0xFFFFFFu);
  EXPECT_EQ(colourAt(0), 0u);
  EXPECT_EQ(colourAt(24), 0u);
  device->ReleaseVertexBuffer(vb);
}

TEST_F(GlDeviceTest, QuadsDrawnFromSharedVerticesLightTheSamePixels) {
  // Triangle lists go to OpenGL with the vertices a pair of triangles
  // shares sent once. The pixels must be those of sending every vertex:
  // each vertex order the drawers write, a pair sharing nothing, a lone
  // last triangle, corners of different colours, flat shading (the first
  // vertex of each triangle), textured vertices, enough draws to wrap the
  // streaming storage and a list too long for 16-bit indices.
  std::vector<ColourVertex> list;
  auto corners = [](float x0, float y0, float x1, float y1, int n) {
    const uint32_t c[4] = {0xFFFF0000u + uint32_t(n * 40), 0xFF00FF00u + uint32_t(n * 40), 0xFF0000FFu,
                           0xFFFFFF00u - uint32_t(n * 40)};
    return std::vector<ColourVertex>{{x0, y0, 0, c[0]}, {x1, y0, 0, c[1]}, {x1, y1, 0, c[2]}, {x0, y1, 0, c[3]}};
  };
  auto add = [&](const std::vector<ColourVertex>& q, std::initializer_list<int> order) {
    for (int k : order) list.push_back(q[size_t(k)]);
  };
  for (int n = 0; n < 3; ++n) {
    const float x = 2.5f + n * 20.0f;
    add(corners(x, 1.25f, x + 13.5f, 14.75f, n), {0, 1, 2, 2, 3, 0});   // the usual order
    add(corners(x, 17.5f, x + 12.0f, 29.0f, n), {0, 1, 3, 1, 2, 3});    // a part: top-left, top-right, bottom-left...
    add(corners(x, 32.0f, x + 9.5f, 46.5f, n), {3, 0, 1, 1, 2, 3});     // a tile: bottom-left first
  }
  add(corners(50, 2, 62, 12, 0), {0, 1, 2});
  add(corners(52, 20, 63, 30, 1), {0, 2, 3});  // a pair sharing nothing
  add(corners(40, 30, 60, 45, 2), {1, 2, 3});  // and a lone last triangle
  const int triangles = int(list.size() / 3);

  const size_t bytes = list.size() * sizeof(ColourVertex);
  VertexBufferHandle vb = device->CreateVertexBuffer(bytes, Usage_Dynamic, FVF_XYZ | FVF_Diffuse, Pool::Default);
  ASSERT_NE(vb, 0u);
  void* p = device->LockVertexBuffer(vb, 0, bytes, Lock_Discard);
  ASSERT_NE(p, nullptr);
  std::memcpy(p, list.data(), bytes);
  ASSERT_TRUE(device->UnlockVertexBuffer(vb));
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->SetStreamSource(0, vb, 0, sizeof(ColourVertex));
  auto picture = [&](bool share, int shade, int draws) {
    device->SetShareQuadVertices(share);
    device->SetRenderState(RS_ShadeMode, uint32_t(shade));
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    for (int i = 0; i < draws; ++i) device->DrawPrimitive(Prim_TriangleList, 0, triangles);
    return Pixels();
  };
  for (int shade : {Shade_Gouraud, Shade_Flat}) {
    const size_t before = device->TriangleListVerticesSent();
    const std::vector<uint32_t> shared = picture(true, shade, 1);
    // Nine quads of four vertices, then the rest one by one.
    EXPECT_EQ(device->TriangleListVerticesSent() - before, 9u * 4 + 9);
    EXPECT_EQ(shared, picture(false, shade, 1)) << "shade mode " << shade;
  }
  // Enough draws to fill the streaming storage several times over.
  EXPECT_EQ(picture(true, Shade_Gouraud, 7000), picture(false, Shade_Gouraud, 1));
  device->ReleaseVertexBuffer(vb);

  // Textured: 24-byte vertices.
  const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  TextureHandle t = MakeTexture(2, 2, texels);
  device->SetTexture(0, t);
  device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);
  const TexVertex a{3, 3, 0, 0xFFFFFFFFu, 0, 0}, b{40, 5, 0, 0xFFFFFFFFu, 1, 0}, c{37, 41, 0, 0xFF808080u, 1, 1},
      d{4, 38, 0, 0xFFFFFFFFu, 0, 1};
  const TexVertex quad[6] = {a, b, c, c, d, a};
  VertexBufferHandle tb = device->CreateVertexBuffer(sizeof quad, Usage_Dynamic, 0, Pool::Default);
  ASSERT_NE(tb, 0u);
  p = device->LockVertexBuffer(tb, 0, sizeof quad, Lock_Discard);
  ASSERT_NE(p, nullptr);
  std::memcpy(p, quad, sizeof quad);
  ASSERT_TRUE(device->UnlockVertexBuffer(tb));
  device->SetStreamSource(0, tb, 0, sizeof(TexVertex));
  auto textured = [&](bool share) {
    device->SetShareQuadVertices(share);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->DrawPrimitive(Prim_TriangleList, 0, 2);
    return Pixels();
  };
  EXPECT_EQ(textured(true), textured(false));
  device->ReleaseVertexBuffer(tb);
  device->SetTexture(0, 0);

  // More vertices than 16-bit indices can number.
  std::vector<ColourVertex> many;
  for (int i = 0; i < 12000; ++i) {
    const float x = float(i % 60), y = float(i % 44);
    for (int k : {0, 1, 2, 2, 3, 0}) many.push_back(corners(x, y, x + 3.5f, y + 2.5f, i % 5)[size_t(k)]);
  }
  const size_t manyBytes = many.size() * sizeof(ColourVertex);
  VertexBufferHandle mb = device->CreateVertexBuffer(manyBytes, Usage_Dynamic, FVF_XYZ | FVF_Diffuse, Pool::Default);
  ASSERT_NE(mb, 0u);
  p = device->LockVertexBuffer(mb, 0, manyBytes, Lock_Discard);
  ASSERT_NE(p, nullptr);
  std::memcpy(p, many.data(), manyBytes);
  ASSERT_TRUE(device->UnlockVertexBuffer(mb));
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->SetStreamSource(0, mb, 0, sizeof(ColourVertex));
  auto big = [&](bool share) {
    device->SetShareQuadVertices(share);
    device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
    device->DrawPrimitive(Prim_TriangleList, 0, int(many.size() / 3));
    return Pixels();
  };
  const size_t before = device->TriangleListVerticesSent();
  const std::vector<uint32_t> shared = big(true);
  EXPECT_EQ(device->TriangleListVerticesSent() - before, 12000u * 4);
  EXPECT_EQ(shared, big(false));
  device->ReleaseVertexBuffer(mb);
}

TEST_F(GlDeviceTest, ResetRestoresDefaultStates) {
  device->SetRenderState(RS_AlphaBlendEnable, 1);
  device->SetRenderState(RS_SrcBlend, Blend_Zero);
  device->SetRenderState(RS_DestBlend, Blend_One);
  ASSERT_TRUE(device->Reset(PresentParameters{kW, kH, true, 0, false}));
  SetPixelProjection();
  device->SetRenderState(RS_CullMode, Cull_None);
  device->SetRenderState(RS_Lighting, 0);  // on by default: unlit vertices would come out black
  device->SetTextureStageState(0, TSS_AlphaOp, TOp_SelectArg2);
  device->SetTextureStageState(0, TSS_AlphaArg2, TArg_Diffuse);
  DrawQuad(0, 0, 8, 8, 0xFF00FF00u);
  EXPECT_EQ(At(Pixels(), 4, 4), 0x00FF00u);
  EXPECT_EQ(device->GetViewport().width, kW);
  EXPECT_EQ(device->GetViewport().height, kH);
}

TEST_F(GlDeviceTest, PretransformedVerticesAreWindowPixels) {
  struct RhwVertex {
    float x, y, z, rhw;
    uint32_t colour;
  };
  // Transforms must not apply to them.
  Matrix scale;
  Matrix_Identity(&scale);
  scale.m[0][0] = 3.0f;
  device->SetTransform(Transform::World, scale);
  const uint32_t c = 0xFFFF00FFu;
  RhwVertex quad[4] = {{6, 3, 0.5f, 1, c}, {20, 3, 0.5f, 1, c}, {6, 9, 0.5f, 1, c}, {20, 9, 0.5f, 1, c}};
  device->SetFVF(FVF_XYZRHW | FVF_Diffuse);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad, sizeof(RhwVertex));
  ExpectRect(6, 3, 20, 9, 0xFF00FFu, 0x000000u);
  // Still window pixels inside a smaller viewport, which only clips.
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  device->SetViewport(Viewport{10, 0, 32, 32, 0.0f, 1.0f});
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad, sizeof(RhwVertex));
  ExpectRect(10, 3, 20, 9, 0xFF00FFu, 0x000000u);
}

TEST_F(GlDeviceTest, WorldTransformAppliesBeforeView) {
  // Row vectors: v * World * View * Projection, so a world scale of 2 about
  // the origin doubles the quad before the view moves it.
  Matrix world;
  Matrix_Identity(&world);
  world.m[0][0] = 2.0f;
  world.m[1][1] = 2.0f;
  world.m[3][0] = 4.0f;  // then 4 pixels right
  device->SetTransform(Transform::World, world);
  DrawQuad(1, 2, 6, 5, 0xFF00FF00u);
  ExpectRect(6, 4, 16, 10, 0x00FF00u, 0x000000u);
}

TEST_F(GlDeviceTest, FlatShadingTakesTheFirstVertex) {
  ColourVertex tri[3] = {{0, 0, 0, 0xFFFF0000u}, {16, 0, 0, 0xFF00FF00u}, {0, 16, 0, 0xFF0000FFu}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->SetRenderState(RS_ShadeMode, Shade_Flat);
  device->DrawPrimitiveUP(Prim_TriangleList, 1, tri, sizeof(ColourVertex));
  std::vector<uint32_t> p = Pixels();
  EXPECT_EQ(At(p, 10, 1), 0xFF0000u);
  EXPECT_EQ(At(p, 1, 10), 0xFF0000u);
  device->SetRenderState(RS_ShadeMode, Shade_Gouraud);
  device->DrawPrimitiveUP(Prim_TriangleList, 1, tri, sizeof(ColourVertex));
  p = Pixels();
  EXPECT_GT(G(At(p, 12, 1)), 128);
  EXPECT_GT(B(At(p, 1, 12)), 128);
}

TEST_F(GlDeviceTest, LinearFilteringBlendsNeighbouringTexels) {
  const uint32_t texels[2] = {0xFFFF0000u, 0xFF0000FFu};
  TextureHandle tex = MakeTexture(2, 1, texels);
  ASSERT_NE(tex, 0u);
  device->SetTexture(0, tex);
  device->SetTextureStageState(0, TSS_ColourOp, TOp_SelectArg1);
  device->SetTextureStageState(0, TSS_ColourArg1, TArg_Texture);
  device->SetSamplerState(0, SS_AddressU, Address_Clamp);
  const uint32_t w = 0xFFFFFFFFu;
  TexVertex quad[4] = {{0, 0, 0, w, 0, 0}, {32, 0, 0, w, 1, 0}, {0, 4, 0, w, 0, 1}, {32, 4, 0, w, 1, 1}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);
  struct Case {
    uint32_t filter;
    bool mixed;
  };
  for (Case k : {Case{Filter_Point, false}, Case{Filter_Linear, true}}) {
    SCOPED_TRACE(k.filter);
    device->SetSamplerState(0, SS_MagFilter, k.filter);
    device->SetSamplerState(0, SS_MinFilter, k.filter);
    device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad, sizeof(TexVertex));
    uint32_t mid = At(Pixels(), 15, 1);  // u just under one half
    if (k.mixed) {
      EXPECT_NEAR(R(mid), 128, 16);
      EXPECT_NEAR(B(mid), 128, 16);
    } else {
      EXPECT_EQ(mid, 0xFF0000u);
    }
  }
}

TEST_F(GlDeviceTest, SecondStageModulatesTheFirst) {
  const uint32_t yellow = 0xFFFFFF00u, cyan = 0xFF00FFFFu;
  TextureHandle a = MakeTexture(1, 1, &yellow);
  TextureHandle b = MakeTexture(1, 1, &cyan);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  device->SetTexture(0, a);
  device->SetTexture(1, b);
  device->SetTextureStageState(0, TSS_ColourOp, TOp_SelectArg1);
  device->SetTextureStageState(0, TSS_ColourArg1, TArg_Texture);
  device->SetTextureStageState(1, TSS_ColourOp, TOp_Modulate);
  device->SetTextureStageState(1, TSS_ColourArg1, TArg_Texture);
  device->SetTextureStageState(1, TSS_ColourArg2, TArg_Current);
  device->SetTextureStageState(1, TSS_AlphaOp, TOp_SelectArg2);
  device->SetTextureStageState(1, TSS_AlphaArg2, TArg_Current);
  TexVertex quad[4] = {{0, 0, 0, 0xFFFFFFFFu, 0, 0}, {8, 0, 0, 0xFFFFFFFFu, 1, 0}, {0, 8, 0, 0xFFFFFFFFu, 0, 1},
                       {8, 8, 0, 0xFFFFFFFFu, 1, 1}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad, sizeof(TexVertex));
  EXPECT_EQ(At(Pixels(), 4, 4), 0x00FF00u);
  // Disabling stage 1 ends the chain there.
  device->SetTextureStageState(1, TSS_ColourOp, TOp_Disable);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad, sizeof(TexVertex));
  EXPECT_EQ(At(Pixels(), 4, 4), 0xFFFF00u);
}

TEST_F(GlDeviceTest, ProgramsAreBuiltOncePerStateCombination) {
  DrawQuad(0, 0, 4, 4, 0xFFFFFFFFu);
  size_t programs = device->ProgramCount();
  EXPECT_GE(programs, 1u);
  DrawQuad(4, 4, 8, 8, 0xFF00FF00u);
  EXPECT_EQ(device->ProgramCount(), programs);
  device->SetRenderState(RS_AlphaTestEnable, 1);
  device->SetRenderState(RS_AlphaFunc, Cmp_Greater);
  DrawQuad(0, 0, 4, 4, 0xFFFFFFFFu);
  EXPECT_EQ(device->ProgramCount(), programs + 1);
  // The reference is a uniform, not part of the program.
  device->SetRenderState(RS_AlphaRef, 7);
  DrawQuad(0, 0, 4, 4, 0xFFFFFFFFu);
  EXPECT_EQ(device->ProgramCount(), programs + 1);
}

TEST_F(GlDeviceTest, BadArgumentsDrawNothingAndDoNotCrash) {
  ColourVertex v[3] = {{0, 0, 0, 0xFFFFFFFFu}, {16, 0, 0, 0xFFFFFFFFu}, {0, 16, 0, 0xFFFFFFFFu}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->DrawPrimitiveUP(static_cast<PrimitiveType>(0), 1, v, sizeof(ColourVertex));
  device->DrawPrimitiveUP(static_cast<PrimitiveType>(99), 1, v, sizeof(ColourVertex));
  device->DrawPrimitiveUP(Prim_TriangleList, 0, v, sizeof(ColourVertex));
  device->DrawPrimitiveUP(Prim_TriangleList, -5, v, sizeof(ColourVertex));
  device->DrawPrimitiveUP(Prim_TriangleList, 1, nullptr, sizeof(ColourVertex));
  device->DrawPrimitive(Prim_TriangleList, 0, 1);  // no stream
  device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);  // 24-byte layout, 16-byte stride
  device->DrawPrimitiveUP(Prim_TriangleList, 1, v, sizeof(ColourVertex));
  device->SetFVF(0);  // declarations are not drawn yet
  device->DrawPrimitiveUP(Prim_TriangleList, 1, v, sizeof(ColourVertex));
  // Out-of-range stages, states and unknown stage values are ignored.
  device->SetTexture(-1, 1);
  device->SetTexture(kMaxTextureStages, 1);
  device->SetSamplerState(kMaxTextureStages, SS_MagFilter, Filter_Linear);
  device->SetTextureStageState(-1, TSS_ColourOp, TOp_Modulate);
  device->SetRenderState(kRenderStateCount, 1);
  device->SetTextureStageState(0, TSS_ColourArg1, 77);
  device->SetTexture(0, 12345);  // unknown handle reads as white
  EXPECT_EQ(MakeTexture(0, 4, nullptr), 0u);
  EXPECT_EQ(MakeTexture(1 << 20, 1, nullptr), 0u);
  EXPECT_EQ(device->CreateVertexBuffer(0, Usage_Dynamic, FVF_XYZ, Pool::Default), 0u);
  ExpectRect(0, 0, 0, 0, 0, 0x000000u);
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->DrawPrimitiveUP(Prim_TriangleList, 1, v, sizeof(ColourVertex));
  EXPECT_EQ(At(Pixels(), 2, 2), 0xFFFFFFu);
}

TEST_F(GlDeviceTest, RenderTargetsAreStoredTopDownAndSampleLikeTextures) {
  TextureHandle target = device->CreateTexture(16, 12, TexUsage_RenderTarget);
  ASSERT_NE(target, 0u);
  EXPECT_FALSE(device->SetRenderTarget(1, target));
  EXPECT_FALSE(device->SetRenderTarget(0, MakeTexture(2, 2, nullptr)));  // not a target
  ASSERT_TRUE(device->SetRenderTarget(0, target));
  EXPECT_EQ(device->GetRenderTarget(0), target);
  // A new target brings a viewport over all of it.
  EXPECT_EQ(device->GetViewport().width, 16);
  EXPECT_EQ(device->GetViewport().height, 12);
  Matrix view, projection;
  Matrix_Identity(&view);
  view.m[3][0] = -8.0f;
  view.m[3][1] = -6.0f;
  view.m[3][2] = 16000.0f;
  Matrix_BuildOrtho(&projection, 16, -12, 1.0f, 32000.0f);
  device->SetTransform(Transform::View, view);
  device->SetTransform(Transform::Projection, projection);
  device->Clear(Clear_Target, 0xFF0000FFu, 1.0f, 0);
  // Culling judges winding as on the window: this clockwise quad survives
  // counter-clockwise culling.
  device->SetRenderState(RS_CullMode, Cull_CounterClockwise);
  DrawQuad(0, 0, 4, 3, 0xFFFF0000u);
  // Points and lines keep their half-pixel bias up and left, as on the window.
  ColourVertex point = {10, 5, 0, 0xFF00FF00u};
  ColourVertex line[2] = {{2, 8.25f, 0, 0xFFFFFF00u}, {6, 8.25f, 0, 0xFFFFFF00u}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->DrawPrimitiveUP(Prim_PointList, 1, &point, sizeof point);
  device->DrawPrimitiveUP(Prim_LineList, 1, line, sizeof(ColourVertex));
  std::vector<uint32_t> rt(16 * 12);
  ASSERT_TRUE(device->ReadPixels(target, 0, 0, 16, 12, rt.data()));
  auto px = [&](int x, int y) { return rt[static_cast<size_t>(y) * 16 + x] & 0xFFFFFFu; };
  EXPECT_EQ(px(0, 0), 0xFF0000u);
  EXPECT_EQ(px(3, 2), 0xFF0000u);
  EXPECT_EQ(px(4, 2), 0x0000FFu);
  EXPECT_EQ(px(0, 3), 0x0000FFu);
  EXPECT_EQ(px(9, 4), 0x00FF00u);
  EXPECT_EQ(px(10, 5), 0x0000FFu);
  for (int x = 2; x < 5; ++x) EXPECT_EQ(px(x, 7), 0xFFFF00u) << x;
  EXPECT_EQ(px(3, 8), 0x0000FFu);
  EXPECT_EQ(px(3, 6), 0x0000FFu);
  // A part of it reads back alone, and a rectangle that leaves it is refused.
  uint32_t part[2] = {};
  ASSERT_TRUE(device->ReadPixels(target, 3, 2, 2, 1, part));
  EXPECT_EQ(part[0] & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(part[1] & 0xFFFFFFu, 0x0000FFu);
  EXPECT_FALSE(device->ReadPixels(target, 15, 0, 2, 1, part));

  // Drawn onto the window it keeps its orientation.
  ASSERT_TRUE(device->SetRenderTarget(0, 0));
  SetPixelProjection();
  device->SetRenderState(RS_CullMode, Cull_None);
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  device->SetTexture(0, target);
  device->SetTextureStageState(0, TSS_ColourOp, TOp_SelectArg1);
  device->SetTextureStageState(0, TSS_ColourArg1, TArg_Texture);
  const uint32_t w = 0xFFFFFFFFu;
  std::vector<TexVertex> quad = {{0, 0, 0, w, 0, 0}, {16, 0, 0, w, 1, 0}, {0, 12, 0, w, 0, 1}, {16, 12, 0, w, 1, 1}};
  device->SetFVF(FVF_XYZ | FVF_Diffuse | FVF_Tex1);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, quad.data(), sizeof(TexVertex));
  std::vector<uint32_t> p = Pixels();
  EXPECT_EQ(At(p, 1, 1), 0xFF0000u);
  EXPECT_EQ(At(p, 9, 4), 0x00FF00u);
  EXPECT_EQ(At(p, 10, 10), 0x0000FFu);
  // The back buffer reads back top-down as well.
  uint32_t corner = 0;
  ASSERT_TRUE(device->ReadPixels(0, 1, 1, 1, 1, &corner));
  EXPECT_EQ(corner & 0xFFFFFFu, 0xFF0000u);
  device->ReleaseTexture(target);
  EXPECT_EQ(device->GetRenderTarget(0), 0u);
}

TEST_F(GlDeviceTest, AlphaIsBlendedWithTheColourFactors) {
  // On a target that keeps alpha: red at alpha 0x80 over opaque blue.
  TextureHandle target = device->CreateTexture(kW, kH, TexUsage_RenderTarget);
  ASSERT_NE(target, 0u);
  ASSERT_TRUE(device->SetRenderTarget(0, target));
  struct Case {
    uint32_t src, dst, op;
    uint32_t background, colour;
    int a, r, b;
  };
  const Case cases[] = {
      // a = 0x80 * 0x80/255 + 0xFF * (1 - 0x80/255)
      {Blend_SrcAlpha, Blend_InvSrcAlpha, BlendOp_Add, 0xFF0000FFu, 0x80FF0000u, 191, 128, 127},
      {Blend_One, Blend_One, BlendOp_Add, 0x400000FFu, 0x30FF0000u, 0x70, 255, 255},
      {Blend_One, Blend_One, BlendOp_Max, 0x400000FFu, 0x30FF0000u, 0x40, 255, 255},
      {Blend_Zero, Blend_SrcAlpha, BlendOp_Add, 0xFF0000FFu, 0x80FF0000u, 128, 0, 128},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.src << " " << k.dst << " " << k.op);
    device->SetRenderState(RS_AlphaBlendEnable, 0);
    DrawQuad(0, 0, kW, kH, k.background);
    device->SetRenderState(RS_AlphaBlendEnable, 1);
    device->SetRenderState(RS_SrcBlend, k.src);
    device->SetRenderState(RS_DestBlend, k.dst);
    device->SetRenderState(RS_BlendOp, k.op);
    DrawQuad(4, 4, 12, 12, k.colour);
    uint32_t got = 0;
    ASSERT_TRUE(device->ReadPixels(target, 8, 8, 1, 1, &got));
    EXPECT_NEAR(static_cast<int>(got >> 24), k.a, 1);
    EXPECT_NEAR(R(got), k.r, 1);
    EXPECT_NEAR(B(got), k.b, 1);
  }
  device->SetRenderState(RS_AlphaBlendEnable, 0);
}

TEST_F(GlDeviceTest, LightsAddAmbientAndDiffuseTerms) {
  struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
  };
  // A quad facing the camera (which looks along +z).
  auto quad = [](uint32_t colour, float nz) {
    return std::vector<LitVertex>{{0, 0, 0, 0, 0, nz, colour}, {16, 0, 0, 0, 0, nz, colour},
                                  {0, 16, 0, 0, 0, nz, colour}, {16, 16, 0, 0, 0, nz, colour}};
  };
  auto draw = [&](const std::vector<LitVertex>& v, uint32_t fvf) {
    device->Clear(Clear_Target | Clear_ZBuffer, 0xFF000000u, 1.0f, 0);
    device->SetFVF(fvf);
    device->DrawPrimitiveUP(Prim_TriangleStrip, 2, v.data(), sizeof(LitVertex));
    return At(Pixels(), 8, 8);
  };
  const uint32_t lit = FVF_XYZ | FVF_Normal | FVF_Diffuse;
  device->SetRenderState(RS_Lighting, 1);
  device->SetRenderState(RS_Ambient, 0xFF404040u);
  Material m;
  m.ambient = {1, 1, 1, 1};
  m.diffuse = {0, 0, 1, 1};  // used only when the vertices have no colour
  device->SetMaterial(m);
  EXPECT_EQ(draw(quad(0xFFFFFFFFu, -1), lit), 0x404040u) << "ambient alone";

  Light sun;
  sun.type = Light_Directional;
  sun.diffuse = {1, 0, 0, 1};
  sun.direction = {0, 0, 1};
  device->SetLight(1, sun);
  device->LightEnable(1, true);
  EXPECT_EQ(draw(quad(0xFFFFFFFFu, -1), lit), 0xFF4040u) << "full diffuse";
  EXPECT_EQ(draw(quad(0xFF00FF00u, -1), lit), 0x404040u) << "a green vertex reflects no red";
  EXPECT_EQ(draw(quad(0xFFFFFFFFu, 1), lit), 0x404040u) << "facing away";
  // At 60 degrees half the light arrives.
  sun.direction = {0, 0.8660254f, 0.5f};
  device->SetLight(1, sun);
  uint32_t half = draw(quad(0xFFFFFFFFu, -1), lit);
  EXPECT_NEAR(R(half), 0x40 + 128, 1);
  // Vertices without normals take no diffuse light; without a colour they
  // reflect the material's.
  device->SetLight(1, Light{Light_Directional, {1, 1, 1, 1}, {}, {}, {}, {0, 0, 1}});
  std::vector<ColourVertex> flat = QuadList(0, 0, 16, 16, 0xFFFFFFFFu);
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  device->SetFVF(FVF_XYZ | FVF_Diffuse);
  device->DrawPrimitiveUP(Prim_TriangleList, 2, flat.data(), sizeof(ColourVertex));
  EXPECT_EQ(At(Pixels(), 8, 8), 0x404040u);
  struct NormalOnly {
    float x, y, z, nx, ny, nz;
  };
  std::vector<NormalOnly> plain = {{0, 0, 0, 0, 0, -1}, {16, 0, 0, 0, 0, -1}, {0, 16, 0, 0, 0, -1},
                                   {16, 16, 0, 0, 0, -1}};
  device->Clear(Clear_Target, 0xFF000000u, 1.0f, 0);
  device->SetFVF(FVF_XYZ | FVF_Normal);
  device->DrawPrimitiveUP(Prim_TriangleStrip, 2, plain.data(), sizeof(NormalOnly));
  EXPECT_EQ(At(Pixels(), 8, 8), 0x4040FFu);
  device->LightEnable(1, false);

  // A point light 10 units in front of the quad's centre, falling off as
  // 1 / (1 + 0.1 d). Light is worked out at the corners, all sqrt(228) away.
  Light lamp;
  lamp.type = Light_Point;
  lamp.diffuse = {0, 1, 0, 1};
  lamp.position = {8, 8, -10};
  lamp.range = 100;
  lamp.attenuation0 = 1;
  lamp.attenuation1 = 0.1f;
  device->SetLight(9, lamp);  // out of range: ignored
  device->SetLight(3, lamp);
  device->LightEnable(3, true);
  uint32_t g = draw(quad(0xFFFFFFFFu, -1), lit);
  const double d = std::sqrt(228.0);
  EXPECT_NEAR(G(g), 0x40 + 255.0 * (10.0 / d) / (1.0 + 0.1 * d), 1.5);
  lamp.range = 5;  // out of its reach
  device->SetLight(3, lamp);
  EXPECT_EQ(draw(quad(0xFFFFFFFFu, -1), lit), 0x404040u);
  device->SetRenderState(RS_Lighting, 0);
}

// The engine's own path: render states, the 2D camera and the batcher.
class GlDeviceBatchTest : public GlDeviceTest {
 protected:
  void SetUp() override {
    GlDeviceTest::SetUp();
    if (!device) return;
    GraphicsState_Reset(device.get());
    RenderState_ApplyAll();
    Graphics_SetViewProjection(0, 0, kW, kH, 0);
  }
  void TearDown() override {
    if (device) GraphicsState_Clear();
    GlDeviceTest::TearDown();
  }
  static void Quad(float x0, float y0, float x1, float y1, uint32_t c) {
    auto* v = static_cast<ColourVertex*>(VertexBatch_Reserve(Prim_TriangleList, 0, sizeof(ColourVertex), 6));
    ASSERT_NE(v, nullptr);
    std::vector<ColourVertex> q = QuadList(x0, y0, x1, y1, c);
    std::memcpy(v, q.data(), q.size() * sizeof(ColourVertex));
  }
};

TEST_F(GlDeviceBatchTest, BatchedQuadsLandWhereTheCameraPutsThem) {
  VertexBatch_ResetCount();
  Quad(2, 2, 10, 6, 0xFFFF0000u);
  Quad(20, 2, 30, 6, 0xFF00FF00u);
  VertexBatch_Flush();
  // A state change starts a second batch further into the same buffer.
  RenderState_SetBlendMode(BlendMode_Add);
  Quad(2, 10, 10, 14, 0xFF0000FFu);
  Quad(2, 2, 4, 4, 0xFF0000FFu);  // added onto red
  VertexBatch_Flush();
  EXPECT_EQ(VertexBatch_Count(), 2);
  std::vector<uint32_t> p = Pixels();
  auto want = [](int x, int y) -> uint32_t {
    if (x >= 2 && x < 4 && y >= 2 && y < 4) return 0xFF00FFu;
    if (x >= 2 && x < 10 && y >= 2 && y < 6) return 0xFF0000u;
    if (x >= 20 && x < 30 && y >= 2 && y < 6) return 0x00FF00u;
    if (x >= 2 && x < 10 && y >= 10 && y < 14) return 0x0000FFu;
    return 0;
  };
  int wrong = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (At(p, x, y) != want(x, y) && ++wrong <= 5)
        ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << std::hex << At(p, x, y) << ", want " << want(x, y);
  EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

TEST_F(GlDeviceBatchTest, AUnitRectangleInAViewScaledByTwoLightsTwoByTwoPixels) {
  // A view of half the window's size maps each room pixel onto 2x2.
  Graphics_SetViewProjection(0, 0, kW / 2, kH / 2, 0);
  Quad(3, 4, 4, 5, 0xFFFFFFFFu);
  VertexBatch_Flush();
  ExpectRect(6, 8, 8, 10, 0xFFFFFFu, 0x000000u);
}

}  // namespace
