#include "graphics/render_targets.h"

#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/render_states.h"

namespace {
constexpr int kSlots = 4;

struct Record {
  gfx::TextureHandle targets[kSlots] = {};
};

Record g_stack[kRenderTargetStackDepth];
int g_top = 0;

int Slots() {
  int n = Display_State().renderTargetSlots;
  return n < 1 ? 1 : n > kSlots ? kSlots : n;
}
}  // namespace

bool RenderTarget_Push() {
  gfx::Device* device = Graphics_Device();
  if (!device || g_top >= kRenderTargetStackDepth) return false;
  Record& r = g_stack[g_top];
  for (int i = 0; i < Slots(); ++i) r.targets[i] = device->GetRenderTarget(i);
  ++g_top;
  return true;
}

bool RenderTarget_Pop() {
  gfx::Device* device = Graphics_Device();
  if (!device || g_top == 0) return false;
  VertexBatch_Flush();
  --g_top;
  Record& r = g_stack[g_top];
  for (int i = 0; i < Slots(); ++i) {
    // Slots above 0 may hold nothing; the back buffer is slot 0's "nothing".
    if (!device->SetRenderTarget(i, r.targets[i]) && i == 0) return false;
    r.targets[i] = 0;
  }
  return true;
}

void RenderTarget_PopAll() {
  while (g_top > 0)
    if (!RenderTarget_Pop()) g_top = 0;
}

bool RenderTarget_Set(int slot, gfx::TextureHandle texture) {
  gfx::Device* device = Graphics_Device();
  if (!device || slot < 0 || slot >= Slots()) return false;
  VertexBatch_Flush();
  return device->SetRenderTarget(slot, texture);
}

int RenderTarget_Depth() { return g_top; }
