// Vertex batching: all 2D drawing writes its vertices through
// VertexBatch_Reserve into a pool of dynamic vertex buffers, and runs of
// requests with the same primitive kind, texture and vertex size go to the
// device as one draw call.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/gfx/device.h"

// Marks a value as a vertex-format id rather than a fixed layout.
constexpr uint32_t kVertexFormatIdBit = 0x1000000;

// The fixed layouts a vertex size selects.
constexpr uint32_t kFVF_PosColour = gfx::FVF_XYZ | gfx::FVF_Diffuse;                           // 16 bytes
constexpr uint32_t kFVF_PosColourUV = gfx::FVF_XYZ | gfx::FVF_Diffuse | gfx::FVF_Tex1;         // 24 bytes
constexpr uint32_t kFVF_PosNormalColourUV = kFVF_PosColourUV | gfx::FVF_Normal;                // 36 bytes

// One device vertex buffer and how far it is filled.
class CVertexBufferD3D {
 public:
  enum Flags : uint32_t { kLocked = 1, kDynamic = 2, kWrittenThisFrame = 4 };

  // flags bit 1 asks for a dynamic buffer. False when even the fallback
  // could not be created (already reported).
  bool Create(uint32_t vertexFormat, int vertexCapacity, uint32_t createFlags);
  // Locks from the write position to the end; the batch starts there.
  void* Lock();
  void Unlock();
  void Upload(const void* bytes, size_t byteCount);
  void Release();

  uint32_t flags = 0;
  gfx::VertexBufferHandle buffer = 0;
  uint32_t format = 0;
  uint32_t stride = 0;
  int batchStart = 0;
  int writePosition = 0;
  int capacity = 0;
  uint8_t* lockPointer = nullptr;
  uint64_t lastUseFrame = 0;
};

// Room for count vertices, filled by the caller before the next batcher
// call; null when no buffer could be had. sizeOrFormat is 16, 24 or 36, or
// a vertex format (layout bits or a format id).
void* VertexBatch_Reserve(int kind, gfx::TextureHandle texture, uint32_t sizeOrFormat, int count);
void VertexBatch_Unreserve(int count);
// Draws the open batch, then sends the dirty render states.
void VertexBatch_Flush();
// Called at the end of each frame.
void VertexBatch_BeginFrame();
uint32_t VertexBatch_Stride(uint32_t format);
void VertexBatch_Draw(int kind, int vertexCount);

// Draw calls of the current frame, for the profiler.
int VertexBatch_Count();
void VertexBatch_ResetCount();
// Every batch takes a buffer of its own (for drivers that mishandle
// no-overwrite locks).
void VertexBatch_SetPerBatchFlush(bool on);
size_t VertexBatch_BufferCount();

// Stride and declaration of a vertex-format id; registered by the vertex
// formats once they exist.
struct VertexFormatInfo {
  uint32_t stride = 0;
  gfx::VertexDeclarationHandle declaration = 0;
};
using VertexFormatLookup = bool (*)(uint32_t formatId, VertexFormatInfo* out);
void VertexBatch_SetFormatLookup(VertexFormatLookup lookup);

// Releases every batch buffer (device release) and starts over.
void VertexBatch_ReleaseAll();
