#include "platform/gfx/recording/recording_device.h"

#include <cstring>

namespace gfx {

namespace {
uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}
bool ValidStage(int stage) { return stage >= 0 && stage < kMaxTextureStages; }
}  // namespace

void RecordingDevice::Record(Op op, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  if (recordCalls) calls_.push_back(Call{op, a, b, c, d});
}

RecordingDevice::Buffer* RecordingDevice::Find(VertexBufferHandle handle) {
  if (handle == 0 || handle > buffers_.size()) return nullptr;
  Buffer* buffer = &buffers_[handle - 1];
  return buffer->live ? buffer : nullptr;
}

size_t RecordingDevice::CountOf(Op op) const {
  size_t n = 0;
  for (const Call& call : calls_) n += call.op == op;
  return n;
}

std::vector<std::pair<RenderState, uint32_t>> RecordingDevice::RenderStateChanges() const {
  std::vector<std::pair<RenderState, uint32_t>> out;
  for (const Call& call : calls_)
    if (call.op == Op::SetRenderState) out.emplace_back(static_cast<RenderState>(call.a), call.b);
  return out;
}

std::vector<RecordingDevice::Call> RecordingDevice::SamplerChanges() const {
  std::vector<Call> out;
  for (const Call& call : calls_)
    if (call.op == Op::SetSamplerState) out.push_back(call);
  return out;
}

size_t RecordingDevice::LiveVertexBuffers() const {
  size_t n = 0;
  for (const Buffer& buffer : buffers_) n += buffer.live;
  return n;
}

void RecordingDevice::ClearLog() {
  calls_.clear();
  draws_.clear();
  drawCount_ = 0;
}

void RecordingDevice::SetRenderState(RenderState state, uint32_t value) {
  Record(Op::SetRenderState, state, value);
  if (state < kRenderStateCount) renderStates_[state] = value;
}

void RecordingDevice::SetSamplerState(int stage, SamplerState state, uint32_t value) {
  Record(Op::SetSamplerState, static_cast<uint32_t>(stage), state, value);
  if (ValidStage(stage) && state < kSamplerStateCount) samplers_[stage][state] = value;
}

void RecordingDevice::SetTextureStageState(int stage, TextureStageState state, uint32_t value) {
  Record(Op::SetTextureStageState, static_cast<uint32_t>(stage), state, value);
  if (ValidStage(stage) && state < kTextureStageStateCount) stages_[stage][state] = value;
}

void RecordingDevice::SetTexture(int stage, TextureHandle texture) {
  Record(Op::SetTexture, static_cast<uint32_t>(stage), texture);
  if (ValidStage(stage)) textures_[stage] = texture;
}

void RecordingDevice::SetTransform(Transform which, const Matrix4& matrix) {
  Record(Op::SetTransform, static_cast<uint32_t>(which));
  transforms_[static_cast<int>(which)] = matrix;
}

void RecordingDevice::SetViewport(const Viewport& viewport) {
  Record(Op::SetViewport, static_cast<uint32_t>(viewport.x), static_cast<uint32_t>(viewport.y),
         static_cast<uint32_t>(viewport.width), static_cast<uint32_t>(viewport.height));
  viewport_ = viewport;
}

void RecordingDevice::SetFVF(uint32_t fvf) {
  Record(Op::SetFVF, fvf);
  fvf_ = fvf;
}

void RecordingDevice::SetVertexDeclaration(VertexDeclarationHandle declaration) {
  Record(Op::SetVertexDeclaration, declaration);
}

VertexBufferHandle RecordingDevice::CreateVertexBuffer(size_t bytes, uint32_t usage, uint32_t fvf, Pool pool) {
  Record(Op::CreateVertexBuffer, static_cast<uint32_t>(bytes), usage, fvf, static_cast<uint32_t>(pool));
  if (failCreates > 0) {
    --failCreates;
    return 0;
  }
  Buffer buffer;
  buffer.bytes.assign(bytes, 0);
  buffer.usage = usage;
  buffer.fvf = fvf;
  buffer.live = true;
  buffers_.push_back(std::move(buffer));
  return static_cast<VertexBufferHandle>(buffers_.size());
}

