#include "platform/gfx/gl/gl_device.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>


namespace gfx {

namespace {

float BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}
bool ValidStage(int stage) { return stage >= 0 && stage < kMaxTextureStages; }

void Multiply(const Matrix4& a, const Matrix4& b, Matrix4* out) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a.m[r][k] * b.m[k][c];
      out->m[r][c] = s;
    }
}

Matrix4 Identity() {
  Matrix4 m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

GLenum CompareToGL(uint32_t cmp) {
  switch (cmp) {
    case Cmp_Never: return GL_NEVER;
    case Cmp_Less: return GL_LESS;
    case Cmp_Equal: return GL_EQUAL;
    case Cmp_LessEqual: return GL_LEQUAL;
    case Cmp_Greater: return GL_GREATER;
    case Cmp_NotEqual: return GL_NOTEQUAL;
    case Cmp_GreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum BlendToGL(uint32_t factor) {
  switch (factor) {
    case Blend_Zero: return GL_ZERO;
    case Blend_One: return GL_ONE;
    case Blend_SrcColour: return GL_SRC_COLOR;
    case Blend_InvSrcColour: return GL_ONE_MINUS_SRC_COLOR;
    case Blend_SrcAlpha: return GL_SRC_ALPHA;
    case Blend_InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case Blend_DestAlpha: return GL_DST_ALPHA;
    case Blend_InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case Blend_DestColour: return GL_DST_COLOR;
    case Blend_InvDestColour: return GL_ONE_MINUS_DST_COLOR;
    case Blend_SrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    case Blend_Factor: return GL_CONSTANT_COLOR;
    case Blend_InvFactor: return GL_ONE_MINUS_CONSTANT_COLOR;
    // No second colour output exists in the generated programs, so the
    // second-source factors fall back to the first source.
    case Blend_Src1Colour: return GL_SRC_COLOR;
    case Blend_InvSrc1Colour: return GL_ONE_MINUS_SRC_COLOR;
    default: return GL_ONE;
  }
}

GLenum BlendOpToGL(uint32_t op) {
  switch (op) {
    case BlendOp_Subtract: return GL_FUNC_SUBTRACT;
    case BlendOp_RevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOp_Min: return GL_MIN;
    case BlendOp_Max: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum StencilOpToGL(uint32_t op) {
  switch (op) {
    case Stencil_Zero: return GL_ZERO;
    case Stencil_Replace: return GL_REPLACE;
    case Stencil_IncrSat: return GL_INCR;
    case Stencil_DecrSat: return GL_DECR;
    case Stencil_Invert: return GL_INVERT;
    case Stencil_Incr: return GL_INCR_WRAP;
    case Stencil_Decr: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLenum PrimitiveToGL(PrimitiveType type) {
  switch (type) {
    case Prim_PointList: return GL_POINTS;
    case Prim_LineList: return GL_LINES;
    case Prim_LineStrip: return GL_LINE_STRIP;
    case Prim_TriangleList: return GL_TRIANGLES;
    case Prim_TriangleStrip: return GL_TRIANGLE_STRIP;
    case Prim_TriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_POINTS;
}

bool ValidPrimitive(PrimitiveType type) { return type >= Prim_PointList && type <= Prim_TriangleFan; }
// Keeps vertex counts and byte sizes far from overflowing.
constexpr int kMaxPrimitives = 1 << 24;

std::string ArgExpr(uint32_t arg, int stage) {
  switch (arg) {
    case TArg_Diffuse: return "diffuse";
    case TArg_Texture: return "t" + std::to_string(stage);
    default: return "current";
  }
}

// One channel group (".rgb" or ".a") of a stage operation.
std::string OpExpr(uint32_t op, uint32_t arg1, uint32_t arg2, int stage, const char* swizzle) {
  std::string a = ArgExpr(arg1, stage) + swizzle;
  std::string b = ArgExpr(arg2, stage) + swizzle;
  switch (op) {
    case TOp_Disable: return std::string("current") + swizzle;
    case TOp_SelectArg1: return a;
    case TOp_SelectArg2: return b;
    default: return a + " * " + b;
  }
}

GLuint Compile(GLenum kind, const std::string& source) {
  GLuint shader = glCreateShader(kind);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "OpenGL shader failed to compile: %s\n", log);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

GLDevice::GLDevice(SDL_Window* window) : window_(window) {
  glGenVertexArrays(1, &vao_);
  glGenBuffers(1, &scratch_);
  glGenBuffers(1, &quadVertexBuffer_);
  glGenBuffers(1, &quadIndexBuffer_);
  glGenSamplers(kMaxTextureStages, samplerObjects_);
  // Flat shading takes the first vertex's colour, as the engine expects.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  DefaultStates();
}

GLDevice::~GLDevice() {
  for (Buffer& b : buffers_)
    if (b.live) glDeleteBuffers(1, &b.gl);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  for (Texture& t : texturesList_) {
    if (!t.live) continue;
    if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
    if (t.depth) glDeleteRenderbuffers(1, &t.depth);
    glDeleteTextures(1, &t.gl);
  }
  if (readFbo_) glDeleteFramebuffers(1, &readFbo_);
  for (auto& entry : programs_) glDeleteProgram(entry.second.gl);
  glDeleteSamplers(kMaxTextureStages, samplerObjects_);
  glDeleteBuffers(1, &scratch_);
  glDeleteBuffers(1, &quadVertexBuffer_);
  glDeleteBuffers(1, &quadIndexBuffer_);
  glDeleteVertexArrays(1, &vao_);
}

void GLDevice::DefaultStates() {
  std::memset(renderStates_, 0, sizeof renderStates_);
  renderStates_[RS_FillMode] = Fill_Solid;
  renderStates_[RS_ShadeMode] = Shade_Gouraud;
  renderStates_[RS_ZWriteEnable] = 1;
  renderStates_[RS_LastPixel] = 1;
  renderStates_[RS_SrcBlend] = Blend_One;
  renderStates_[RS_DestBlend] = Blend_Zero;
  renderStates_[RS_CullMode] = Cull_CounterClockwise;
  renderStates_[RS_ZFunc] = Cmp_LessEqual;
  renderStates_[RS_AlphaFunc] = Cmp_Always;
  renderStates_[RS_FogEnd] = FloatBits(1.0f);
  renderStates_[RS_StencilFail] = Stencil_Keep;
  renderStates_[RS_StencilZFail] = Stencil_Keep;
  renderStates_[RS_StencilPass] = Stencil_Keep;
  renderStates_[RS_StencilFunc] = Cmp_Always;
  renderStates_[RS_StencilMask] = 0xFFFFFFFFu;
  renderStates_[RS_StencilWriteMask] = 0xFFFFFFFFu;
  renderStates_[RS_Lighting] = 1;
  renderStates_[RS_ColorWriteEnable] = 0xF;
  renderStates_[RS_BlendOp] = BlendOp_Add;
  for (int s = 0; s < kMaxTextureStages; ++s) {
    samplers_[s][SS_MagFilter] = Filter_Point;
    samplers_[s][SS_MinFilter] = Filter_Point;
    samplers_[s][SS_AddressU] = Address_Wrap;
    samplers_[s][SS_AddressV] = Address_Wrap;
    stages_[s][TSS_ColourOp] = s == 0 ? TOp_Modulate : TOp_Disable;
    stages_[s][TSS_ColourArg1] = TArg_Texture;
    stages_[s][TSS_ColourArg2] = TArg_Current;
    stages_[s][TSS_AlphaOp] = s == 0 ? TOp_SelectArg1 : TOp_Disable;
    stages_[s][TSS_AlphaArg1] = TArg_Texture;
    stages_[s][TSS_AlphaArg2] = TArg_Current;
    textures_[s] = 0;
  }
  for (Matrix4& m : transforms_) m = Identity();
  for (Light& l : lights_) l = Light{};
  for (bool& on : lightOn_) on = false;
  material_ = Material{};
  int w = 0, h = 0;
  BackBufferSize(&w, &h);
  viewport_ = Viewport{0, 0, w, h, 0.0f, 1.0f};
  fvf_ = 0;
  stream_ = 0;
  streamOffset_ = streamStride_ = 0;
  fixedDirty_ = samplersDirty_ = viewportDirty_ = true;
}

Caps GLDevice::GetCaps() const { return Caps{}; }

void GLDevice::SetRenderState(RenderState state, uint32_t value) {
  if (state >= kRenderStateCount) return;
  renderStates_[state] = value;
  fixedDirty_ = true;
}

void GLDevice::SetSamplerState(int stage, SamplerState state, uint32_t value) {
  if (!ValidStage(stage) || state >= kSamplerStateCount) return;
  samplers_[stage][state] = value;
  samplersDirty_ = true;
}

void GLDevice::SetTextureStageState(int stage, TextureStageState state, uint32_t value) {
  if (ValidStage(stage) && state < kTextureStageStateCount) stages_[stage][state] = value;
}

void GLDevice::SetTexture(int stage, TextureHandle texture) {
  if (ValidStage(stage)) textures_[stage] = texture;
}

void GLDevice::SetTransform(Transform which, const Matrix4& matrix) {
  int index = static_cast<int>(which);
  if (index >= 0 && index < 3) transforms_[index] = matrix;
}

void GLDevice::SetLight(int index, const Light& light) {
  if (index < 0 || index >= kMaxLights) return;
  lights_[index] = light;
}

void GLDevice::LightEnable(int index, bool enable) {
  if (index < 0 || index >= kMaxLights) return;
  lightOn_[index] = enable;
}

void GLDevice::SetMaterial(const Material& material) { material_ = material; }

void GLDevice::SetViewport(const Viewport& viewport) {
  viewport_ = viewport;
  viewportDirty_ = true;
}

void GLDevice::SetFVF(uint32_t fvf) { fvf_ = fvf; }

void GLDevice::SetVertexDeclaration(VertexDeclarationHandle) {
  // Declarations are not supported yet; SetFVF(0) alone makes draws skip.
}

GLDevice::Buffer* GLDevice::FindBuffer(VertexBufferHandle handle) {
  if (handle == 0 || handle > buffers_.size()) return nullptr;
  Buffer* b = &buffers_[handle - 1];
  return b->live ? b : nullptr;
}

GLDevice::Texture* GLDevice::FindTexture(TextureHandle handle) {
  if (handle == 0 || handle > texturesList_.size()) return nullptr;
  Texture* t = &texturesList_[handle - 1];
  return t->live ? t : nullptr;
}

const GLDevice::Texture* GLDevice::FindTexture(TextureHandle handle) const {
  return const_cast<GLDevice*>(this)->FindTexture(handle);
}

size_t GLDevice::LiveVertexBuffers() const {
  size_t n = 0;
  for (const Buffer& b : buffers_) n += b.live;
  return n;
}

size_t GLDevice::LiveTextures() const {
  size_t n = 0;
  for (const Texture& t : texturesList_) n += t.live;
  return n;
}

VertexBufferHandle GLDevice::CreateVertexBuffer(size_t bytes, uint32_t, uint32_t, Pool) {
  if (bytes == 0 || bytes > (size_t{1} << 30)) return 0;
  Buffer b;
  glGenBuffers(1, &b.gl);
  if (b.gl == 0) return 0;
  b.shadow.assign(bytes, 0);
  glBindBuffer(GL_ARRAY_BUFFER, b.gl);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_DYNAMIC_DRAW);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteBuffers(1, &b.gl);
    return 0;
  }
  b.live = true;
  buffers_.push_back(std::move(b));
  return static_cast<VertexBufferHandle>(buffers_.size());
}

void GLDevice::ReleaseVertexBuffer(VertexBufferHandle handle) {
  Buffer* b = FindBuffer(handle);
  if (!b) return;
  glDeleteBuffers(1, &b->gl);
  *b = Buffer{};
  if (stream_ == handle) stream_ = 0;
}

void* GLDevice::LockVertexBuffer(VertexBufferHandle handle, size_t offset, size_t bytes, uint32_t flags) {
  Buffer* b = FindBuffer(handle);
  if (!b || b->locked || offset > b->shadow.size() || bytes > b->shadow.size() - offset) return nullptr;
  b->locked = true;
  b->lockOffset = offset;
  b->lockBytes = bytes;
  if ((flags & Lock_Discard) && offset == 0 && bytes == b->shadow.size()) b->orphan = true;
  return b->shadow.data() + offset;
}

bool GLDevice::UnlockVertexBuffer(VertexBufferHandle handle) {
  Buffer* b = FindBuffer(handle);
  if (!b || !b->locked) return false;
  b->locked = false;
  if (b->lockBytes == 0) return true;
  size_t end = b->lockOffset + b->lockBytes;
  if (b->pendingBegin >= b->pendingEnd) {
    b->pendingBegin = b->lockOffset;
    b->pendingEnd = end;
  } else {
    b->pendingBegin = std::min(b->pendingBegin, b->lockOffset);
    b->pendingEnd = std::max(b->pendingEnd, end);
  }
  return true;
}

void GLDevice::SendPending(Buffer* b, size_t begin, size_t bytes) {
  size_t lo = std::max(begin, b->pendingBegin), hi = std::min(begin + bytes, b->pendingEnd);
  if (lo >= hi) return;
  glBindBuffer(GL_ARRAY_BUFFER, b->gl);
  if (b->orphan) {
    // Everything is pending after a whole-buffer discard, so nothing kept
    // in the old storage is needed.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(b->shadow.size()), nullptr, GL_DYNAMIC_DRAW);
    b->orphan = false;
  }
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(lo), static_cast<GLsizeiptr>(hi - lo), b->shadow.data() + lo);
  // The interval only shrinks from an end; a middle part is simply sent again
  // later, which is harmless.
  if (lo == b->pendingBegin) {
    b->pendingBegin = hi;
  } else if (hi == b->pendingEnd) {
    b->pendingEnd = lo;
  }
}

void GLDevice::SetStreamSource(int stream, VertexBufferHandle buffer, size_t offset, size_t stride) {
  if (stream != 0) return;
  stream_ = buffer;
  streamOffset_ = offset;
  streamStride_ = stride;
}

TextureHandle GLDevice::CreateTexture(int width, int height, uint32_t usage) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width <= 0 || height <= 0 || width > maxSize || height > maxSize) return 0;
  Texture t;
  glGenTextures(1, &t.gl);
  if (t.gl == 0) return 0;
  t.width = width;
  t.height = height;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, t.gl);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  bool ok = glGetError() == GL_NO_ERROR;
  if (ok && (usage & TexUsage_RenderTarget)) {
    glGenFramebuffers(1, &t.fbo);
    glGenRenderbuffers(1, &t.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, t.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.gl, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, t.depth);
    ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (ok) {
      // New contents are transparent black, as for plain textures.
      glDisable(GL_SCISSOR_TEST);
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
      glDepthMask(GL_TRUE);
      glStencilMask(0xFF);
      glClearColor(0, 0, 0, 0);
      glClearDepth(1.0);
      glClearStencil(0);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
      fixedDirty_ = true;
    }
    BindTarget();
  } else if (ok) {
    std::vector<uint32_t> zeros(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    glBindTexture(GL_TEXTURE_2D, t.gl);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, zeros.data());
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  if (!ok || glGetError() != GL_NO_ERROR) {
    if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
    if (t.depth) glDeleteRenderbuffers(1, &t.depth);
    glDeleteTextures(1, &t.gl);
    BindTarget();
    return 0;
  }
  t.live = true;
  for (size_t i = 0; i < texturesList_.size(); ++i)
    if (!texturesList_[i].live) {
      texturesList_[i] = t;
      return static_cast<TextureHandle>(i + 1);
    }
  texturesList_.push_back(t);
  return static_cast<TextureHandle>(texturesList_.size());
}

bool GLDevice::UpdateTexture(TextureHandle handle, int x, int y, int width, int height, const uint32_t* pixels,
                             int pitch) {
  Texture* t = FindTexture(handle);
  if (!t || !pixels || width <= 0 || height <= 0 || pitch < width || x < 0 || y < 0 || x > t->width - width ||
      y > t->height - height)
    return false;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, t->gl);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
  // This packing reads native 0xAARRGGBB words whatever the byte order.
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  return true;
}

void GLDevice::ReleaseTexture(TextureHandle handle) {
  Texture* t = FindTexture(handle);
  if (!t) return;
  if (target_ == handle) {
    target_ = 0;
    BindTarget();
  }
  if (t->fbo) glDeleteFramebuffers(1, &t->fbo);
  if (t->depth) glDeleteRenderbuffers(1, &t->depth);
  glDeleteTextures(1, &t->gl);
  *t = Texture{};
  for (TextureHandle& bound : textures_)
    if (bound == handle) bound = 0;
}

bool GLDevice::TextureSize(TextureHandle handle, int* width, int* height) const {
  const Texture* t = FindTexture(handle);
  if (!t) return false;
  if (width) *width = t->width;
  if (height) *height = t->height;
  return true;
}

void GLDevice::BindTarget() {
  const Texture* t = FindTexture(target_);
  glBindFramebuffer(GL_FRAMEBUFFER, t ? t->fbo : 0);
  fixedDirty_ = viewportDirty_ = true;
}

bool GLDevice::SetRenderTarget(int slot, TextureHandle target) {
  if (slot != 0) return false;
  if (target != 0) {
    const Texture* t = FindTexture(target);
    if (!t || t->fbo == 0) return false;
  }
  target_ = target;
  BindTarget();
  // As on the device this mirrors, a new target brings a viewport over all of it.
  int w = 0, h = 0;
  if (target != 0)
    TextureSize(target, &w, &h);
  else
    BackBufferSize(&w, &h);
  viewport_ = Viewport{0, 0, w, h, 0.0f, 1.0f};
  return true;
}

void GLDevice::BackBufferSize(int* width, int* height) const {
  int w = 0, h = 0;
  if (window_) SDL_GL_GetDrawableSize(window_, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

bool GLDevice::ReadPixels(TextureHandle source, int x, int y, int width, int height, uint32_t* out) {
  int sw = 0, sh = 0;
  const Texture* t = nullptr;
  if (source == 0) {
    BackBufferSize(&sw, &sh);
  } else {
    t = FindTexture(source);
    if (!t) return false;
    sw = t->width;
    sh = t->height;
  }
  if (!out || width <= 0 || height <= 0 || x < 0 || y < 0 || x > sw - width || y > sh - height) return false;
  if (t && t->fbo) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, t->fbo);
  } else if (t) {
    if (readFbo_ == 0) glGenFramebuffers(1, &readFbo_);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t->gl, 0);
  } else {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  // The window is stored bottom-up: read the mirrored rows, then reverse them.
  int readY = t ? y : sh - y - height;
  glReadPixels(x, readY, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
  if (!t)
    for (int r = 0; r < height / 2; ++r)
      std::swap_ranges(out + static_cast<ptrdiff_t>(r) * width, out + static_cast<ptrdiff_t>(r + 1) * width,
                       out + static_cast<ptrdiff_t>(height - 1 - r) * width);
  BindTarget();
  return glGetError() == GL_NO_ERROR;
}

int GLDevice::TargetHeight() const {
  if (const Texture* t = FindTexture(target_)) return t->height;
  int w = 0, h = 0;
  if (window_) SDL_GL_GetDrawableSize(window_, &w, &h);
  return h;
}

void GLDevice::ApplyViewport() {
  // The window's rows run bottom-up; viewports are given top-down.
  int y = TargetTopDown() ? viewport_.y : TargetHeight() - viewport_.y - viewport_.height;
  glViewport(viewport_.x, y, viewport_.width, viewport_.height);
  glDepthRange(viewport_.minZ, viewport_.maxZ);
  viewportDirty_ = false;
}

void GLDevice::ApplyFixedState() {
  const uint32_t* rs = renderStates_;
  if (rs[RS_ZEnable]) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(CompareToGL(rs[RS_ZFunc]));
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(rs[RS_ZWriteEnable] ? GL_TRUE : GL_FALSE);

  if (rs[RS_AlphaBlendEnable]) {
    glEnable(GL_BLEND);
    GLenum src = BlendToGL(rs[RS_SrcBlend]);
    GLenum dst = BlendToGL(rs[RS_DestBlend]);
    // The "both" factors set the destination from the source.
    if (rs[RS_SrcBlend] == Blend_BothSrcAlpha) {
      src = GL_SRC_ALPHA;
      dst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (rs[RS_SrcBlend] == Blend_BothInvSrcAlpha) {
      src = GL_ONE_MINUS_SRC_ALPHA;
      dst = GL_SRC_ALPHA;
    }
    glBlendFunc(src, dst);
    glBlendEquation(BlendOpToGL(rs[RS_BlendOp]));
  } else {
    glDisable(GL_BLEND);
  }

  // Winding is judged on screen; the window's y runs up, which mirrors it,
  // and a top-down target mirrors it back.
  if (rs[RS_CullMode] == Cull_Clockwise || rs[RS_CullMode] == Cull_CounterClockwise) {
    glEnable(GL_CULL_FACE);
    glFrontFace(TargetTopDown() ? GL_CW : GL_CCW);
    glCullFace(rs[RS_CullMode] == Cull_Clockwise ? GL_BACK : GL_FRONT);
  } else {
    glDisable(GL_CULL_FACE);
  }

  uint32_t mask = rs[RS_ColorWriteEnable];
  glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);

  switch (rs[RS_FillMode]) {
    case Fill_Point: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
    case Fill_Wireframe: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
    default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
  }

  if (rs[RS_StencilEnable]) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(CompareToGL(rs[RS_StencilFunc]), static_cast<GLint>(rs[RS_StencilRef] & 0xFF),
                  rs[RS_StencilMask]);
    glStencilOp(StencilOpToGL(rs[RS_StencilFail]), StencilOpToGL(rs[RS_StencilZFail]),
                StencilOpToGL(rs[RS_StencilPass]));
  } else {
    glDisable(GL_STENCIL_TEST);
  }
  glStencilMask(rs[RS_StencilWriteMask]);
  fixedDirty_ = false;
}

std::string GLDevice::ProgramKey() const {
  const uint32_t* rs = renderStates_;
  bool rhw = fvf_ & FVF_XYZRHW;
  bool fog = !rhw && rs[RS_FogEnable] && (rs[RS_FogVertexMode] != Fog_None || rs[RS_FogTableMode] != Fog_None);
  uint32_t alphaFunc = rs[RS_AlphaTestEnable] ? rs[RS_AlphaFunc] : Cmp_Always;
  if (alphaFunc < Cmp_Never || alphaFunc > Cmp_Always) alphaFunc = Cmp_Always;
  char head[64];
  // Lighting: which lights are on, and whether the vertices carry normals.
  unsigned lights = 0;
  bool lit = !rhw && rs[RS_Lighting];
  if (lit)
    for (int i = 0; i < kMaxLights; ++i) lights |= lightOn_[i] ? 1u << i : 0u;
  std::snprintf(head, sizeof head, "%c%c%c%c%c%u%c%02x", rhw ? 'R' : 'x', (fvf_ & FVF_Diffuse) ? 'D' : 'x',
                (fvf_ & FVF_Tex1) ? 'T' : 'x', rs[RS_ShadeMode] == Shade_Flat ? 'F' : 'g',
                fog ? (rs[RS_RangeFogEnable] ? 'r' : 'f') : 'x', alphaFunc,
                lit ? ((fvf_ & FVF_Normal) ? 'N' : 'L') : 'u', lights);
  std::string key = head;
  for (int s = 0; s < kMaxTextureStages && stages_[s][TSS_ColourOp] != TOp_Disable; ++s) {
    char stage[64];
    const uint32_t* st = stages_[s];
    // One digit per value: unknown operations modulate, unknown arguments
    // read the current colour.
    auto op = [](uint32_t v) { return v >= TOp_Disable && v <= TOp_Modulate ? v : uint32_t{TOp_Modulate}; };
    auto arg = [](uint32_t v) { return v >= TArg_Diffuse && v <= TArg_Current ? v : uint32_t{TArg_Current}; };
    bool bound = textures_[s] != 0 && FindTexture(textures_[s]) != nullptr;
    std::snprintf(stage, sizeof stage, "|%u%u%u%u%u%u%c", op(st[TSS_ColourOp]), arg(st[TSS_ColourArg1]),
                  arg(st[TSS_ColourArg2]), op(st[TSS_AlphaOp]), arg(st[TSS_AlphaArg1]), arg(st[TSS_AlphaArg2]),
                  bound ? 't' : 'w');
    key += stage;
  }
  return key;
}

bool GLDevice::BuildProgram(const std::string& key, Program* out) {
  bool rhw = key[0] == 'R';
  bool flat = key[3] == 'F';
  bool fog = key[4] != 'x';
  bool rangeFog = key[4] == 'r';
  uint32_t alphaFunc = static_cast<uint32_t>(key[5] - '0');
  bool lit = key[6] != 'u';
  bool normals = key[6] == 'N';
  bool vertexColour = key[1] == 'D';
  unsigned lights = static_cast<unsigned>(std::stoul(key.substr(7, 2), nullptr, 16));
  const char* interp = flat ? "flat " : "";

  std::string vs = "#version 330 core\n";
  vs += "layout(location = 0) in vec4 a_position;\n"
        "layout(location = 1) in vec4 a_colour;\n"
        "layout(location = 2) in vec2 a_uv;\n"
        "layout(location = 3) in vec3 a_normal;\n"
        "uniform mat4 u_wvp;\nuniform mat4 u_wv;\nuniform vec2 u_bias;\nuniform float u_flip;\nuniform vec4 u_screen;\n"
        "uniform vec2 u_fogRange;\n";
  if (lit)
    // Material rows: diffuse, ambient, emissive. Per light: kind (1 point,
    // 3 directional), diffuse and ambient colour, position or direction in
    // view space, attenuation 0..2 and range.
    vs += "uniform vec4 u_ambient;\nuniform vec4 u_material[3];\nuniform int u_lightKind[8];\n"
          "uniform vec4 u_lightColour[16];\nuniform vec3 u_lightPosition[8];\nuniform vec4 u_lightAttenuation[8];\n";
  vs += std::string(interp) + "out vec4 v_colour;\nout vec2 v_uv;\nout float v_fog;\n";
  vs += "void main() {\n  vec4 p;\n  v_fog = 1.0;\n";
  if (rhw) {
    // Already in render-target pixels: undo the viewport mapping.
    vs += "  float w = a_position.w != 0.0 ? 1.0 / a_position.w : 1.0;\n"
          "  p = vec4(((a_position.x - u_screen.x) / u_screen.z * 2.0 - 1.0) * w,\n"
          "           (1.0 - (a_position.y - u_screen.y) / u_screen.w * 2.0) * w, a_position.z * w, w);\n";
  } else {
    vs += "  vec4 pos = vec4(a_position.xyz, 1.0);\n  p = u_wvp * pos;\n";
    if (fog) {
      vs += "  vec4 eye = u_wv * pos;\n";
      vs += rangeFog ? "  float d = length(eye.xyz);\n" : "  float d = eye.z;\n";
      vs += "  float span = u_fogRange.y - u_fogRange.x;\n"
            "  v_fog = span != 0.0 ? clamp((u_fogRange.y - d) / span, 0.0, 1.0) : (d < u_fogRange.y ? 1.0 : 0.0);\n";
    }
  }
  // Depth arrives as 0..w; OpenGL clips to -w..w.
  vs += "  p.xy += u_bias * p.w;\n  p.y *= u_flip;\n  p.z = p.z * 2.0 - p.w;\n  gl_Position = p;\n"
        "  v_colour = a_colour;\n  v_uv = a_uv;\n";
  if (lit) {
    vs += std::string("  vec4 source = ") + (vertexColour ? "a_colour" : "u_material[0]") + ";\n";
    vs += normals ? "  vec3 n = normalize(mat3(u_wv) * a_normal);\n" : "  vec3 n = vec3(0.0);\n";
    vs += "  vec3 at = (u_wv * vec4(a_position.xyz, 1.0)).xyz;\n"
          "  vec3 sum = u_material[2].rgb + u_ambient.rgb * u_material[1].rgb;\n";
    for (int i = 0; i < kMaxLights; ++i) {
      if (!(lights & (1u << i))) continue;
      std::string k = std::to_string(i);
      vs += "  {\n    vec3 l;\n    float att = 1.0;\n"
            "    if (u_lightKind[" + k + "] == 3) {\n      l = -normalize(u_lightPosition[" + k + "]);\n"
            "    } else {\n      vec3 d = u_lightPosition[" + k + "] - at;\n      float dist = length(d);\n"
            "      vec4 a = u_lightAttenuation[" + k + "];\n      l = dist > 0.0 ? d / dist : vec3(0.0);\n"
            "      float q = a.x + a.y * dist + a.z * dist * dist;\n"
            "      att = (a.w > 0.0 && dist > a.w) || q <= 0.0 ? 0.0 : 1.0 / q;\n    }\n"
            "    sum += att * (u_lightColour[" + std::to_string(2 * i + 1) + "].rgb * u_material[1].rgb +\n"
            "                  max(dot(n, l), 0.0) * u_lightColour[" + std::to_string(2 * i) + "].rgb * source.rgb);\n"
            "  }\n";
    }
    vs += "  v_colour = vec4(clamp(sum, 0.0, 1.0), source.a);\n";
  }
  vs += "}\n";

  std::string fs = "#version 330 core\n";
  fs += std::string(interp) + "in vec4 v_colour;\nin vec2 v_uv;\nin float v_fog;\n";
  fs += "uniform float u_alphaRef;\nuniform vec3 u_fogColour;\nout vec4 o_colour;\n";
  std::string body = "void main() {\n  vec4 diffuse = v_colour;\n  vec4 current = diffuse;\n";
  size_t pos = key.find('|');
  for (int s = 0; pos != std::string::npos; ++s) {
    size_t next = key.find('|', pos + 1);
    std::string st = key.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    pos = next;
    uint32_t v[6];
    for (int i = 0; i < 6; ++i) v[i] = static_cast<uint32_t>(st[i] - '0');
    char line[128];
    if (st[6] == 't') {
      std::snprintf(line, sizeof line, "uniform sampler2D u_tex%d;\n", s);
      fs += line;
      std::snprintf(line, sizeof line, "  vec4 t%d = texture(u_tex%d, v_uv);\n", s, s);
    } else {
      // An empty stage reads as opaque white, so modulate leaves the diffuse.
      std::snprintf(line, sizeof line, "  vec4 t%d = vec4(1.0);\n", s);
    }
    body += line;
    body += "  current = vec4(" + OpExpr(v[0], v[1], v[2], s, ".rgb") + ", " + OpExpr(v[3], v[4], v[5], s, ".a") +
            ");\n";
  }
  static const char* kCompare[] = {"", "", "<", "==", "<=", ">", "!=", ">="};
  if (alphaFunc == Cmp_Never) {
    body += "  discard;\n";
  } else if (alphaFunc >= Cmp_Less && alphaFunc <= Cmp_GreaterEqual) {
    // Compared as 0..255 integers, as the reference is given.
    body += std::string("  if (!(floor(current.a * 255.0 + 0.5) ") + kCompare[alphaFunc] + " u_alphaRef)) discard;\n";
  }
  if (fog) body += "  current.rgb = mix(u_fogColour, current.rgb, v_fog);\n";
  body += "  o_colour = current;\n}\n";
  fs += body;

  GLuint v = Compile(GL_VERTEX_SHADER, vs);
  GLuint f = Compile(GL_FRAGMENT_SHADER, fs);
  if (!v || !f) {
    if (v) glDeleteShader(v);
    if (f) glDeleteShader(f);
    return false;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, v);
  glAttachShader(program, f);
  glLinkProgram(program);
  glDeleteShader(v);
  glDeleteShader(f);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    std::fprintf(stderr, "OpenGL program failed to link: %s\n", log);
    glDeleteProgram(program);
    return false;
  }
  out->gl = program;
  out->wvp = glGetUniformLocation(program, "u_wvp");
  out->wv = glGetUniformLocation(program, "u_wv");
  out->bias = glGetUniformLocation(program, "u_bias");
  out->flip = glGetUniformLocation(program, "u_flip");
  out->screen = glGetUniformLocation(program, "u_screen");
  out->alphaRef = glGetUniformLocation(program, "u_alphaRef");
  out->fogColour = glGetUniformLocation(program, "u_fogColour");
  out->fogRange = glGetUniformLocation(program, "u_fogRange");
  out->ambient = glGetUniformLocation(program, "u_ambient");
  out->material = glGetUniformLocation(program, "u_material");
  out->lightKind = glGetUniformLocation(program, "u_lightKind");
  out->lightColour = glGetUniformLocation(program, "u_lightColour");
  out->lightPosition = glGetUniformLocation(program, "u_lightPosition");
  out->lightAttenuation = glGetUniformLocation(program, "u_lightAttenuation");
  glUseProgram(program);
  for (int s = 0; s < kMaxTextureStages; ++s) {
    char name[16];
    std::snprintf(name, sizeof name, "u_tex%d", s);
    GLint loc = glGetUniformLocation(program, name);
    if (loc >= 0) glUniform1i(loc, s);
  }
  return true;
}

const GLDevice::Program* GLDevice::PrepareProgram(PrimitiveType type) {
  std::string key = ProgramKey();
  auto it = programs_.find(key);
  if (it == programs_.end()) {
    Program program;
    if (!BuildProgram(key, &program)) return nullptr;
    it = programs_.emplace(key, program).first;
  }
  const Program& p = it->second;
  glUseProgram(p.gl);
  Matrix4 wv, wvp;
  Multiply(transforms_[static_cast<int>(Transform::World)], transforms_[static_cast<int>(Transform::View)], &wv);
  Multiply(wv, transforms_[static_cast<int>(Transform::Projection)], &wvp);
  // Row-major rows read as GLSL columns give the transpose, so M * v in the
  // shader equals v * M here.
  glUniformMatrix4fv(p.wvp, 1, GL_FALSE, &wvp.m[0][0]);
  if (p.wv >= 0) glUniformMatrix4fv(p.wv, 1, GL_FALSE, &wv.m[0][0]);
  float bx = 0.0f, by = 0.0f;
  if ((type == Prim_PointList || type == Prim_LineList || type == Prim_LineStrip) && viewport_.width > 0 &&
      viewport_.height > 0) {
    // Half a pixel left and up; clip y runs up on the window.
    bx = -1.0f / static_cast<float>(viewport_.width);
    by = 1.0f / static_cast<float>(viewport_.height);
  }
  glUniform2f(p.bias, bx, by);
  glUniform1f(p.flip, TargetTopDown() ? -1.0f : 1.0f);
  if (p.screen >= 0)
    glUniform4f(p.screen, static_cast<float>(viewport_.x), static_cast<float>(viewport_.y),
                static_cast<float>(viewport_.width > 0 ? viewport_.width : 1),
                static_cast<float>(viewport_.height > 0 ? viewport_.height : 1));
  if (p.alphaRef >= 0) glUniform1f(p.alphaRef, static_cast<float>(renderStates_[RS_AlphaRef] & 0xFF));
  if (p.fogColour >= 0) {
    uint32_t c = renderStates_[RS_FogColor];
    glUniform3f(p.fogColour, ((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f);
  }
  if (p.fogRange >= 0)
    glUniform2f(p.fogRange, BitsFloat(renderStates_[RS_FogStart]), BitsFloat(renderStates_[RS_FogEnd]));
  if (p.material >= 0) SendLights(p);
  return &p;
}

void GLDevice::SendLights(const Program& p) const {
  auto row = [](const ColourValue& c) { return std::array<float, 4>{c.r, c.g, c.b, c.a}; };
  float material[12];
  const ColourValue* rows[3] = {&material_.diffuse, &material_.ambient, &material_.emissive};
  for (int i = 0; i < 3; ++i) {
    auto r = row(*rows[i]);
    std::copy(r.begin(), r.end(), material + i * 4);
  }
  glUniform4fv(p.material, 3, material);
  uint32_t a = renderStates_[RS_Ambient];
  glUniform4f(p.ambient, ((a >> 16) & 0xFF) / 255.0f, ((a >> 8) & 0xFF) / 255.0f, (a & 0xFF) / 255.0f,
              ((a >> 24) & 0xFF) / 255.0f);
  const Matrix4& v = transforms_[static_cast<int>(Transform::View)];
  int kinds[kMaxLights];
  float colours[kMaxLights * 8], positions[kMaxLights * 3], attenuation[kMaxLights * 4];
  for (int i = 0; i < kMaxLights; ++i) {
    const Light& l = lights_[i];
    kinds[i] = static_cast<int>(l.type);
    auto d = row(l.diffuse), am = row(l.ambient);
    std::copy(d.begin(), d.end(), colours + i * 8);
    std::copy(am.begin(), am.end(), colours + i * 8 + 4);
    // Row vectors: a point takes the translation, a direction does not.
    bool directional = l.type == Light_Directional;
    const Vector3& q = directional ? l.direction : l.position;
    for (int c = 0; c < 3; ++c)
      positions[i * 3 + c] =
          q.x * v.m[0][c] + q.y * v.m[1][c] + q.z * v.m[2][c] + (directional ? 0.0f : v.m[3][c]);
    attenuation[i * 4 + 0] = l.attenuation0;
    attenuation[i * 4 + 1] = l.attenuation1;
    attenuation[i * 4 + 2] = l.attenuation2;
    attenuation[i * 4 + 3] = l.range;
  }
  glUniform1iv(p.lightKind, kMaxLights, kinds);
  glUniform4fv(p.lightColour, kMaxLights * 2, colours);
  glUniform3fv(p.lightPosition, kMaxLights, positions);
  glUniform4fv(p.lightAttenuation, kMaxLights, attenuation);
}

void GLDevice::Draw(PrimitiveType type, int primitiveCount, unsigned glBuffer, size_t offset, size_t stride,
                    int indexCount, unsigned indexType, size_t indexOffset) {
  if (!(fvf_ & (FVF_XYZ | FVF_XYZRHW))) return;
  size_t layout = ((fvf_ & FVF_XYZRHW) ? 16 : 12) + ((fvf_ & FVF_Normal) ? 12 : 0) + ((fvf_ & FVF_Diffuse) ? 4 : 0) +
                  ((fvf_ & FVF_Tex1) ? 8 : 0);
  // A stride shorter than the layout would read past the last vertex.
  if (stride < layout) return;
  if (fixedDirty_) ApplyFixedState();
  if (viewportDirty_) ApplyViewport();
  if (samplersDirty_) {
    for (int s = 0; s < kMaxTextureStages; ++s) {
      GLuint sampler = samplerObjects_[s];
      glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                          samplers_[s][SS_MagFilter] == Filter_Linear ? GL_LINEAR : GL_NEAREST);
      glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                          samplers_[s][SS_MinFilter] == Filter_Linear ? GL_LINEAR : GL_NEAREST);
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S,
                          samplers_[s][SS_AddressU] == Address_Clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT);
      glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T,
                          samplers_[s][SS_AddressV] == Address_Clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT);
      glBindSampler(static_cast<GLuint>(s), sampler);
    }
    samplersDirty_ = false;
  }
  for (int s = 0; s < kMaxTextureStages; ++s) {
    const Texture* t = FindTexture(textures_[s]);
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
    glBindTexture(GL_TEXTURE_2D, t ? t->gl : 0);
    if (stages_[s][TSS_ColourOp] == TOp_Disable) break;
  }
  if (!PrepareProgram(type)) return;

  glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, glBuffer);
  // The vertices from `first` on, every `step`-th one.
  auto bind = [&](size_t first, size_t step) {
    auto at = [&](size_t bytes) { return reinterpret_cast<const void*>(offset + first * stride + bytes); };
    GLsizei s = static_cast<GLsizei>(stride * step);
    size_t field = 0;
    glEnableVertexAttribArray(0);
    if (fvf_ & FVF_XYZRHW) {
      glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, s, at(field));
      field += 16;
    } else {
      glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, s, at(field));
      field += 12;
    }
    if (fvf_ & FVF_Normal) {
      glEnableVertexAttribArray(3);
      glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, s, at(field));
      field += 12;
    } else {
      glDisableVertexAttribArray(3);
      glVertexAttrib4f(3, 0.0f, 0.0f, 0.0f, 1.0f);
    }
    if (fvf_ & FVF_Diffuse) {
      glEnableVertexAttribArray(1);
      // Little-endian 0xAARRGGBB words are B, G, R, A bytes.
      glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, at(field));
      field += 4;
    } else {
      glDisableVertexAttribArray(1);
      glVertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    if (fvf_ & FVF_Tex1) {
      glEnableVertexAttribArray(2);
      glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, s, at(field));
    } else {
      glDisableVertexAttribArray(2);
      glVertexAttrib4f(2, 0.0f, 0.0f, 0.0f, 1.0f);
    }
  };
  bind(0, 1);
  if (indexCount > 0) {
    // The element buffer binding belongs to the vertex array.
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer_);
    glDrawElements(PrimitiveToGL(type), indexCount, indexType, reinterpret_cast<const void*>(indexOffset));
  } else {
    glDrawArrays(PrimitiveToGL(type), 0, VertexCountFor(type, primitiveCount));
  }
  if (renderStates_[RS_LastPixel] && (type == Prim_LineList || type == Prim_LineStrip)) {
    // Direct3D 9 lights the last pixel of every line, OpenGL leaves it out:
    // each segment's end vertex is drawn again as a point (same bias).
    const bool list = type == Prim_LineList;
    bind(1, list ? 2 : 1);
    glDrawArrays(GL_POINTS, 0, primitiveCount);
  }
  glBindVertexArray(0);
}

