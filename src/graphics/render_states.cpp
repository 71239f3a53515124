#include "graphics/render_states.h"

#include <cstring>

#include "graphics/batching.h"
#include "graphics/matrices.h"

namespace {

gfx::Device* g_device = nullptr;

uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// Values last sent to the device; a set that matches is dropped. Whether a
// value is known is kept apart from the value, so that no value (such as an
// all-ones stencil mask) can pass for "unknown" and be dropped.
struct DeviceStateShadow {
  uint32_t render[gfx::kRenderStateCount];
  bool renderKnown[gfx::kRenderStateCount];
  uint32_t sampler[kSamplerStages][gfx::kSamplerStateCount];
  bool samplerKnown[kSamplerStages][gfx::kSamplerStateCount];
  void Forget() {
    std::memset(render, 0xFF, sizeof render);
    std::memset(renderKnown, 0, sizeof renderKnown);
    std::memset(sampler, 0xFF, sizeof sampler);
    std::memset(samplerKnown, 0, sizeof samplerKnown);
  }
};
DeviceStateShadow g_shadow = [] {
  DeviceStateShadow s;
  s.Forget();
  return s;
}();

// The settings the drawing built-ins keep, re-sent after every reset.
struct RenderSettings {
  uint32_t srcBlend = gfx::Blend_SrcAlpha;
  uint32_t destBlend = gfx::Blend_InvSrcAlpha;
  bool alphaTest = false;
  uint32_t alphaRef = 0;
  // Greater: with the default reference 0 a fully transparent pixel is
  // discarded, so it writes no depth either.
  uint32_t alphaFunc = gfx::Cmp_Greater;
  uint32_t colourWriteMask = 15;
  bool culling = false;
  bool depthTest = true;
  bool depthWrite = true;
  bool lighting = false;
  bool shading = true;
  bool fogEnable = false;
  uint32_t fogColour = 0;  // device colour
  float fogStart = 0.0f;
  float fogEnd = 1.0f;
  bool interpolation[kSamplerStages] = {true, true, true, true, true, true, true, true};
  bool repeat[kSamplerStages] = {};
  bool textureBlending = true;
  bool perspective = true;
  int baseTextureStage = 0;
  bool gameInterpolation = false;
};
RenderSettings g_settings;
RenderStateSentFlags g_sent;

constexpr uint32_t kDefaultRender[kRenderStateIds] = {
    0,           // 0 unused
    0,           // ZENABLE
    3,           // FILLMODE
    1,           // SHADEMODE
    1,           // ZWRITEENABLE
    0,           // ALPHATESTENABLE
    5,           // SRCBLEND
    6,           // DESTBLEND
    0,           // CULLMODE
    4,           // ZFUNC
    1,           // ALPHAREF
    5,           // ALPHAFUNC
    1,           // ALPHABLENDENABLE
    0,           // FOGENABLE
    0,           // 14
    0,           // FOGCOLOR
    1,           // FOGTABLEMODE
    0,           // FOGSTART (0.0f)
    0x3F800000,  // FOGEND (1.0f)
    0,           // 19
    0,           // RANGEFOGENABLE
    0,           // LIGHTING
    0,           // 22
    3,           // FOGVERTEXMODE
    15,          // COLORWRITEENABLE
    0,           // STENCILENABLE
    1,           // STENCILFAIL
    1,           // STENCILZFAIL
    1,           // STENCILPASS
    8,           // STENCILFUNC
    0,           // STENCILREF
    0xFFFFFFFF,  // STENCILMASK
    0xFFFFFFFF,  // STENCILWRITEMASK
};

uint32_t CompareOrAlways(uint32_t v) { return v >= 1 && v <= 7 ? v : gfx::Cmp_Always; }
uint32_t StencilOpOrKeep(uint32_t v) { return v >= 1 && v <= gfx::kStencilOpLast ? v : gfx::Stencil_Keep; }
uint32_t FogModeOrLinear(uint32_t v) { return v <= 2 ? v : gfx::Fog_Linear; }
uint32_t BlendOrZero(uint32_t v) { return v >= 1 && v <= gfx::kBlendLast ? v : gfx::Blend_Zero; }

// Script colours are 0x00BBGGRR; the device takes 0xAARRGGBB.
uint32_t ScriptColourToDevice(uint32_t colour) {
  return 0xFF000000u | (colour & 0xFFu) << 16 | (colour & 0xFF00u) | (colour >> 16 & 0xFFu);
}

}  // namespace

