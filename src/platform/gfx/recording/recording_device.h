// A device that draws nothing and remembers every call, for unit tests and
// benchmarks: the sequence of calls, the state changes and the draws.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/gfx/device.h"

namespace gfx {

class RecordingDevice final : public Device {
 public:
  enum class Op : uint32_t {
    SetRenderState,
    SetSamplerState,
    SetTextureStageState,
    SetTexture,
    SetTransform,
    SetViewport,
    SetFVF,
    SetVertexDeclaration,
    CreateVertexBuffer,
    ReleaseVertexBuffer,
    Lock,
    Unlock,
    SetStreamSource,
    DrawPrimitive,
    DrawPrimitiveUP,
    Clear,
    BeginScene,
    EndScene,
    Present,
    Reset,
    CreateTexture,
    UpdateTexture,
    ReleaseTexture,
    SetRenderTarget,
    ReadPixels,
    SetLight,
    LightEnable,
    SetMaterial,
  };

  // One call. The meaning of a to d follows the call's arguments in order
  // (stage before state before value); a float argument is kept as its bits.
  struct Call {
    Op op;
    uint32_t a = 0, b = 0, c = 0, d = 0;
  };

  struct Draw {
    PrimitiveType type;
    int primitiveCount;
    TextureHandle texture;   // stage 0 at the time of the draw
    uint32_t fvf;
    std::vector<uint8_t> vertices;  // only while capturing
  };

  Caps caps;
  // Failure injection: the next n buffer creations (of any kind) fail.
  int failCreates = 0;
  // Failure injection: the next n resets fail.
  int failResets = 0;
  // What TestCooperativeLevel answers.
  Result cooperativeLevel = Result::Ok;
  // Size of the back buffer until a reset gives one.
  int backBufferWidth = 640, backBufferHeight = 480;
  // Keep a copy of the vertices of every draw (off for benchmarks).
  bool captureVertices = false;
  // Record nothing but draws (for benchmarks).
  bool recordCalls = true;

  // Inspection.
  const std::vector<Call>& Calls() const { return calls_; }
  const std::vector<Draw>& Draws() const { return draws_; }
  size_t DrawCallCount() const { return drawCount_; }
  size_t CountOf(Op op) const;
  std::vector<std::pair<RenderState, uint32_t>> RenderStateChanges() const;
  // (stage, state, value) of every sampler change, in order.
  std::vector<Call> SamplerChanges() const;
  uint32_t RenderStateValue(RenderState state) const { return renderStates_[state]; }
  uint32_t SamplerValue(int stage, SamplerState state) const { return samplers_[stage][state]; }
  uint32_t TextureStageValue(int stage, TextureStageState state) const { return stages_[stage][state]; }
  const Matrix4& TransformValue(Transform which) const { return transforms_[static_cast<int>(which)]; }
  size_t LiveVertexBuffers() const;
  size_t LiveTextures() const;
  // The pixels a texture holds (0: the back buffer); clears fill them.
  const std::vector<uint32_t>* TexturePixels(TextureHandle texture) const;
  void ClearLog();

  // Device.
  Caps GetCaps() const override { return caps; }
  void SetRenderState(RenderState state, uint32_t value) override;
  void SetSamplerState(int stage, SamplerState state, uint32_t value) override;
  void SetTextureStageState(int stage, TextureStageState state, uint32_t value) override;
  void SetTexture(int stage, TextureHandle texture) override;
  void SetTransform(Transform which, const Matrix4& matrix) override;
  void SetLight(int index, const Light& light) override;
  void LightEnable(int index, bool enable) override;
  void SetMaterial(const Material& material) override;
  const Light& LightValue(int index) const { return lights_[index & (kMaxLights - 1)]; }
  bool LightEnabled(int index) const { return lightOn_[index & (kMaxLights - 1)]; }
  const Material& MaterialValue() const { return material_; }
  void SetViewport(const Viewport& viewport) override;
  Viewport GetViewport() const override { return viewport_; }
  void SetFVF(uint32_t fvf) override;
  void SetVertexDeclaration(VertexDeclarationHandle declaration) override;
  VertexBufferHandle CreateVertexBuffer(size_t bytes, uint32_t usage, uint32_t fvf, Pool pool) override;
  void ReleaseVertexBuffer(VertexBufferHandle buffer) override;
  void* LockVertexBuffer(VertexBufferHandle buffer, size_t offset, size_t bytes, uint32_t flags) override;
  bool UnlockVertexBuffer(VertexBufferHandle buffer) override;
  void SetStreamSource(int stream, VertexBufferHandle buffer, size_t offset, size_t stride) override;
  void DrawPrimitive(PrimitiveType type, int startVertex, int primitiveCount) override;
  void DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices, size_t stride) override;
  void Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) override;
  bool BeginScene() override;
  bool EndScene() override;
  bool Present() override;
  Result TestCooperativeLevel() override { return cooperativeLevel; }
  TextureHandle CreateTexture(int width, int height, uint32_t usage) override;
  bool UpdateTexture(TextureHandle texture, int x, int y, int width, int height, const uint32_t* pixels,
                     int pitch) override;
  void ReleaseTexture(TextureHandle texture) override;
  bool TextureSize(TextureHandle texture, int* width, int* height) const override;
  bool SetRenderTarget(int slot, TextureHandle target) override;
  TextureHandle GetRenderTarget(int slot) const override {
    return slot >= 0 && slot < kMaxTargets ? targets_[slot] : 0;
  }
  void BackBufferSize(int* width, int* height) const override;
  bool ReadPixels(TextureHandle source, int x, int y, int width, int height, uint32_t* out) override;
  bool Reset(const PresentParameters& parameters) override;

 private:
  struct Buffer {
    std::vector<uint8_t> bytes;
    uint32_t usage = 0, fvf = 0;
    bool live = false, locked = false;
  };

  struct Texture {
    int width = 0, height = 0;
    uint32_t usage = 0;
    std::vector<uint32_t> pixels;
    bool live = false;
  };
  static constexpr int kMaxTargets = 4;

  void Record(Op op, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);
  Buffer* Find(VertexBufferHandle handle);
  Texture* FindTexture(TextureHandle handle);
  const Texture* FindTexture(TextureHandle handle) const;
  // The pixels of a texture or of the back buffer, with their size.
  std::vector<uint32_t>* Surface(TextureHandle handle, int* width, int* height);
  void ResetStates();

  std::vector<Call> calls_;
  std::vector<Draw> draws_;
  size_t drawCount_ = 0;
  std::vector<Buffer> buffers_;  // handle = index + 1
  std::vector<Texture> textures_list_;  // handle = index + 1
  std::vector<uint32_t> backBuffer_;
  TextureHandle targets_[kMaxTargets] = {};
  uint32_t renderStates_[kRenderStateCount] = {};
  uint32_t samplers_[kMaxTextureStages][kSamplerStateCount] = {};
  uint32_t stages_[kMaxTextureStages][kTextureStageStateCount] = {};
  TextureHandle textures_[kMaxTextureStages] = {};
  Matrix4 transforms_[3] = {};
  Light lights_[kMaxLights];
  bool lightOn_[kMaxLights] = {};
  Material material_;
  Viewport viewport_;
  uint32_t fvf_ = 0;
  VertexBufferHandle stream_ = 0;
  size_t streamOffset_ = 0, streamStride_ = 0;
};

}  // namespace gfx
