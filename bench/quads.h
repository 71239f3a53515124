// A frame of sprite quads written through the vertex batcher, as drawing
// code does: two triangles of 24-byte vertices each.
#pragma once
#include <cstdint>

#include "graphics/batching.h"

namespace bench {

struct Vertex24 {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

// `count` 16x16 quads over a 512-pixel-wide area; the texture changes every
// `run` quads, starting at `firstTexture`.
inline void WriteQuads(int count, int run, gfx::TextureHandle firstTexture) {
  for (int i = 0; i < count; ++i) {
    auto texture = static_cast<gfx::TextureHandle>(firstTexture + i / run);
    auto* v = static_cast<Vertex24*>(VertexBatch_Reserve(gfx::Prim_TriangleList, texture, 24, 6));
    if (!v) return;
    float x = static_cast<float>(i & 511), y = static_cast<float>((i >> 9) * 8);
    v[0] = {x, y, 0, 0xFFFFFFFF, 0, 0};
    v[1] = {x + 16, y, 0, 0xFFFFFFFF, 1, 0};
    v[2] = {x, y + 16, 0, 0xFFFFFFFF, 0, 1};
    v[3] = v[1];
    v[4] = {x + 16, y + 16, 0, 0xFFFFFFFF, 1, 1};
    v[5] = v[2];
  }
}

}  // namespace bench