void RecordingDevice::ReleaseVertexBuffer(VertexBufferHandle handle) {
  Record(Op::ReleaseVertexBuffer, handle);
  if (Buffer* buffer = Find(handle)) {
    buffer->live = false;
    buffer->bytes = {};
  }
}

void* RecordingDevice::LockVertexBuffer(VertexBufferHandle handle, size_t offset, size_t bytes, uint32_t flags) {
  Record(Op::Lock, handle, static_cast<uint32_t>(offset), static_cast<uint32_t>(bytes), flags);
  Buffer* buffer = Find(handle);
  if (!buffer || buffer->locked || offset > buffer->bytes.size() || bytes > buffer->bytes.size() - offset)
    return nullptr;
  buffer->locked = true;
  return buffer->bytes.data() + offset;
}

bool RecordingDevice::UnlockVertexBuffer(VertexBufferHandle handle) {
  Record(Op::Unlock, handle);
  Buffer* buffer = Find(handle);
  if (!buffer || !buffer->locked) return false;
  buffer->locked = false;
  return true;
}

void RecordingDevice::SetStreamSource(int stream, VertexBufferHandle buffer, size_t offset, size_t stride) {
  Record(Op::SetStreamSource, static_cast<uint32_t>(stream), buffer, static_cast<uint32_t>(offset),
         static_cast<uint32_t>(stride));
  if (stream == 0) {
    stream_ = buffer;
    streamOffset_ = offset;
    streamStride_ = stride;
  }
}

void RecordingDevice::DrawPrimitive(PrimitiveType type, int startVertex, int primitiveCount) {
  Record(Op::DrawPrimitive, type, static_cast<uint32_t>(startVertex), static_cast<uint32_t>(primitiveCount));
  ++drawCount_;
  if (!recordCalls && !captureVertices) return;
  Draw draw{type, primitiveCount, textures_[0], fvf_, {}};
  if (captureVertices) {
    Buffer* buffer = Find(stream_);
    size_t begin = streamOffset_ + static_cast<size_t>(startVertex) * streamStride_;
    size_t length = static_cast<size_t>(VertexCountFor(type, primitiveCount)) * streamStride_;
    if (buffer && begin <= buffer->bytes.size() && length <= buffer->bytes.size() - begin)
      draw.vertices.assign(buffer->bytes.begin() + begin, buffer->bytes.begin() + begin + length);
  }
  draws_.push_back(std::move(draw));
}

void RecordingDevice::DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices, size_t stride) {
  Record(Op::DrawPrimitiveUP, type, static_cast<uint32_t>(primitiveCount), 0, static_cast<uint32_t>(stride));
  ++drawCount_;
  Draw draw{type, primitiveCount, textures_[0], fvf_, {}};
  if (captureVertices && vertices) {
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    draw.vertices.assign(bytes, bytes + static_cast<size_t>(VertexCountFor(type, primitiveCount)) * stride);
  }
  draws_.push_back(std::move(draw));
}

void RecordingDevice::Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
  Record(Op::Clear, flags, colour, FloatBits(z), stencil);
}

bool RecordingDevice::BeginScene() {
  Record(Op::BeginScene);
  return true;
}

bool RecordingDevice::EndScene() {
  Record(Op::EndScene);
  return true;
}

bool RecordingDevice::Present() {
  Record(Op::Present);
  return true;
}

void RecordingDevice::ResetStates() {
  std::memset(renderStates_, 0, sizeof renderStates_);
  std::memset(samplers_, 0, sizeof samplers_);
  std::memset(stages_, 0, sizeof stages_);
  std::memset(textures_, 0, sizeof textures_);
}

bool RecordingDevice::Reset(const PresentParameters& parameters) {
  Record(Op::Reset, static_cast<uint32_t>(parameters.backBufferWidth),
         static_cast<uint32_t>(parameters.backBufferHeight));
  ResetStates();
  return true;
}

}  // namespace gfx
