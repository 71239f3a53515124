#include "platform/gfx/recording/recording_device.h"

#include <algorithm>
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

void RecordingDevice::SetLight(int index, const Light& light) {
  Record(Op::SetLight, static_cast<uint32_t>(index), light.type);
  if (index >= 0 && index < kMaxLights) lights_[index] = light;
}

void RecordingDevice::LightEnable(int index, bool enable) {
  Record(Op::LightEnable, static_cast<uint32_t>(index), enable);
  if (index >= 0 && index < kMaxLights) lightOn_[index] = enable;
}

void RecordingDevice::SetMaterial(const Material& material) {
  Record(Op::SetMaterial);
  material_ = material;
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
  if (!(flags & Clear_Target)) return;
  int w = 0, h = 0;
  std::vector<uint32_t>* pixels = Surface(targets_[0], &w, &h);
  if (!pixels) return;
  // Only the viewport, as on the real device.
  int x0 = std::max(viewport_.x, 0), y0 = std::max(viewport_.y, 0);
  int x1 = std::min(viewport_.x + viewport_.width, w), y1 = std::min(viewport_.y + viewport_.height, h);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) (*pixels)[static_cast<size_t>(y) * static_cast<size_t>(w) + x] = colour;
}

RecordingDevice::Texture* RecordingDevice::FindTexture(TextureHandle handle) {
  if (handle == 0 || handle > textures_list_.size()) return nullptr;
  Texture* t = &textures_list_[handle - 1];
  return t->live ? t : nullptr;
}

const RecordingDevice::Texture* RecordingDevice::FindTexture(TextureHandle handle) const {
  return const_cast<RecordingDevice*>(this)->FindTexture(handle);
}

std::vector<uint32_t>* RecordingDevice::Surface(TextureHandle handle, int* width, int* height) {
  if (handle == 0) {
    size_t want = static_cast<size_t>(backBufferWidth) * static_cast<size_t>(backBufferHeight);
    if (backBuffer_.size() != want) backBuffer_.assign(want, 0);
    *width = backBufferWidth;
    *height = backBufferHeight;
    return &backBuffer_;
  }
  Texture* t = FindTexture(handle);
  if (!t) return nullptr;
  *width = t->width;
  *height = t->height;
  return &t->pixels;
}

const std::vector<uint32_t>* RecordingDevice::TexturePixels(TextureHandle texture) const {
  int w = 0, h = 0;
  return const_cast<RecordingDevice*>(this)->Surface(texture, &w, &h);
}

size_t RecordingDevice::LiveTextures() const {
  size_t n = 0;
  for (const Texture& t : textures_list_) n += t.live;
  return n;
}

TextureHandle RecordingDevice::CreateTexture(int width, int height, uint32_t usage) {
  Record(Op::CreateTexture, static_cast<uint32_t>(width), static_cast<uint32_t>(height), usage);
  if (failCreates > 0) {
    --failCreates;
    return 0;
  }
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return 0;
  Texture t;
  t.width = width;
  t.height = height;
  t.usage = usage;
  t.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  t.live = true;
  textures_list_.push_back(std::move(t));
  return static_cast<TextureHandle>(textures_list_.size());
}

bool RecordingDevice::UpdateTexture(TextureHandle handle, int x, int y, int width, int height,
                                    const uint32_t* pixels, int pitch) {
  Record(Op::UpdateTexture, handle, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  Texture* t = FindTexture(handle);
  if (!t || !pixels || width <= 0 || height <= 0 || pitch < width || x < 0 || y < 0 || x > t->width - width ||
      y > t->height - height)
    return false;
  for (int r = 0; r < height; ++r)
    std::copy(pixels + static_cast<size_t>(r) * pitch, pixels + static_cast<size_t>(r) * pitch + width,
              t->pixels.begin() + static_cast<ptrdiff_t>(y + r) * t->width + x);
  return true;
}

void RecordingDevice::ReleaseTexture(TextureHandle handle) {
  Record(Op::ReleaseTexture, handle);
  Texture* t = FindTexture(handle);
  if (!t) return;
  *t = Texture{};
  for (TextureHandle& bound : textures_)
    if (bound == handle) bound = 0;
  for (TextureHandle& target : targets_)
    if (target == handle) target = 0;
}

bool RecordingDevice::TextureSize(TextureHandle handle, int* width, int* height) const {
  const Texture* t = FindTexture(handle);
  if (!t) return false;
  if (width) *width = t->width;
  if (height) *height = t->height;
  return true;
}

bool RecordingDevice::SetRenderTarget(int slot, TextureHandle target) {
  Record(Op::SetRenderTarget, static_cast<uint32_t>(slot), target);
  if (slot < 0 || slot >= caps.simultaneousRenderTargets || slot >= kMaxTargets) return false;
  if (target != 0) {
    const Texture* t = FindTexture(target);
    if (!t || !(t->usage & TexUsage_RenderTarget)) return false;
  } else if (slot != 0) {
    targets_[slot] = 0;
    return true;
  }
  targets_[slot] = target;
  if (slot == 0) {
    int w = 0, h = 0;
    Surface(target, &w, &h);
    viewport_ = Viewport{0, 0, w, h, 0.0f, 1.0f};
  }
  return true;
}

void RecordingDevice::BackBufferSize(int* width, int* height) const {
  if (width) *width = backBufferWidth;
  if (height) *height = backBufferHeight;
}

bool RecordingDevice::ReadPixels(TextureHandle source, int x, int y, int width, int height, uint32_t* out) {
  Record(Op::ReadPixels, source, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  int w = 0, h = 0;
  std::vector<uint32_t>* pixels = Surface(source, &w, &h);
  if (!pixels || !out || width <= 0 || height <= 0 || x < 0 || y < 0 || x > w - width || y > h - height)
    return false;
  for (int r = 0; r < height; ++r)
    std::copy(pixels->begin() + static_cast<ptrdiff_t>(y + r) * w + x,
              pixels->begin() + static_cast<ptrdiff_t>(y + r) * w + x + width, out + static_cast<size_t>(r) * width);
  return true;
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
  for (Light& l : lights_) l = Light{};
  for (bool& on : lightOn_) on = false;
  material_ = Material{};
}

bool RecordingDevice::Reset(const PresentParameters& parameters) {
  Record(Op::Reset, static_cast<uint32_t>(parameters.backBufferWidth),
         static_cast<uint32_t>(parameters.backBufferHeight), static_cast<uint32_t>(parameters.multisample),
         parameters.windowed);
  if (failResets > 0) {
    --failResets;
    return false;
  }
  if (parameters.backBufferWidth > 0 && parameters.backBufferHeight > 0) {
    backBufferWidth = parameters.backBufferWidth;
    backBufferHeight = parameters.backBufferHeight;
  }
  cooperativeLevel = Result::Ok;
  ResetStates();
  for (TextureHandle& target : targets_) target = 0;
  viewport_ = Viewport{0, 0, backBufferWidth, backBufferHeight, 0.0f, 1.0f};
  return true;
}

}  // namespace gfx
