#include "graphics/batching.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/render_states.h"
#include "script/errors.h"

namespace {

struct BatcherState {
  CVertexBufferD3D* open = nullptr;
  int kind = -1;  // -1: no batch open
  gfx::TextureHandle texture = 0;
  uint32_t stride = 0;
  std::vector<std::unique_ptr<CVertexBufferD3D>> buffers;
  // A new buffer's last use is frame 0, so starting at 10 makes it free at once.
  uint64_t frame = 10;
  int minimumCapacity = 16384;
  int batchCount = 0;
  bool perBatchFlush = false;
  VertexFormatLookup lookup = nullptr;
};

BatcherState g_batch;

const char kCreateFailed[] = "Fatel Error: Can not create vertex buffer";

bool IsStripOrFan(int kind) {
  return kind == gfx::Prim_LineStrip || kind == gfx::Prim_TriangleStrip || kind == gfx::Prim_TriangleFan;
}

uint32_t FormatForSize(uint32_t size) {
  switch (size) {
    case 16: return kFVF_PosColour;
    case 24: return kFVF_PosColourUV;
    case 36: return kFVF_PosNormalColourUV;
  }
  return size;
}

bool LookupFormat(uint32_t id, VertexFormatInfo* info) { return g_batch.lookup && g_batch.lookup(id, info); }

CVertexBufferD3D* NewBuffer(uint32_t format, int count) {
  auto vb = std::make_unique<CVertexBufferD3D>();
  if (!vb->Create(format, std::max(count, g_batch.minimumCapacity), CVertexBufferD3D::kDynamic)) return nullptr;
  g_batch.buffers.push_back(std::move(vb));
  return g_batch.buffers.back().get();
}

CVertexBufferD3D* FindBuffer(int count, uint32_t format) {
  for (auto& vb : g_batch.buffers) {
    if (vb->format == format && vb->capacity - vb->writePosition >= count && vb->lastUseFrame + 3 < g_batch.frame)
      return vb.get();
  }
  return NewBuffer(format, count);
}

}  // namespace

bool CVertexBufferD3D::Create(uint32_t vertexFormat, int vertexCapacity, uint32_t createFlags) {
  gfx::Device* device = Graphics_Device();
  format = vertexFormat;
  stride = VertexBatch_Stride(vertexFormat);
  capacity = vertexCapacity;
  lastUseFrame = 0;
  flags = 0;
  buffer = 0;
  size_t bytes = static_cast<size_t>(vertexCapacity) * stride;
  uint32_t fvf = (vertexFormat & kVertexFormatIdBit) ? 0 : vertexFormat;
  if (device && stride != 0 && vertexCapacity > 0) {
    bool dynamic = createFlags & kDynamic;
    buffer = dynamic ? device->CreateVertexBuffer(bytes, gfx::Usage_Dynamic, fvf, gfx::Pool::SystemMemory)
                     : device->CreateVertexBuffer(bytes, gfx::Usage_WriteOnly, fvf, gfx::Pool::Managed);
    if (buffer != 0 && dynamic) flags |= kDynamic;
    if (buffer == 0) buffer = device->CreateVertexBuffer(bytes, gfx::Usage_WriteOnly, fvf, gfx::Pool::Default);
  }
  if (buffer == 0) {
    Error_ReportRuntime(ErrorSeverity::kAbort, kCreateFailed);
    return false;
  }
  return true;
}

void* CVertexBufferD3D::Lock() {
  if (flags & kLocked) return lockPointer;
  gfx::Device* device = Graphics_Device();
  if (!device || buffer == 0) return nullptr;
  size_t offset = static_cast<size_t>(writePosition) * stride;
  size_t length = static_cast<size_t>(capacity) * stride - offset;
  uint32_t lockFlags;
  if (!(flags & kWrittenThisFrame)) {
    lockFlags = (flags & kDynamic) ? gfx::Lock_Discard : gfx::Lock_None;
  } else if (!(flags & kDynamic)) {
    lockFlags = gfx::Lock_None;
  } else {
    lockFlags = offset > 0 ? gfx::Lock_NoOverwrite : gfx::Lock_Discard;
  }
  void* p = device->LockVertexBuffer(buffer, offset, length, lockFlags);
  if (!p) return nullptr;
  flags |= kWrittenThisFrame | kLocked;
  batchStart = writePosition;
  lockPointer = static_cast<uint8_t*>(p);
  return p;
}

void CVertexBufferD3D::Unlock() {
  if (!(flags & kLocked)) return;
  if (gfx::Device* device = Graphics_Device()) device->UnlockVertexBuffer(buffer);
  flags &= ~kLocked;
  lockPointer = nullptr;
}

void CVertexBufferD3D::Upload(const void* bytes, size_t byteCount) {
  gfx::Device* device = Graphics_Device();
  if ((flags & kLocked) || !bytes || !device || buffer == 0) return;
  size_t length = std::min(byteCount, static_cast<size_t>(capacity) * stride);
  void* p = device->LockVertexBuffer(buffer, 0, length, (flags & kDynamic) ? gfx::Lock_Discard : gfx::Lock_None);
  if (!p) {
    Error_ReportRuntime(ErrorSeverity::kError, "Error: Could not update vertex buffer");
    return;
  }
  std::memcpy(p, bytes, length);
  if (!device->UnlockVertexBuffer(buffer))
    Error_ReportRuntime(ErrorSeverity::kError, "Error: Could not unlock vertex buffer");
}