void Graphics_SetDevice(gfx::Device* device) {
  g_device = device;
  // A new device starts with states of its own.
  g_shadow.Forget();
}

gfx::Device* Graphics_Device() { return g_device; }

CRenderStateCache g_RenderStateCache;

CRenderStateCache::CRenderStateCache() {
  renderDirty = 0;
  samplerDirty = 0;
  std::memcpy(renderApplied, kDefaultRender, sizeof renderApplied);
  std::memcpy(renderWanted, kDefaultRender, sizeof renderWanted);
  std::memcpy(snapshotRender, kDefaultRender, sizeof snapshotRender);
  std::memset(samplerApplied, 0, sizeof samplerApplied);
  std::memset(samplerWanted, 0, sizeof samplerWanted);
  std::memset(snapshotSampler, 0, sizeof snapshotSampler);
}

void CRenderStateCache::SetRenderState(int id, uint32_t value) {
  // Id 0 drives nothing and would share its dirty bit with id 32.
  if (id < 1 || id >= kRenderStateIds || value == renderWanted[id]) return;
  uint32_t bit = 1u << (id % 32);
  if (value == renderApplied[id])
    renderDirty &= ~bit;
  else
    renderDirty |= bit;
  renderWanted[id] = value;
}

void CRenderStateCache::SetSamplerState(int stage, int kind, uint32_t value) {
  if (stage < 0 || stage >= kSamplerStages || kind < 0 || kind > 3) return;
  int entry = stage * 4 + kind;
  if (value == samplerWanted[entry]) return;
  uint64_t bit = uint64_t{1} << entry;
  if (value == samplerApplied[entry])
    samplerDirty &= ~bit;
  else
    samplerDirty |= bit;
  samplerWanted[entry] = value;
}

void CRenderStateCache::Snapshot() {
  std::memcpy(snapshotRender, renderWanted, sizeof snapshotRender);
  std::memcpy(snapshotSampler, samplerWanted, sizeof snapshotSampler);
}

void CRenderStateCache::Restore() {
  for (int id = 0; id < kRenderStateIds; ++id) SetRenderState(id, snapshotRender[id]);
  for (int entry = 0; entry < kSamplerEntries; ++entry) SetSamplerState(entry / 4, entry % 4, snapshotSampler[entry]);
}

void CRenderStateCache::Flush() {
  if (renderDirty != 0) {
    for (int id = 0; id < kRenderStateIds; ++id) {
      if (renderDirty & (1u << (id % 32))) {
        RenderState_SendToDevice(id, renderWanted[id]);
        renderApplied[id] = renderWanted[id];
      }
    }
    renderDirty = 0;
  }
  if (samplerDirty != 0) {
    for (int entry = 0; entry < kSamplerEntries; ++entry) {
      if (samplerDirty & (uint64_t{1} << entry)) {
        RenderState_SetSampler(entry / 4, entry % 4, samplerWanted[entry]);
        samplerApplied[entry] = samplerWanted[entry];
      }
    }
    samplerDirty = 0;
  }
}

void CRenderStateCache::ReapplyAll() {
  // Every state, stencil and all eight stages included: a reset returns the
  // device to its defaults, so anything not re-sent would be lost.
  renderDirty = 0xFFFFFFFFu;
  samplerDirty = (uint64_t{1} << kSamplerEntries) - 1;
  Flush();
}

