// The drawing device the graphics subsystem talks to: a small interface of our
// own, shaped after the calls the engine makes per frame. It follows the
// fixed-function, state-setting device model of Direct3D 9 (render states,
// sampler states, transforms, vertex buffers drawn by primitive kind),
// because the engine's built-ins and saved render states are defined in
// those terms; the OpenGL back end emulates that model with shaders. The
// OpenGL back end and the recording back end (for tests and benchmarks)
// implement it.
//
// Value enumerations that scripts can see (blend factors, compare functions,
// primitive kinds) keep the engine's numbering so no table sits between the
// two; state ids and format bits are private to this interface.
#pragma once
#include <cstddef>
#include <cstdint>

namespace gfx {

// Device render states.
enum RenderState : uint32_t {
  RS_ZEnable,
  RS_FillMode,
  RS_ShadeMode,
  RS_ZWriteEnable,
  RS_AlphaTestEnable,
  RS_LastPixel,
  RS_SrcBlend,
  RS_DestBlend,
  RS_CullMode,
  RS_ZFunc,
  RS_AlphaRef,
  RS_AlphaFunc,
  RS_DitherEnable,
  RS_AlphaBlendEnable,
  RS_FogEnable,
  RS_SpecularEnable,
  RS_FogColor,
  RS_FogTableMode,
  RS_FogStart,  // bits of a float
  RS_FogEnd,    // bits of a float
  RS_RangeFogEnable,
  RS_StencilEnable,
  RS_StencilFail,
  RS_StencilZFail,
  RS_StencilPass,
  RS_StencilFunc,
  RS_StencilRef,
  RS_StencilMask,
  RS_StencilWriteMask,
  RS_Lighting,
  RS_FogVertexMode,
  RS_ColorWriteEnable,
  RS_BlendOp,
  RS_NormalizeNormals,
  RS_Ambient,  // 0xAARRGGBB
  kRenderStateCount
};

enum FillMode : uint32_t { Fill_Point = 1, Fill_Wireframe = 2, Fill_Solid = 3 };
enum ShadeMode : uint32_t { Shade_Flat = 1, Shade_Gouraud = 2 };
enum CullMode : uint32_t { Cull_None = 1, Cull_Clockwise = 2, Cull_CounterClockwise = 3 };
enum FogMode : uint32_t { Fog_None = 0, Fog_Exp = 1, Fog_Exp2 = 2, Fog_Linear = 3 };
enum BlendOp : uint32_t { BlendOp_Add = 1, BlendOp_Subtract, BlendOp_RevSubtract, BlendOp_Min, BlendOp_Max };

// Blend factors, numbered as the script's bm_ constants.
enum Blend : uint32_t {
  Blend_Zero = 1,
  Blend_One,
  Blend_SrcColour,
  Blend_InvSrcColour,
  Blend_SrcAlpha,
  Blend_InvSrcAlpha,
  Blend_DestAlpha,
  Blend_InvDestAlpha,
  Blend_DestColour,
  Blend_InvDestColour,
  Blend_SrcAlphaSat,
  Blend_BothSrcAlpha,
  Blend_BothInvSrcAlpha,
  Blend_Factor,
  Blend_InvFactor,
  Blend_Src1Colour,
  Blend_InvSrc1Colour,
  kBlendLast = Blend_InvSrc1Colour
};

enum Compare : uint32_t {
  Cmp_Never = 1,
  Cmp_Less,
  Cmp_Equal,
  Cmp_LessEqual,
  Cmp_Greater,
  Cmp_NotEqual,
  Cmp_GreaterEqual,
  Cmp_Always
};

enum StencilOp : uint32_t {
  Stencil_Keep = 1,
  Stencil_Zero,
  Stencil_Replace,
  Stencil_IncrSat,
  Stencil_DecrSat,
  Stencil_Invert,
  Stencil_Incr,
  Stencil_Decr,
  kStencilOpLast = Stencil_Decr
};

// Per-stage sampler states.
enum SamplerState : uint32_t { SS_MagFilter, SS_MinFilter, SS_AddressU, SS_AddressV, kSamplerStateCount };
enum TextureFilter : uint32_t { Filter_Point = 1, Filter_Linear = 2 };
enum TextureAddress : uint32_t { Address_Wrap = 1, Address_Clamp = 2 };

// Per-stage texture combining.
enum TextureStageState : uint32_t {
  TSS_ColourOp,
  TSS_ColourArg1,
  TSS_ColourArg2,
  TSS_AlphaOp,
  TSS_AlphaArg1,
  TSS_AlphaArg2,
  kTextureStageStateCount
};
enum TextureOp : uint32_t { TOp_Disable = 1, TOp_SelectArg1, TOp_SelectArg2, TOp_Modulate };
enum TextureArg : uint32_t { TArg_Diffuse = 1, TArg_Texture, TArg_Current };

constexpr int kMaxTextureStages = 8;

enum class Transform : uint32_t { View, Projection, World };

// Primitive kinds, numbered as the script's pr_ constants.
enum PrimitiveType : uint32_t {
  Prim_PointList = 1,
  Prim_LineList,
  Prim_LineStrip,
  Prim_TriangleList,
  Prim_TriangleStrip,
  Prim_TriangleFan
};

// Fixed vertex layouts, summed as bits in the order position, normal, colour,
// texture coordinates. No combination equals 16, 24 or 36, the vertex sizes
// the batcher accepts in place of a format.
enum VertexFormatBits : uint32_t {
  FVF_XYZ = 0x01,
  FVF_XYZRHW = 0x02,
  FVF_Normal = 0x04,
  FVF_Diffuse = 0x08,
  FVF_Tex1 = 0x40,
};

enum BufferUsage : uint32_t { Usage_Dynamic = 1, Usage_WriteOnly = 2 };
enum class Pool : uint32_t { Default, Managed, SystemMemory };
enum LockFlags : uint32_t { Lock_None = 0, Lock_Discard = 1, Lock_NoOverwrite = 2 };

enum ClearFlags : uint32_t { Clear_Target = 1, Clear_ZBuffer = 2, Clear_Stencil = 4 };

// Texture creation: a render target gets its own depth-stencil buffer.
enum TextureUsage : uint32_t { TexUsage_RenderTarget = 1 };

enum class Result : uint32_t { Ok, DeviceLost, DeviceNotReset, Failed };

// Opaque handles; 0 is none.
using VertexBufferHandle = uint32_t;
using TextureHandle = uint32_t;
using VertexDeclarationHandle = uint32_t;

// Row-major, used with row vectors: translation in row 3.
struct Matrix4 {
  float m[4][4];
};

enum LightType : uint32_t { Light_Point = 1, Light_Spot = 2, Light_Directional = 3 };
constexpr int kMaxLights = 8;

struct ColourValue {
  float r = 0, g = 0, b = 0, a = 0;
};
struct Vector3 {
  float x = 0, y = 0, z = 0;
};

// A fixed-function light, in world space.
struct Light {
  LightType type = Light_Directional;
  ColourValue diffuse, specular, ambient;
  Vector3 position, direction;
  float range = 0, falloff = 0, attenuation0 = 0, attenuation1 = 0, attenuation2 = 0, theta = 0, phi = 0;
};

// Lit vertices take their diffuse colour from the vertex when it has one.
struct Material {
  ColourValue diffuse, ambient, specular, emissive;
  float power = 0;
};

struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
};