bool GLDevice::DrawSharedQuads(const uint8_t* vertices, int triangles, size_t stride) {
  const size_t count = static_cast<size_t>(triangles) * 3;
  const bool shortIndices = count <= 0x10000;
  const size_t indexSize = shortIndices ? 2 : 4;
  // Written straight into the streaming buffers, room for every vertex
  // reserved; only what is used is kept.
  uint8_t* out = static_cast<uint8_t*>(StreamBegin(GL_ARRAY_BUFFER, quadVertexBuffer_, quadVertexRing_, count * stride));
  if (!out) return false;
  glBindVertexArray(vao_);
  uint8_t* indexOut =
      static_cast<uint8_t*>(StreamBegin(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer_, quadIndexRing_, count * indexSize));
  if (!indexOut) {
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, quadVertexBuffer_);
    StreamEnd(GL_ARRAY_BUFFER, quadVertexRing_, 0);
    return false;
  }
  uint32_t distinct = 0;
  size_t written = 0;
  auto index = [&](uint32_t i) {
    if (shortIndices) {
      const uint16_t v = static_cast<uint16_t>(i);
      std::memcpy(indexOut + written * 2, &v, 2);
    } else {
      std::memcpy(indexOut + written * 4, &i, 4);
    }
    ++written;
  };
  auto emit = [&](const uint8_t* v) {
    std::memcpy(out + static_cast<size_t>(distinct) * stride, v, stride);
    index(distinct++);
  };
  auto same = [stride](const uint8_t* a, const uint8_t* b) {
    return stride == 24 ? std::memcmp(a, b, 24) == 0 : std::memcmp(a, b, stride) == 0;
  };
  // Each pair of triangles: a vertex of the second equal, byte for byte, to
  // one of the first is that vertex again. Each triangle keeps its vertices
  // in their order, so flat shading's first vertex stays.
  size_t i = 0;
  for (; i + 6 <= count; i += 6) {
    const uint8_t* first = vertices + i * stride;
    const uint32_t base = distinct;
    for (int k = 0; k < 3; ++k) emit(first + k * stride);
    for (int k = 3; k < 6; ++k) {
      const uint8_t* v = first + k * stride;
      if (same(v, first)) index(base);
      else if (same(v, first + stride)) index(base + 1);
      else if (same(v, first + 2 * stride)) index(base + 2);
      else emit(v);
    }
  }
  for (; i < count; ++i) emit(vertices + i * stride);
  // Not worth an index list unless it spares a sixth of the vertices.
  const bool worth = static_cast<size_t>(distinct) * 6 <= count * 5;
  const size_t indexOffset = StreamEnd(GL_ELEMENT_ARRAY_BUFFER, quadIndexRing_, worth ? written * indexSize : 0);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, quadVertexBuffer_);
  const size_t vertexOffset = StreamEnd(GL_ARRAY_BUFFER, quadVertexRing_, worth ? distinct * stride : 0);
  if (!worth) return false;
  triangleVerticesSent_ += distinct;
  Draw(Prim_TriangleList, triangles, quadVertexBuffer_, vertexOffset, stride, static_cast<int>(written),
       shortIndices ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, indexOffset);
  return true;
}

