#include <utility>
#include <vector>

#include "graphics_fixture.h"

namespace {

using gfx::RecordingDevice;
using Changes = std::vector<std::pair<gfx::RenderState, uint32_t>>;

class RenderStates : public GraphicsTest {};

TEST_F(RenderStates, NothingReachesTheDeviceBeforeAFlush) {
  RenderState_SetBlendMode(BlendMode_Add);
  RenderState_SetCulling(true);
  RenderState_SetInterpolation(false);
  EXPECT_TRUE(device.Calls().empty());
  g_RenderStateCache.Flush();
  EXPECT_EQ(device.RenderStateChanges(),
            (Changes{{gfx::RS_DestBlend, gfx::Blend_One}, {gfx::RS_CullMode, gfx::Cull_CounterClockwise}}));
  EXPECT_EQ(device.SamplerChanges().size(), 16u);  // two filters on eight stages
}

TEST_F(RenderStates, AStateSetAndSetBackSendsNothing) {
  RenderState_SetBlendMode(BlendMode_Subtract);
  RenderState_SetBlendMode(BlendMode_Normal);
  RenderState_SetRepeatExt(3, true);  // wrap: the value already applied
  RenderState_SetRepeatExt(3, false);
  RenderState_SetRepeatExt(3, true);
  EXPECT_FALSE(g_RenderStateCache.AnyDirty());
  g_RenderStateCache.Flush();
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(RenderStates, ValuesAreConvertedOnTheWayToTheDevice) {
  struct Case {
    int id;
    uint32_t value;
    gfx::RenderState state;
    uint32_t sent;
  };
  const Case cases[] = {
      {RS_FILLMODE, 1, gfx::RS_FillMode, gfx::Fill_Point},
      {RS_FILLMODE, 2, gfx::RS_FillMode, gfx::Fill_Wireframe},
      {RS_FILLMODE, 7, gfx::RS_FillMode, gfx::Fill_Solid},
      {RS_SHADEMODE, 5, gfx::RS_ShadeMode, gfx::Shade_Gouraud},
      {RS_SRCBLEND, 0, gfx::RS_SrcBlend, gfx::Blend_Zero},
      {RS_SRCBLEND, 18, gfx::RS_SrcBlend, gfx::Blend_Zero},
      {RS_DESTBLEND, 17, gfx::RS_DestBlend, 17},
      {RS_CULLMODE, 1, gfx::RS_CullMode, gfx::Cull_Clockwise},
      {RS_CULLMODE, 9, gfx::RS_CullMode, gfx::Cull_None},
      {RS_ZFUNC, 0, gfx::RS_ZFunc, gfx::Cmp_Always},
      {RS_ZFUNC, 7, gfx::RS_ZFunc, 7},
      {RS_ALPHAFUNC, 8, gfx::RS_AlphaFunc, gfx::Cmp_Always},
      {RS_FOGTABLEMODE, 2, gfx::RS_FogTableMode, 2},
      {RS_FOGTABLEMODE, 7, gfx::RS_FogTableMode, gfx::Fog_Linear},
      {RS_FOGVERTEXMODE, 0, gfx::RS_FogVertexMode, 0},
      {RS_COLORWRITEENABLE, 0x1A, gfx::RS_ColorWriteEnable, 0xA},
      {RS_STENCILFAIL, 9, gfx::RS_StencilFail, gfx::Stencil_Keep},
      {RS_STENCILPASS, 8, gfx::RS_StencilPass, 8},
      {RS_STENCILFUNC, 0, gfx::RS_StencilFunc, gfx::Cmp_Always},
      {RS_STENCILWRITEMASK, 0xF0, gfx::RS_StencilWriteMask, 0xF0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id << " value " << c.value);
    RenderState_ResetForTests();
    device.ClearLog();
    g_RenderStateCache.SetRenderState(c.id, c.value);
    g_RenderStateCache.Flush();
    EXPECT_EQ(device.RenderStateChanges(), (Changes{{c.state, c.sent}}));
  }
}

TEST_F(RenderStates, IdsWithoutADeviceStateAndBadIdsSendNothing) {
  for (int id : {0, 14, 19, 22, 33, -1, 1000}) g_RenderStateCache.SetRenderState(id, 77);
  g_RenderStateCache.SetSamplerState(8, 0, 1);
  g_RenderStateCache.SetSamplerState(0, 4, 1);
  g_RenderStateCache.Flush();
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(RenderStates, TheShadowDropsSetsThatChangeNothingOnTheDevice) {
  g_RenderStateCache.SetRenderState(RS_SRCBLEND, 0);
  g_RenderStateCache.Flush();
  g_RenderStateCache.SetRenderState(RS_SRCBLEND, 18);  // the same zero factor
  g_RenderStateCache.Flush();
  EXPECT_EQ(device.RenderStateChanges(), (Changes{{gfx::RS_SrcBlend, gfx::Blend_Zero}}));

  RenderState_SetD3D(gfx::RS_Lighting, 1);
  RenderState_SetD3D(gfx::RS_Lighting, 1);
  RenderState_SetD3D(gfx::kRenderStateCount, 1);
  RenderState_SetD3D(0xFFFFFFFF, 1);
  EXPECT_EQ(device.CountOf(RecordingDevice::Op::SetRenderState), 2u);
}

TEST_F(RenderStates, SnapshotAndRestoreUndoChangesWithoutDeviceCalls) {
  RenderState_SetBlendMode(BlendMode_Max);
  g_RenderStateCache.Flush();
  device.ClearLog();
  g_RenderStateCache.Snapshot();
  RenderState_SetBlendMode(BlendMode_Normal);
  RenderState_SetInterpolationExt(2, false);
  g_RenderStateCache.Restore();
  g_RenderStateCache.Flush();
  EXPECT_TRUE(device.Calls().empty());
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_DESTBLEND], gfx::Blend_InvSrcColour);
}

TEST_F(RenderStates, BlendModes) {
  struct Case {
    int mode;
    uint32_t src, dest;
  };
  const Case cases[] = {{BlendMode_Normal, 5, 6}, {BlendMode_Add, 5, 2}, {BlendMode_Max, 5, 4},
                        {BlendMode_Subtract, 1, 4}, {99, 5, 6}, {-1, 5, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    RenderState_SetBlendMode(BlendMode_Subtract == c.mode ? BlendMode_Add : BlendMode_Subtract);
    RenderState_SetBlendMode(c.mode);
    EXPECT_EQ(g_RenderStateCache.renderWanted[RS_SRCBLEND], c.src);
    EXPECT_EQ(g_RenderStateCache.renderWanted[RS_DESTBLEND], c.dest);
  }
}

TEST_F(RenderStates, ColourWriteMaskAndShading) {
  RenderState_SetColorWriteEnable(true, false, true, false);
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_COLORWRITEENABLE], 0b0101u);
  RenderState_SetShading(true);
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_SHADEMODE], 2u);
  RenderState_SetShading(false);
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_SHADEMODE], 1u);
}