void RenderState_SendToDevice(int id, uint32_t value) {
  using namespace gfx;
  switch (id) {
    case RS_ZENABLE:
      g_sent.zEnable = value != 0;
      RenderState_SetD3D(RS_ZEnable, value);
      break;
    case RS_FILLMODE:
      RenderState_SetD3D(RS_FillMode, value == 1 ? Fill_Point : value == 2 ? Fill_Wireframe : Fill_Solid);
      break;
    case RS_SHADEMODE: RenderState_SetD3D(RS_ShadeMode, value == 1 ? Shade_Flat : Shade_Gouraud); break;
    case RS_ZWRITEENABLE: RenderState_SetD3D(RS_ZWriteEnable, value); break;
    case RS_ALPHATESTENABLE: RenderState_SetD3D(RS_AlphaTestEnable, value); break;
    case RS_SRCBLEND: RenderState_SetD3D(RS_SrcBlend, BlendOrZero(value)); break;
    case RS_DESTBLEND: RenderState_SetD3D(RS_DestBlend, BlendOrZero(value)); break;
    case RS_CULLMODE:
      g_sent.cullMode = value;
      RenderState_SetD3D(RS_CullMode, value == 1 ? Cull_Clockwise : value == 2 ? Cull_CounterClockwise : Cull_None);
      break;
    case RS_ZFUNC: RenderState_SetD3D(RS_ZFunc, CompareOrAlways(value)); break;
    case RS_ALPHAREF: RenderState_SetD3D(RS_AlphaRef, value); break;
    case RS_ALPHAFUNC: RenderState_SetD3D(RS_AlphaFunc, CompareOrAlways(value)); break;
    case RS_ALPHABLENDENABLE: RenderState_SetD3D(RS_AlphaBlendEnable, value); break;
    case RS_FOGENABLE:
      g_sent.fog = value != 0;
      RenderState_SetD3D(RS_FogEnable, value);
      break;
    case RS_FOGCOLOR: RenderState_SetD3D(RS_FogColor, value); break;
    case RS_FOGTABLEMODE: RenderState_SetD3D(RS_FogTableMode, FogModeOrLinear(value)); break;
    case RS_FOGSTART: RenderState_SetD3D(RS_FogStart, value); break;
    case RS_FOGEND: RenderState_SetD3D(RS_FogEnd, value); break;
    case RS_RANGEFOGENABLE: RenderState_SetD3D(RS_RangeFogEnable, value); break;
    case RS_LIGHTING:
      g_sent.lighting = value != 0;
      RenderState_SetD3D(RS_Lighting, value);
      break;
    case RS_FOGVERTEXMODE: RenderState_SetD3D(RS_FogVertexMode, FogModeOrLinear(value)); break;
    case RS_COLORWRITEENABLE: RenderState_SetD3D(RS_ColorWriteEnable, value & 15); break;
    case RS_STENCILENABLE: RenderState_SetD3D(RS_StencilEnable, value); break;
    case RS_STENCILFAIL: RenderState_SetD3D(RS_StencilFail, StencilOpOrKeep(value)); break;
    case RS_STENCILZFAIL: RenderState_SetD3D(RS_StencilZFail, StencilOpOrKeep(value)); break;
    case RS_STENCILPASS: RenderState_SetD3D(RS_StencilPass, StencilOpOrKeep(value)); break;
    case RS_STENCILFUNC: RenderState_SetD3D(RS_StencilFunc, CompareOrAlways(value)); break;
    case RS_STENCILREF: RenderState_SetD3D(RS_StencilRef, value); break;
    case RS_STENCILMASK: RenderState_SetD3D(RS_StencilMask, value); break;
    case RS_STENCILWRITEMASK: RenderState_SetD3D(RS_StencilWriteMask, value); break;
    default: break;  // ids 0, 14, 19 and 22 drive nothing
  }
}

void RenderState_SetD3D(uint32_t deviceState, uint32_t value) {
  if (!g_device || deviceState >= gfx::kRenderStateCount) return;
  if (g_shadow.renderKnown[deviceState] && g_shadow.render[deviceState] == value) return;
  g_shadow.render[deviceState] = value;
  g_shadow.renderKnown[deviceState] = true;
  g_device->SetRenderState(static_cast<gfx::RenderState>(deviceState), value);
}

void RenderState_SetSampler(int stage, int kind, uint32_t value) {
  if (!g_device || stage < 0 || stage >= kSamplerStages || kind < 0 || kind > 3) return;
  static constexpr gfx::SamplerState kStates[4] = {gfx::SS_MagFilter, gfx::SS_MinFilter, gfx::SS_AddressU,
                                                   gfx::SS_AddressV};
  uint32_t deviceValue;
  if (kind < 2)
    deviceValue = value ? gfx::Filter_Point : gfx::Filter_Linear;
  else
    deviceValue = value ? gfx::Address_Clamp : gfx::Address_Wrap;
  uint32_t& shadow = g_shadow.sampler[stage][kStates[kind]];
  bool& known = g_shadow.samplerKnown[stage][kStates[kind]];
  if (known && shadow == deviceValue) return;
  shadow = deviceValue;
  known = true;
  g_device->SetSamplerState(stage, kStates[kind], deviceValue);
}