void CVertexBufferD3D::Release() {
  Unlock();
  if (gfx::Device* device = Graphics_Device(); device && buffer != 0) device->ReleaseVertexBuffer(buffer);
  buffer = 0;
}

uint32_t VertexBatch_Stride(uint32_t format) {
  if (format & kVertexFormatIdBit) {
    VertexFormatInfo info;
    return LookupFormat(format, &info) ? info.stride : 0;
  }
  uint32_t stride = 0;
  if (format & gfx::FVF_XYZ) stride += 12;
  if (format & gfx::FVF_XYZRHW) stride += 16;
  if (format & gfx::FVF_Normal) stride += 12;
  if (format & gfx::FVF_Diffuse) stride += 4;
  if (format & gfx::FVF_Tex1) stride += 8;
  return stride;
}

void* VertexBatch_Reserve(int kind, gfx::TextureHandle texture, uint32_t sizeOrFormat, int count) {
  if (count < 0) return nullptr;
  BatcherState& b = g_batch;
  CVertexBufferD3D* vb = b.open;
  // Only a vertex size extends a batch, and only one whose layout is the
  // open buffer's: a named format always draws as a batch of its own.
  bool isSize = sizeOrFormat == 16 || sizeOrFormat == 24 || sizeOrFormat == 36;
  if (!(b.kind >= 0 && vb && kind == b.kind && texture == b.texture && isSize && sizeOrFormat == b.stride &&
        FormatForSize(sizeOrFormat) == vb->format &&
        !IsStripOrFan(kind) && vb->writePosition + count <= vb->capacity && !g_RenderStateCache.AnyDirty())) {
    VertexBatch_Flush();
    uint32_t format = FormatForSize(sizeOrFormat);
    uint32_t stride = VertexBatch_Stride(format);
    if (stride == 0) return nullptr;
    vb = FindBuffer(count, format);
    if (!vb || !vb->Lock()) return nullptr;
    b.open = vb;
    b.kind = kind;
    b.texture = texture;
    b.stride = stride;
  }
  uint8_t* p = vb->lockPointer + static_cast<size_t>(vb->writePosition - vb->batchStart) * vb->stride;
  vb->writePosition += count;
  return p;
}

void VertexBatch_Unreserve(int count) {
  CVertexBufferD3D* vb = g_batch.open;
  if (g_batch.kind < 0 || !vb || count <= 0) return;
  vb->writePosition -= std::min(count, vb->writePosition - vb->batchStart);
}

void VertexBatch_Draw(int kind, int n) {
  CVertexBufferD3D* vb = g_batch.open;
  gfx::Device* device = Graphics_Device();
  if (!vb || !device) return;
  // Unlocked even when nothing is drawn, so the next lock starts a fresh
  // batch instead of dragging leftover vertices into it.
  vb->Unlock();
  int count;
  gfx::PrimitiveType type = static_cast<gfx::PrimitiveType>(kind);
  switch (kind) {
    case gfx::Prim_PointList: count = n; break;
    case gfx::Prim_LineList: count = n / 2; break;
    case gfx::Prim_LineStrip: count = n - 1; break;
    case gfx::Prim_TriangleList: count = n / 3; break;
    case gfx::Prim_TriangleStrip:
    case gfx::Prim_TriangleFan: count = n - 2; break;
    default:
      type = gfx::Prim_PointList;
      count = n;
      break;
  }
  if (count < 1) return;
  if (vb->format & kVertexFormatIdBit) {
    VertexFormatInfo info;
    LookupFormat(vb->format, &info);
    device->SetFVF(0);
    device->SetVertexDeclaration(info.declaration);
  } else {
    device->SetFVF(vb->format);
  }
  device->SetStreamSource(0, vb->buffer, static_cast<size_t>(vb->batchStart) * vb->stride, vb->stride);
  device->DrawPrimitive(type, 0, count);
  ++g_batch.batchCount;
}

void VertexBatch_Flush() {
  BatcherState& b = g_batch;
  if (b.kind >= 0 && b.open) {
    if (gfx::Device* device = Graphics_Device()) device->SetTexture(RenderState_BaseTextureStage(), b.texture);
    VertexBatch_Draw(b.kind, b.open->writePosition - b.open->batchStart);
    if (b.perBatchFlush) b.open->writePosition = b.open->capacity;
  }
  b.open = nullptr;
  b.kind = -1;
  g_RenderStateCache.Flush();
}

void VertexBatch_BeginFrame() {
  for (auto& vb : g_batch.buffers) {
    vb->Unlock();
    if (vb->flags & CVertexBufferD3D::kWrittenThisFrame) {
      vb->writePosition = 0;
      vb->lastUseFrame = g_batch.frame;
      vb->flags &= ~CVertexBufferD3D::kWrittenThisFrame;
    }
  }
  ++g_batch.frame;
  g_batch.open = nullptr;
  g_batch.kind = -1;
  if (g_batch.perBatchFlush) g_batch.minimumCapacity = 4096;
}

int VertexBatch_Count() { return g_batch.batchCount; }
void VertexBatch_ResetCount() { g_batch.batchCount = 0; }
void VertexBatch_SetPerBatchFlush(bool on) { g_batch.perBatchFlush = on; }
size_t VertexBatch_BufferCount() { return g_batch.buffers.size(); }
void VertexBatch_SetFormatLookup(VertexFormatLookup lookup) { g_batch.lookup = lookup; }

void VertexBatch_ReleaseAll() {
  for (auto& vb : g_batch.buffers) vb->Release();
  VertexFormatLookup lookup = g_batch.lookup;
  g_batch = BatcherState();
  g_batch.lookup = lookup;
}
