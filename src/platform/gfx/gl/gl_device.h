// gfx::Device over OpenGL 3.3 core. The fixed-function pipeline the engine
// expects is rebuilt in generated GLSL 330 programs, one per combination of
// vertex layout, texture stages, alpha test, fog and shading.
//
// The device does not own a context: construct it with a window whose
// OpenGL 3.3 core context is current (see GLWindow), keep that context
// current while it is used, and destroy the device before the context.
//
// Render targets other than the window are stored top-down: clip y and the
// front face are flipped while one is bound, so row 0 is the top everywhere.
//
// Lighting follows the fixed pipeline's diffuse and ambient terms per
// vertex, in view space; specular highlights and spot cones are not drawn.
//
// Not done yet: vertex declarations (draws with layout 0 are skipped), table
// fog (drawn as linear vertex fog), exponential fog.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

struct SDL_Window;

namespace gfx {

class GLDevice final : public Device {
 public:
  explicit GLDevice(SDL_Window* window);
  ~GLDevice() override;
  GLDevice(const GLDevice&) = delete;
  GLDevice& operator=(const GLDevice&) = delete;

  size_t LiveTextures() const;
  size_t LiveVertexBuffers() const;
  // Triangle lists whose triangles come in pairs sharing vertices (quads)
  // go to OpenGL with each shared vertex once and an index list; on by
  // default, off for tests that compare the two ways.
  void SetShareQuadVertices(bool on) { shareQuads_ = on; }
  // Vertices sent for triangle lists so far, for tests.
  size_t TriangleListVerticesSent() const { return triangleVerticesSent_; }
  // Programs built so far, for tests of the program cache.
  size_t ProgramCount() const { return programs_.size(); }

  // Device.
  Caps GetCaps() const override;
  void SetRenderState(RenderState state, uint32_t value) override;
  void SetSamplerState(int stage, SamplerState state, uint32_t value) override;
  void SetTextureStageState(int stage, TextureStageState state, uint32_t value) override;
  void SetTexture(int stage, TextureHandle texture) override;
  void SetTransform(Transform which, const Matrix4& matrix) override;
  void SetLight(int index, const Light& light) override;
  void LightEnable(int index, bool enable) override;
  void SetMaterial(const Material& material) override;
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
  TextureHandle CreateTexture(int width, int height, uint32_t usage) override;
  bool UpdateTexture(TextureHandle texture, int x, int y, int width, int height, const uint32_t* pixels,
                     int pitch) override;
  void ReleaseTexture(TextureHandle texture) override;
  bool TextureSize(TextureHandle texture, int* width, int* height) const override;
  bool SetRenderTarget(int slot, TextureHandle target) override;
  TextureHandle GetRenderTarget(int slot) const override { return slot == 0 ? target_ : 0; }
  void BackBufferSize(int* width, int* height) const override;
  bool ReadPixels(TextureHandle source, int x, int y, int width, int height, uint32_t* out) override;
  void Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) override;
  bool BeginScene() override { return true; }
  bool EndScene() override { return true; }
  bool Present() override;
  Result TestCooperativeLevel() override { return Result::Ok; }
  bool Reset(const PresentParameters& parameters) override;

 private:
  struct Buffer {
    unsigned gl = 0;
    std::vector<uint8_t> shadow;  // what a lock hands out
    size_t lockOffset = 0, lockBytes = 0;
    // Bytes written but not yet sent; a draw sends only what it reads, so a
    // lock to the end of a big buffer costs only the vertices drawn.
    size_t pendingBegin = 0, pendingEnd = 0;
    bool orphan = false;  // a whole-buffer discard: drop the old storage first
    bool live = false, locked = false;
  };
  struct Texture {
    unsigned gl = 0;
    unsigned fbo = 0, depth = 0;  // render targets only
    int width = 0, height = 0;
    bool live = false;
  };
  struct Program {
    unsigned gl = 0;
    int wvp = -1, wv = -1, bias = -1, flip = -1, screen = -1, alphaRef = -1, fogColour = -1, fogRange = -1;
    int ambient = -1, material = -1, lightKind = -1, lightColour = -1, lightPosition = -1, lightAttenuation = -1;
  };

  void DefaultStates();
  Buffer* FindBuffer(VertexBufferHandle handle);
  Texture* FindTexture(TextureHandle handle);
  const Texture* FindTexture(TextureHandle handle) const;
  void SendPending(Buffer* buffer, size_t begin, size_t bytes);
  void ApplyFixedState();
  void ApplyViewport();
  // Rows of the current target run top-down (render targets) or bottom-up.
  bool TargetTopDown() const { return target_ != 0; }
  int TargetHeight() const;
  void BindTarget();
  // Binds the program for this draw and sets its uniforms; null if none.
  const Program* PrepareProgram(PrimitiveType type);
  // Material, ambient and the lights, moved into view space.
  void SendLights(const Program& program) const;
  std::string ProgramKey() const;
  bool BuildProgram(const std::string& key, Program* out);
  // With indexCount, draws that many indices of the quad index buffer
  // (type `indexType`) over the vertices at glBuffer.
  void Draw(PrimitiveType type, int primitiveCount, unsigned glBuffer, size_t offset, size_t stride,
            int indexCount = 0, unsigned indexType = 0, size_t indexOffset = 0);
  // Storage written front to back, one draw's data after another.
  struct Ring {
    size_t capacity = 0, used = 0;
    size_t mapped = 0;  // where the open mapping starts
  };
  // Maps room for `bytes` behind what the buffer holds (binding it to
  // target); null when it cannot be mapped. StreamEnd keeps the first
  // `bytes` written and gives their offset.
  void* StreamBegin(unsigned target, unsigned buffer, Ring& ring, size_t bytes);
  size_t StreamEnd(unsigned target, Ring& ring, size_t bytes);
  // A triangle list drawn from its distinct vertices: false, with nothing
  // drawn, when too few are shared to be worth it.
  bool DrawSharedQuads(const uint8_t* vertices, int triangles, size_t stride);

  SDL_Window* window_;
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
  TextureHandle target_ = 0;
  unsigned readFbo_ = 0;  // for reading textures that are not targets
  size_t streamOffset_ = 0, streamStride_ = 0;
  bool fixedDirty_ = true, samplersDirty_ = true, viewportDirty_ = true;

  std::vector<Buffer> buffers_;    // handle = index + 1
  std::vector<Texture> texturesList_;  // handle = index + 1
  std::map<std::string, Program> programs_;
  unsigned vao_ = 0;
  unsigned scratch_ = 0;  // DrawPrimitiveUP vertices
  // The distinct vertices and the indices of a triangle list of quads.
  unsigned quadVertexBuffer_ = 0, quadIndexBuffer_ = 0;
  Ring quadVertexRing_, quadIndexRing_;
  bool shareQuads_ = true;
  size_t triangleVerticesSent_ = 0;
  unsigned samplerObjects_[kMaxTextureStages] = {};
};

}  // namespace gfx