void RenderState_ResetDevice() {
  using namespace gfx;
  // The sampler shadow goes too: a reset puts the samplers back to their
  // defaults as well.
  g_shadow.Forget();
  RenderState_SetD3D(RS_Lighting, 1);
  RenderState_SetD3D(RS_ZEnable, 1);
  RenderState_SetD3D(RS_FillMode, Fill_Solid);
  RenderState_SetD3D(RS_ShadeMode, Shade_Gouraud);
  RenderState_SetD3D(RS_ZWriteEnable, 1);
  RenderState_SetD3D(RS_AlphaTestEnable, 0);
  RenderState_SetD3D(RS_LastPixel, 1);
  RenderState_SetD3D(RS_SrcBlend, Blend_One);
  RenderState_SetD3D(RS_DestBlend, Blend_Zero);
  RenderState_SetD3D(RS_CullMode, Cull_None);
  RenderState_SetD3D(RS_ZFunc, Cmp_LessEqual);
  RenderState_SetD3D(RS_AlphaRef, 128);
  RenderState_SetD3D(RS_AlphaFunc, Cmp_Always);
  RenderState_SetD3D(RS_DitherEnable, 1);
  RenderState_SetD3D(RS_AlphaBlendEnable, 0);
  RenderState_SetD3D(RS_FogEnable, 0);
  RenderState_SetD3D(RS_SpecularEnable, 0);
  RenderState_SetD3D(RS_FogColor, 0);
  RenderState_SetD3D(RS_FogTableMode, Fog_None);
  RenderState_SetD3D(RS_FogStart, FloatBits(0.0f));
  RenderState_SetD3D(RS_FogEnd, FloatBits(1.0f));  // a float state: 1.0, not the integer 1
  RenderState_SetD3D(RS_StencilEnable, 0);
  RenderState_SetD3D(RS_StencilZFail, Stencil_Keep);
  RenderState_SetD3D(RS_ColorWriteEnable, 15);
  RenderState_SetD3D(RS_BlendOp, BlendOp_Add);
  RenderState_SetD3D(RS_NormalizeNormals, 1);
}

namespace {

void ApplyFog(bool enable, uint32_t deviceColour, float start, float end) {
  g_settings.fogColour = deviceColour;
  g_settings.fogStart = start;
  g_settings.fogEnd = end;
  int mode = enable ? Graphics_FogMode() : 0;
  if (!enable || mode == 0) {
    // No fog on a device without fog support.
    g_settings.fogEnable = false;
    g_RenderStateCache.SetRenderState(RS_FOGENABLE, 0);
    return;
  }
  g_settings.fogEnable = true;
  g_RenderStateCache.SetRenderState(RS_FOGENABLE, 1);
  if (mode == 1) {
    g_RenderStateCache.SetRenderState(RS_FOGTABLEMODE, gfx::Fog_Linear);
  } else {
    g_RenderStateCache.SetRenderState(RS_FOGVERTEXMODE, gfx::Fog_Linear);
    g_RenderStateCache.SetRenderState(RS_RANGEFOGENABLE, 1);
  }
  g_RenderStateCache.SetRenderState(RS_FOGCOLOR, deviceColour);
  RenderState_UpdateFogRange();
}

}  // namespace