struct Caps {
  bool fogTable = true;
  bool fogVertex = true;
  int simultaneousRenderTargets = 1;
};

struct PresentParameters {
  int backBufferWidth = 0;
  int backBufferHeight = 0;
  bool windowed = true;
  int multisample = 0;
  bool vsync = false;
};

class Device {
 public:
  virtual ~Device() = default;

  virtual Caps GetCaps() const = 0;

  virtual void SetRenderState(RenderState state, uint32_t value) = 0;
  virtual void SetSamplerState(int stage, SamplerState state, uint32_t value) = 0;
  virtual void SetTextureStageState(int stage, TextureStageState state, uint32_t value) = 0;
  virtual void SetTexture(int stage, TextureHandle texture) = 0;

  virtual void SetTransform(Transform which, const Matrix4& matrix) = 0;
  // Lights 0 to kMaxLights - 1; other indices are ignored.
  virtual void SetLight(int index, const Light& light) = 0;
  virtual void LightEnable(int index, bool enable) = 0;
  virtual void SetMaterial(const Material& material) = 0;
  virtual void SetViewport(const Viewport& viewport) = 0;
  virtual Viewport GetViewport() const = 0;

  // Vertex input: a fixed layout, or a declaration when the layout is 0.
  virtual void SetFVF(uint32_t fvf) = 0;
  virtual void SetVertexDeclaration(VertexDeclarationHandle declaration) = 0;

