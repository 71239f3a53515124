// Frames: every frame is drawn into the screen texture and, at its end,
// copied to the back buffer (scaled, and letterboxed in the window colour
// when the game keeps its aspect ratio), then presented. Also clears, the
// device reset that applies window and display changes, and read-back.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"

class TBitmap;

bool Graphics_BeginFrame();
// Ends the frame; presents it when asked.
bool Graphics_EndFrame(bool present);
void Display_BeginScene();
void Display_EndScene();
bool Display_Present();
void Display_DrawScreenTexture();
// Border between the back buffer and the letterboxed picture; 0 without
// keep-aspect. One of the two is always 0.
void Display_GetLetterboxOffset(int* x, int* y);
void Graphics_BlitScreenTexture(gfx::TextureHandle texture, float x1, float y1, float x2, float y2, float tu1,
                                float tv1, float tu2, float tv2, uint32_t colour);
// Recovery and settings path; false when the reset fails.
bool Graphics_FullReset();
bool Graphics_Reset();
// colour is a script colour with alpha (0xAABBGGRR); flags bit 0 target,
// bit 1 depth, bit 2 stencil.
void Graphics_Clear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags);
// Leaves full screen for a dialog, closing and reopening an open frame.
void Graphics_ResetToWindowed();
// A rectangle of the screen texture within a port of the given size, as
// 0xAARRGGBB rows; empty when nothing of it can be read.
std::vector<uint32_t> Graphics_ReadScreenPixels(int portWidth, int portHeight, int x, int y, int* width,
                                                int* height);
// A rectangle of the screen as a new 32-bit bitmap, clipped to the screen;
// null when nothing of it is left.
std::unique_ptr<TBitmap> Graphics_GrabScreen(int x, int y, int width, int height);
// One pixel of the screen as a script colour (alpha kept); 0 outside.
uint32_t Graphics_GetScreenPixel(int x, int y);
// Microseconds the last present took.
int64_t Graphics_PresentTime();
int Graphics_SceneDepth();
void Frame_ResetState();