void RenderState_ApplyAll() {
  if (!g_device) return;
  g_settings.baseTextureStage = 0;
  RenderState_ResetDevice();
  RenderState_SetD3D(gfx::RS_AlphaBlendEnable, 1);
  RenderState_SetCulling(g_settings.culling);
  RenderState_SetBlendModeExt(g_settings.srcBlend, g_settings.destBlend);
  RenderState_SetLighting(g_settings.lighting);
  RenderState_SetShading(g_settings.shading);
  RenderState_SetZTest(g_settings.depthTest);
  ApplyFog(g_settings.fogEnable, g_settings.fogColour, g_settings.fogStart, g_settings.fogEnd);
  g_device->SetTexture(0, 0);
  RenderState_SetInterpolation(g_settings.gameInterpolation);
  RenderState_SetTextureBlending(g_settings.textureBlending);
  RenderState_SetRepeat(g_settings.repeat[0]);
  g_RenderStateCache.SetRenderState(RS_COLORWRITEENABLE, g_settings.colourWriteMask);
  RenderState_SetAlphaTest(g_settings.alphaTest);
  RenderState_SetAlphaTestRef(g_settings.alphaRef);
  g_RenderStateCache.SetRenderState(RS_ALPHAFUNC, g_settings.alphaFunc);
  g_RenderStateCache.ReapplyAll();
}

void RenderState_SetBlendModeExt(uint32_t source, uint32_t destination) {
  g_settings.srcBlend = source;
  g_settings.destBlend = destination;
  g_RenderStateCache.SetRenderState(RS_SRCBLEND, source);
  g_RenderStateCache.SetRenderState(RS_DESTBLEND, destination);
}

void RenderState_SetBlendMode(int mode) {
  using namespace gfx;
  switch (mode) {
    case BlendMode_Add: RenderState_SetBlendModeExt(Blend_SrcAlpha, Blend_One); break;
    case BlendMode_Max: RenderState_SetBlendModeExt(Blend_SrcAlpha, Blend_InvSrcColour); break;
    case BlendMode_Subtract: RenderState_SetBlendModeExt(Blend_Zero, Blend_InvSrcColour); break;
    default: RenderState_SetBlendModeExt(Blend_SrcAlpha, Blend_InvSrcAlpha); break;
  }
}

void RenderState_SetColorWriteEnable(bool red, bool green, bool blue, bool alpha) {
  g_settings.colourWriteMask = uint32_t{red} | uint32_t{green} << 1 | uint32_t{blue} << 2 | uint32_t{alpha} << 3;
  g_RenderStateCache.SetRenderState(RS_COLORWRITEENABLE, g_settings.colourWriteMask);
}

void RenderState_SetCulling(bool flag) {
  g_settings.culling = flag;
  g_RenderStateCache.SetRenderState(RS_CULLMODE, flag ? 2 : 0);
}

void RenderState_SetZTest(bool flag) {
  g_settings.depthTest = flag;
  g_RenderStateCache.SetRenderState(RS_ZENABLE, flag && Graphics_Is3DMode() ? 1 : 0);
}

void RenderState_SetZWriteEnable(bool flag) {
  g_settings.depthWrite = flag;
  g_RenderStateCache.SetRenderState(RS_ZWRITEENABLE, flag ? 1 : 0);
}

void RenderState_SetLighting(bool flag) {
  g_settings.lighting = flag;
  g_RenderStateCache.SetRenderState(RS_LIGHTING, flag ? 1 : 0);
}

void RenderState_SetShading(bool flag) {
  g_settings.shading = flag;
  g_RenderStateCache.SetRenderState(RS_SHADEMODE, flag ? 2 : 1);
}

void RenderState_SetAlphaTest(bool flag) {
  if (!g_device) return;
  g_settings.alphaTest = flag;
  g_RenderStateCache.SetRenderState(RS_ALPHATESTENABLE, flag ? 1 : 0);
}

bool RenderState_GetAlphaTest() { return g_settings.alphaTest; }

void RenderState_SetAlphaTestRef(uint32_t value) {
  g_settings.alphaRef = value;
  g_RenderStateCache.SetRenderState(RS_ALPHAREF, value);
}

uint32_t RenderState_GetAlphaTestRef() { return g_settings.alphaRef; }

void RenderState_SetInterpolationExt(int stage, bool flag) {
  if (stage < 0 || stage >= kSamplerStages) return;
  g_settings.interpolation[stage] = flag;
  g_RenderStateCache.SetSamplerState(stage, SK_MAGFILTER, flag ? 0 : 1);
  g_RenderStateCache.SetSamplerState(stage, SK_MINFILTER, flag ? 0 : 1);
}

void RenderState_SetInterpolation(bool flag) {
  for (int stage = 0; stage < kSamplerStages; ++stage) RenderState_SetInterpolationExt(stage, flag);
}