void* GLDevice::StreamBegin(unsigned target, unsigned buffer, Ring& ring, size_t bytes) {
  // Appended behind what earlier draws read, so no write waits for them;
  // when the storage is full it is replaced (the old one lives on for the
  // draws still reading it).
  glBindBuffer(target, buffer);
  size_t at = (ring.used + 15) & ~size_t{15};
  if (ring.capacity < bytes || at > ring.capacity - bytes) {
    ring.capacity = std::max(ring.capacity, std::max(bytes, size_t{4} << 20));
    glBufferData(target, static_cast<GLsizeiptr>(ring.capacity), nullptr, GL_STREAM_DRAW);
    at = 0;
  }
  ring.mapped = at;
  return glMapBufferRange(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes),
                          GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT |
                              GL_MAP_FLUSH_EXPLICIT_BIT);
}

size_t GLDevice::StreamEnd(unsigned target, Ring& ring, size_t bytes) {
  if (bytes > 0) glFlushMappedBufferRange(target, 0, static_cast<GLsizeiptr>(bytes));
  glUnmapBuffer(target);
  if (bytes > 0) ring.used = ring.mapped + bytes;
  return ring.mapped;
}

void GLDevice::DrawPrimitive(PrimitiveType type, int startVertex, int primitiveCount) {
  Buffer* b = FindBuffer(stream_);
  if (!b || b->locked || !ValidPrimitive(type) || primitiveCount <= 0 || primitiveCount > kMaxPrimitives ||
      startVertex < 0 || streamStride_ == 0)
    return;
  size_t begin = streamOffset_ + static_cast<size_t>(startVertex) * streamStride_;
  size_t length = static_cast<size_t>(VertexCountFor(type, primitiveCount)) * streamStride_;
  // Never let the device read past the buffer.
  if (begin > b->shadow.size() || length > b->shadow.size() - begin) return;
  // Quads send their shared vertices once; what they read of the buffer is
  // sent later, should another draw read it.
  if (type == Prim_TriangleList && shareQuads_ && primitiveCount >= 2 && (fvf_ & (FVF_XYZ | FVF_XYZRHW)) &&
      DrawSharedQuads(b->shadow.data() + begin, primitiveCount, streamStride_)) {
    return;
  }
  if (type == Prim_TriangleList) triangleVerticesSent_ += static_cast<size_t>(primitiveCount) * 3;
  SendPending(b, begin, length);
  Draw(type, primitiveCount, b->gl, begin, streamStride_);
}

