#include "graphics/viewport.h"

#include <algorithm>

#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"

namespace {

struct DrawState {
  int viewCurrent = 0;
  int renderWidth = 640, renderHeight = 480;
  int viewport[4] = {};
  float portScaleX = 1.0f, portScaleY = 1.0f;
  float viewRect[4] = {-1e30f, -1e30f, 1e30f, 1e30f};
  int guiWidth = -1, guiHeight = -1;  // -1: the screen texture's size
};
DrawState g_draw;
}  // namespace

void Graphics_CapToScreen(int* width, int* height) {
  int sw = Display_GetWidth(), sh = Display_GetHeight();
  if (sw > 0) *width = std::min(*width, sw);
  if (sh > 0) *height = std::min(*height, sh);
}

void RoomDraw_ResetForTests() { g_draw = DrawState{}; }

void Graphics_GetViewRect(float* left, float* top, float* right, float* bottom) {
  *left = g_draw.viewRect[0];
  *top = g_draw.viewRect[1];
  *right = g_draw.viewRect[2];
  *bottom = g_draw.viewRect[3];
}

void Graphics_SetViewRect(float left, float top, float right, float bottom) {
  g_draw.viewRect[0] = left;
  g_draw.viewRect[1] = top;
  g_draw.viewRect[2] = right;
  g_draw.viewRect[3] = bottom;
}
int Graphics_ViewCurrent() { return g_draw.viewCurrent; }
void Graphics_GetPortScale(float* x, float* y) {
  *x = g_draw.portScaleX;
  *y = g_draw.portScaleY;
}

void Graphics_GetPortSize(int* width, int* height) {
  *width = g_draw.renderWidth;
  *height = g_draw.renderHeight;
}

void Graphics_SetViewport(int x, int y, int width, int height) {
  gfx::Device* device = Graphics_Device();
  if (!device) return;
  VertexBatch_Flush();
  g_draw.viewport[0] = x;
  g_draw.viewport[1] = y;
  g_draw.viewport[2] = width;
  g_draw.viewport[3] = height;
  device->SetViewport(gfx::Viewport{x, y, width, height, 0.0f, 1.0f});
}

void Graphics_SetScreenSize(int width, int height) {
  Graphics_CapToScreen(&width, &height);
  if (width == g_draw.renderWidth && height == g_draw.renderHeight) return;
  g_draw.renderWidth = width;
  g_draw.renderHeight = height;
  if (!Graphics_Device()) return;
  VertexBatch_Flush();
  Graphics_SetViewport(0, 0, width, height);
  Graphics_SetViewProjection(0, 0, float(width), float(height), 0);
}

void Graphics_SetViewCurrent(int view) { g_draw.viewCurrent = view; }

void Graphics_SetPortScale(float x, float y) {
  g_draw.portScaleX = x;
  g_draw.portScaleY = y;
}

void Graphics_GetGUISize(int* width, int* height) {
  *width = g_draw.guiWidth;
  *height = g_draw.guiHeight;
}

void Graphics_SetGUISize(int width, int height) {
  g_draw.guiWidth = width;
  g_draw.guiHeight = height;
}
