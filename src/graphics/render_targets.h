// The saved-target stack: the frame code saves the targets it found, points
// drawing at the screen texture and restores them at the frame's end;
// surfaces do the same on top of it.
#pragma once
#include "platform/gfx/device.h"

constexpr int kRenderTargetStackDepth = 8;

// Saves the current targets; false when the stack is full.
bool RenderTarget_Push();
// Restores the top record; false without a device or with an empty stack.
bool RenderTarget_Pop();
void RenderTarget_PopAll();
// Drawing goes to the texture on this slot.
bool RenderTarget_Set(int slot, gfx::TextureHandle texture);
int RenderTarget_Depth();