void GLDevice::DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices, size_t stride) {
  // A draw from memory leaves stream 0 unset, as callers of the interface expect.
  stream_ = 0;
  if (!vertices || !ValidPrimitive(type) || primitiveCount <= 0 || primitiveCount > kMaxPrimitives || stride == 0)
    return;
  size_t bytes = static_cast<size_t>(VertexCountFor(type, primitiveCount)) * stride;
  glBindBuffer(GL_ARRAY_BUFFER, scratch_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), vertices, GL_STREAM_DRAW);
  Draw(type, primitiveCount, scratch_, 0, stride);
}

void GLDevice::Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
  GLbitfield bits = 0;
  if (flags & Clear_Target) bits |= GL_COLOR_BUFFER_BIT;
  if (flags & Clear_ZBuffer) bits |= GL_DEPTH_BUFFER_BIT;
  if (flags & Clear_Stencil) bits |= GL_STENCIL_BUFFER_BIT;
  if (bits == 0) return;
  // A clear covers the viewport only, whatever the write masks say.
  int y = TargetTopDown() ? viewport_.y : TargetHeight() - viewport_.y - viewport_.height;
  glEnable(GL_SCISSOR_TEST);
  glScissor(viewport_.x, y, viewport_.width > 0 ? viewport_.width : 0, viewport_.height > 0 ? viewport_.height : 0);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  glClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
               ((colour >> 24) & 0xFF) / 255.0f);
  glClearDepth(z < 0.0f ? 0.0 : z > 1.0f ? 1.0 : static_cast<double>(z));
  glClearStencil(static_cast<GLint>(stencil & 0xFF));
  glClear(bits);
  glDisable(GL_SCISSOR_TEST);
  fixedDirty_ = true;  // the masks above must be put back
}

bool GLDevice::Present() {
  SDL_GL_SwapWindow(window_);
  return true;
}

bool GLDevice::Reset(const PresentParameters& parameters) {
  // Swap control may be refused (offscreen drivers); that is not a failure.
  SDL_GL_SetSwapInterval(parameters.vsync ? 1 : 0);
  for (Buffer& b : buffers_) b.locked = false;
  target_ = 0;
  BindTarget();
  DefaultStates();
  return true;
}

}  // namespace gfx