bool RenderState_GetInterpolation() { return g_settings.interpolation[0]; }

void RenderState_SetRepeatExt(int stage, bool flag) {
  if (stage < 0 || stage >= kSamplerStages) return;
  g_settings.repeat[stage] = flag;
  g_RenderStateCache.SetSamplerState(stage, SK_ADDRESSU, flag ? 0 : 1);
  g_RenderStateCache.SetSamplerState(stage, SK_ADDRESSV, flag ? 0 : 1);
}

void RenderState_SetRepeat(bool flag) {
  for (int stage = 0; stage < kSamplerStages; ++stage) RenderState_SetRepeatExt(stage, flag);
}

bool RenderState_GetRepeat() { return g_settings.repeat[0]; }

void RenderState_SetTextureBlending(bool flag) {
  g_settings.textureBlending = flag;
  VertexBatch_Flush();
  if (!g_device) return;
  // Blending multiplies the texture by the vertex colour; without it the
  // texture's colour stands alone and only alpha is modulated.
  g_device->SetTextureStageState(0, gfx::TSS_ColourOp, flag ? gfx::TOp_Modulate : gfx::TOp_SelectArg1);
  g_device->SetTextureStageState(0, gfx::TSS_ColourArg1, gfx::TArg_Texture);
  g_device->SetTextureStageState(0, gfx::TSS_ColourArg2, gfx::TArg_Diffuse);
  g_device->SetTextureStageState(0, gfx::TSS_AlphaOp, gfx::TOp_Modulate);
  g_device->SetTextureStageState(0, gfx::TSS_AlphaArg1, gfx::TArg_Texture);
  g_device->SetTextureStageState(0, gfx::TSS_AlphaArg2, gfx::TArg_Diffuse);
}

void RenderState_SetPerspectiveFlag(bool flag) { g_settings.perspective = flag; }
bool RenderState_GetPerspectiveFlag() { return g_settings.perspective; }

void RenderState_SetFog(bool enable, uint32_t scriptColour, double start, double end) {
  ApplyFog(enable, ScriptColourToDevice(scriptColour), static_cast<float>(start), static_cast<float>(end));
}

void RenderState_UpdateFogRange() {
  if (Projection_IsOrthographic()) {
    float nearZ = Projection_Near(), farZ = Projection_Far();
    float range = farZ - nearZ;
    if (range == 0.0f) return;
    uint32_t start = FloatBits((g_settings.fogStart - nearZ) / range);
    uint32_t end = FloatBits((g_settings.fogEnd - nearZ) / range);
    RenderState_SetD3D(gfx::RS_FogStart, start);
    RenderState_SetD3D(gfx::RS_FogEnd, end);
    // The cache learns what the device now holds, so a later switch to a
    // perspective range is sent and a reapply re-sends the mapped range.
    CRenderStateCache& cache = g_RenderStateCache;
    cache.renderWanted[RS_FOGSTART] = cache.renderApplied[RS_FOGSTART] = start;
    cache.renderWanted[RS_FOGEND] = cache.renderApplied[RS_FOGEND] = end;
    cache.renderDirty &= ~(1u << RS_FOGSTART | 1u << RS_FOGEND);
  } else {
    g_RenderStateCache.SetRenderState(RS_FOGSTART, FloatBits(g_settings.fogStart));
    g_RenderStateCache.SetRenderState(RS_FOGEND, FloatBits(g_settings.fogEnd));
  }
}

int Graphics_FogMode() {
  if (!g_device) return 0;
  gfx::Caps caps = g_device->GetCaps();
  return caps.fogTable ? 1 : caps.fogVertex ? 2 : 0;
}

void RenderState_SetGameInterpolation(bool flag) { g_settings.gameInterpolation = flag; }
int RenderState_BaseTextureStage() { return g_settings.baseTextureStage; }
void RenderState_SetBaseTextureStage(int stage) {
  if (stage >= 0 && stage < kSamplerStages) g_settings.baseTextureStage = stage;
}

RenderStateSentFlags RenderState_SentFlags() { return g_sent; }

void RenderState_ResetForTests() {
  g_RenderStateCache = CRenderStateCache();
  g_settings = RenderSettings();
  g_sent = RenderStateSentFlags();
  g_shadow.Forget();
}
