// Engine render states: the drawing code sets wanted values here and nothing
// reaches the device until the vertex batch is flushed; below that, a shadow
// of the device's own states drops every set that would change nothing.
#pragma once
#include <cstdint>

#include "platform/gfx/device.h"

// The device every graphics call goes to; null while there is none.
void Graphics_SetDevice(gfx::Device* device);
gfx::Device* Graphics_Device();

enum RenderStateId : int {
  RS_ZENABLE = 1,
  RS_FILLMODE = 2,
  RS_SHADEMODE = 3,
  RS_ZWRITEENABLE = 4,
  RS_ALPHATESTENABLE = 5,
  RS_SRCBLEND = 6,
  RS_DESTBLEND = 7,
  RS_CULLMODE = 8,
  RS_ZFUNC = 9,
  RS_ALPHAREF = 10,
  RS_ALPHAFUNC = 11,
  RS_ALPHABLENDENABLE = 12,
  RS_FOGENABLE = 13,
  RS_FOGCOLOR = 15,
  RS_FOGTABLEMODE = 16,
  RS_FOGSTART = 17,
  RS_FOGEND = 18,
  RS_RANGEFOGENABLE = 20,
  RS_LIGHTING = 21,
  RS_FOGVERTEXMODE = 23,
  RS_COLORWRITEENABLE = 24,
  RS_STENCILENABLE = 25,
  RS_STENCILFAIL = 26,
  RS_STENCILZFAIL = 27,
  RS_STENCILPASS = 28,
  RS_STENCILFUNC = 29,
  RS_STENCILREF = 30,
  RS_STENCILMASK = 31,
  RS_STENCILWRITEMASK = 32,
};
constexpr int kRenderStateIds = 33;

// Sampler kinds: filters hold 1 for point, 0 for linear; addresses 1 for
// clamp, 0 for wrap.
enum SamplerKind : int { SK_MAGFILTER = 0, SK_MINFILTER = 1, SK_ADDRESSU = 2, SK_ADDRESSV = 3 };
constexpr int kSamplerStages = 8;
constexpr int kSamplerEntries = kSamplerStages * 4;

// Blend modes of draw_set_blend_mode.
enum BlendMode : int { BlendMode_Normal = 0, BlendMode_Add = 1, BlendMode_Max = 2, BlendMode_Subtract = 3 };

class CRenderStateCache {
 public:
  CRenderStateCache();

  void SetRenderState(int id, uint32_t value);
  void SetSamplerState(int stage, int kind, uint32_t value);
  void Snapshot();
  void Restore();
  // Sends every dirty state; the batch must already be drawn.
  void Flush();
  // Marks every state for re-sending and flushes.
  void ReapplyAll();
  bool AnyDirty() const { return renderDirty != 0 || samplerDirty != 0; }

  // Bit (id mod 32); id 32 shares bit 0 with the unused id 0.
  uint32_t renderDirty;
  uint32_t renderApplied[kRenderStateIds];
  uint32_t renderWanted[kRenderStateIds];
  uint64_t samplerDirty;  // bit stage * 4 + kind
  uint32_t samplerApplied[kSamplerEntries];
  uint32_t samplerWanted[kSamplerEntries];
  uint32_t snapshotRender[kRenderStateIds];
  uint32_t snapshotSampler[kSamplerEntries];
};

extern CRenderStateCache g_RenderStateCache;

// Device level, through the shadow.
void RenderState_SendToDevice(int id, uint32_t value);
void RenderState_SetD3D(uint32_t deviceState, uint32_t value);
void RenderState_SetSampler(int stage, int kind, uint32_t value);
void RenderState_ResetDevice();
// Rebuilds the device state from the kept settings, after device creation
// and after every reset.
void RenderState_ApplyAll();

// Back ends of the drawing built-ins: they only set wanted values.
void RenderState_SetBlendModeExt(uint32_t source, uint32_t destination);
void RenderState_SetBlendMode(int mode);
void RenderState_SetColorWriteEnable(bool red, bool green, bool blue, bool alpha);
void RenderState_SetCulling(bool flag);
void RenderState_SetZTest(bool flag);
void RenderState_SetZWriteEnable(bool flag);
void RenderState_SetLighting(bool flag);
void RenderState_SetShading(bool flag);
void RenderState_SetAlphaTest(bool flag);
bool RenderState_GetAlphaTest();
void RenderState_SetAlphaTestRef(uint32_t value);
uint32_t RenderState_GetAlphaTestRef();
void RenderState_SetInterpolation(bool flag);
void RenderState_SetInterpolationExt(int stage, bool flag);
bool RenderState_GetInterpolation();
void RenderState_SetRepeat(bool flag);
void RenderState_SetRepeatExt(int stage, bool flag);
bool RenderState_GetRepeat();
void RenderState_SetTextureBlending(bool flag);
void RenderState_SetPerspectiveFlag(bool flag);
bool RenderState_GetPerspectiveFlag();
// Start and end are kept as given: a fog range is not limited to 16 bits.
void RenderState_SetFog(bool enable, uint32_t scriptColour, double start, double end);
void RenderState_UpdateFogRange();
// 1 table fog, 2 vertex fog, 0 none.
int Graphics_FogMode();

// The game's texture-interpolation setting, applied to every stage on reset.
void RenderState_SetGameInterpolation(bool flag);
int RenderState_BaseTextureStage();
void RenderState_SetBaseTextureStage(int stage);

// What was last sent, for the overlay.
struct RenderStateSentFlags {
  bool zEnable = false;
  bool fog = false;
  bool lighting = false;
  uint32_t cullMode = 0;
};
RenderStateSentFlags RenderState_SentFlags();

// Defaults again, shadows forgotten; for tests.
void RenderState_ResetForTests();
