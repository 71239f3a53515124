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
  void ClearLog();

  // Device.
  Caps GetCaps() const override { return caps; }
  void SetRenderState(RenderState state, uint32_t value) override;
  void SetSamplerState(int stage, SamplerState state, uint32_t value) override;
  void SetTextureStageState(int stage, TextureStageState state, uint32_t value) override;
  void SetTexture(int stage, TextureHandle texture) override;
  void SetTransform(Transform which, const Matrix4& matrix) override;
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
  Result TestCooperativeLevel() override { return Result::Ok; }
  bool Reset(const PresentParameters& parameters) override;

 private:
  struct Buffer {
    std::vector<uint8_t> bytes;
    uint32_t usage = 0, fvf = 0;
    bool live = false, locked = false;
  };

  void Record(Op op, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);
  Buffer* Find(VertexBufferHandle handle);
  void ResetStates();

  std::vector<Call> calls_;
  std::vector<Draw> draws_;
  size_t drawCount_ = 0;
  std::vector<Buffer> buffers_;  // handle = index + 1
  uint32_t renderStates_[kRenderStateCount] = {};
  uint32_t samplers_[kMaxTextureStages][kSamplerStateCount] = {};
  uint32_t stages_[kMaxTextureStages][kTextureStageStateCount] = {};
  TextureHandle textures_[kMaxTextureStages] = {};
  Matrix4 transforms_[3] = {};
  Viewport viewport_;
  uint32_t fvf_ = 0;
  VertexBufferHandle stream_ = 0;
  size_t streamOffset_ = 0, streamStride_ = 0;
};

}  // namespace gfx