TEST_F(RenderStates, InterpolationAndRepeatDriveEveryStage) {
  RenderState_SetInterpolation(false);
  RenderState_SetRepeat(false);
  g_RenderStateCache.Flush();
  for (int stage = 0; stage < 8; ++stage) {
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_MagFilter), gfx::Filter_Point) << stage;
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_MinFilter), gfx::Filter_Point) << stage;
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_AddressU), gfx::Address_Clamp) << stage;
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_AddressV), gfx::Address_Clamp) << stage;
  }
  RenderState_SetInterpolation(true);
  RenderState_SetRepeatExt(6, true);
  RenderState_SetRepeatExt(8, false);  // no such stage
  g_RenderStateCache.Flush();
  EXPECT_EQ(device.SamplerValue(7, gfx::SS_MinFilter), gfx::Filter_Linear);
  EXPECT_EQ(device.SamplerValue(6, gfx::SS_AddressV), gfx::Address_Wrap);
  EXPECT_EQ(device.SamplerValue(5, gfx::SS_AddressV), gfx::Address_Clamp);
  EXPECT_TRUE(RenderState_GetInterpolation());
  EXPECT_FALSE(RenderState_GetRepeat());
}

TEST_F(RenderStates, AlphaTestWithoutADeviceChangesNothing) {
  Graphics_SetDevice(nullptr);
  RenderState_SetAlphaTest(true);
  EXPECT_FALSE(RenderState_GetAlphaTest());
  EXPECT_FALSE(g_RenderStateCache.AnyDirty());
  Graphics_SetDevice(&device);
  RenderState_SetAlphaTest(true);
  EXPECT_TRUE(RenderState_GetAlphaTest());
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_ALPHATESTENABLE], 1u);
}

TEST_F(RenderStates, DepthTestFollowsTheThreeDMode) {
  RenderState_SetZTest(true);
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_ZENABLE], 0u);
  Graphics_Set3DMode(true);
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_ZENABLE], 1u);
  EXPECT_TRUE(RenderState_GetPerspectiveFlag());
  Graphics_Set3DMode(false);
  EXPECT_EQ(g_RenderStateCache.renderWanted[RS_ZENABLE], 0u);
}