  // Returns 0 on failure.
  virtual VertexBufferHandle CreateVertexBuffer(size_t bytes, uint32_t usage, uint32_t fvf, Pool pool) = 0;
  virtual void ReleaseVertexBuffer(VertexBufferHandle buffer) = 0;
  // Null on failure, or when the range leaves the buffer.
  virtual void* LockVertexBuffer(VertexBufferHandle buffer, size_t offset, size_t bytes, uint32_t flags) = 0;
  virtual bool UnlockVertexBuffer(VertexBufferHandle buffer) = 0;
  virtual void SetStreamSource(int stream, VertexBufferHandle buffer, size_t offset, size_t stride) = 0;

  virtual void DrawPrimitive(PrimitiveType type, int startVertex, int primitiveCount) = 0;
  // Draws from caller memory, bypassing any bound stream.
  virtual void DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices, size_t stride) = 0;

  // Textures hold 0xAARRGGBB words of exactly the size asked, row 0 at the
  // top; a new one is transparent black. 0 on failure.
  virtual TextureHandle CreateTexture(int width, int height, uint32_t usage) = 0;
  // Writes a rectangle; rows of `pitch` words. False when it leaves the texture.
  virtual bool UpdateTexture(TextureHandle texture, int x, int y, int width, int height, const uint32_t* pixels,
                             int pitch) = 0;
  virtual void ReleaseTexture(TextureHandle texture) = 0;
  virtual bool TextureSize(TextureHandle texture, int* width, int* height) const = 0;

  // Where drawing goes: a render-target texture, or 0 for the back buffer
  // (slot 0 only). Slots beyond the caps' count are refused.
  virtual bool SetRenderTarget(int slot, TextureHandle target) = 0;
  virtual TextureHandle GetRenderTarget(int slot) const = 0;
  // Size of the back buffer (the window's drawable area).
  virtual void BackBufferSize(int* width, int* height) const = 0;
  // Copies a rectangle of a texture, or of the back buffer for 0, as rows of
  // 0xAARRGGBB words, row 0 at the top. False when it leaves the source.
  virtual bool ReadPixels(TextureHandle source, int x, int y, int width, int height, uint32_t* out) = 0;

  virtual void Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) = 0;
  virtual bool BeginScene() = 0;
  virtual bool EndScene() = 0;
  virtual bool Present() = 0;
  virtual Result TestCooperativeLevel() = 0;
  // Every device state returns to its default.
  virtual bool Reset(const PresentParameters& parameters) = 0;
};

// Vertices a draw of `count` primitives of `type` consumes.
constexpr int VertexCountFor(PrimitiveType type, int count) {
  switch (type) {
    case Prim_PointList: return count;
    case Prim_LineList: return count * 2;
    case Prim_LineStrip: return count + 1;
    case Prim_TriangleList: return count * 3;
    case Prim_TriangleStrip:
    case Prim_TriangleFan: return count + 2;
  }
  return count;
}

}  // namespace gfx