TEST_F(RenderStates, FogFollowsTheDeviceSupport) {
  struct Case {
    bool table, vertex;
    Changes expected;
  };
  const Case cases[] = {
      {true, true, {{gfx::RS_FogEnable, 1}, {gfx::RS_FogColor, 0xFFFF0000u}, {gfx::RS_FogTableMode, gfx::Fog_Linear}}},
      {false, true, {{gfx::RS_FogEnable, 1}, {gfx::RS_FogColor, 0xFFFF0000u}, {gfx::RS_RangeFogEnable, 1}}},
      {false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.table << c.vertex);
    RenderState_ResetForTests();
    device.caps.fogTable = c.table;
    device.caps.fogVertex = c.vertex;
    RenderState_SetFog(true, 0x0000FF, 0, 100);  // script red
    device.ClearLog();
    g_RenderStateCache.Flush();
    EXPECT_EQ(device.RenderStateChanges(), c.expected);
    EXPECT_EQ(RenderState_SentFlags().fog, c.table || c.vertex);
  }
}

TEST_F(RenderStates, FogRangeIsNotCutToSixteenBits) {
  Projection_SetPerspective(0, 0, 640, 480, 0);
  RenderState_SetFog(true, 0, 40000.0, 70000.5);
  VertexBatch_Flush();
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogStart), Bits(40000.0f));
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogEnd), Bits(70000.5f));
}

TEST_F(RenderStates, OrthographicFogIsMappedToTheDepthRangeAndSentAtOnce) {
  ASSERT_TRUE(Projection_IsOrthographic());
  RenderState_SetFog(true, 0, 16000.5, 32000.0);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogStart), Bits((16000.5f - 1.0f) / 31999.0f));
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogEnd), Bits(1.0f));
  // Leaving the orthographic projection sends the plain range.
  Projection_SetPerspective(0, 0, 640, 480, 0);
  VertexBatch_Flush();
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogStart), Bits(16000.5f));
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogEnd), Bits(32000.0f));
}

TEST_F(RenderStates, ApplyAllAfterAResetRestoresEveryState) {
  g_RenderStateCache.SetRenderState(RS_STENCILENABLE, 1);
  g_RenderStateCache.SetRenderState(RS_STENCILREF, 7);
  g_RenderStateCache.SetRenderState(RS_STENCILFUNC, 3);
  RenderState_SetRepeat(false);
  RenderState_SetInterpolation(false);
  RenderState_SetBlendMode(BlendMode_Add);
  g_RenderStateCache.Flush();

  device.Reset(gfx::PresentParameters{});
  ASSERT_EQ(device.RenderStateValue(gfx::RS_StencilEnable), 0u);
  RenderState_ApplyAll();

  EXPECT_EQ(device.RenderStateValue(gfx::RS_StencilEnable), 1u);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_StencilRef), 7u);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_StencilFunc), 3u);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_StencilMask), 0xFFFFFFFFu);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_DestBlend), gfx::Blend_One);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_AlphaBlendEnable), 1u);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_FogEnd), Bits(1.0f));
  // Strictly greater: with the default reference 0 a clear pixel is dropped.
  EXPECT_EQ(device.RenderStateValue(gfx::RS_AlphaFunc), gfx::Cmp_Greater);
  EXPECT_EQ(device.RenderStateValue(gfx::RS_AlphaRef), 0u);
  // The reset cleared every stage; all eight get their samplers back.
  for (int stage = 0; stage < 8; ++stage) {
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_MagFilter), gfx::Filter_Point) << stage;
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_MinFilter), gfx::Filter_Point) << stage;
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_AddressU), gfx::Address_Clamp) << stage;
    EXPECT_EQ(device.SamplerValue(stage, gfx::SS_AddressV), gfx::Address_Clamp) << stage;
  }
  EXPECT_EQ(device.TextureStageValue(0, gfx::TSS_ColourOp), gfx::TOp_Modulate);
  EXPECT_FALSE(g_RenderStateCache.AnyDirty());
}

TEST_F(RenderStates, ReapplyWithoutAResetCostsNoDeviceCalls) {
  RenderState_ApplyAll();
  device.ClearLog();
  g_RenderStateCache.ReapplyAll();
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(RenderStates, ApplyAllWithoutADeviceDoesNothing) {
  Graphics_SetDevice(nullptr);
  RenderState_ApplyAll();
  Graphics_SetDevice(&device);
  EXPECT_TRUE(device.Calls().empty());
}

}  // namespace
