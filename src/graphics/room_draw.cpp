#include "graphics/room_draw.h"

#include <algorithm>

#include "core/rooms.h"
#include "core/run_loop.h"
#include "draw/draw.h"
#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "graphics/view_mapping.h"
#include "graphics/window.h"
#include "script/convert.h"

namespace {

struct DrawState {
  int viewCurrent = 0;
  int renderWidth = 640, renderHeight = 480;
  int viewport[4] = {};
  float portScaleX = 1.0f, portScaleY = 1.0f;
};
DrawState g_draw;

void CappedToScreen(int* width, int* height) {
  int sw = Display_GetWidth(), sh = Display_GetHeight();
  if (sw > 0) *width = std::min(*width, sw);
  if (sh > 0) *height = std::min(*height, sh);
}

// The room's own colour behind everything a view shows.
void DrawView(const CGameRoom& room) {
  if (room.show_colour) Draw_Clear(room.colour | 0xFF000000u);
}

}  // namespace

void RoomDraw_ResetForTests() { g_draw = DrawState{}; }
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
  CappedToScreen(&width, &height);
  if (width == g_draw.renderWidth && height == g_draw.renderHeight) return;
  g_draw.renderWidth = width;
  g_draw.renderHeight = height;
  if (!Graphics_Device()) return;
  VertexBatch_Flush();
  Graphics_SetViewport(0, 0, width, height);
  Graphics_SetViewProjection(0, 0, float(width), float(height), 0);
}

void Graphics_FitWindowToRoom() {
  const CGameRoom* room = g_Run.room;
  if (!room) return;
  int width = room->width, height = room->height;
  if (room->views_enabled) {
    width = height = 8;
    for (const RoomView& v : room->views) {
      if (!v.visible) continue;
      width = std::max(width, v.xport + v.wport);
      height = std::max(height, v.yport + v.hport);
    }
  }
  CappedToScreen(&width, &height);
  if (width == Display_ScreenTextureWidth() && height == Display_ScreenTextureHeight()) return;
  Graphics_SetScreenSize(width, height);
}

void Graphics_DrawScreen() {
  const CGameRoom* room = g_Run.room;
  if (!room || !Graphics_Device()) return;
  int sw = Display_ScreenTextureWidth(), sh = Display_ScreenTextureHeight();
  if (room->views_enabled) {
    int left = 999999, right = -999999, top = 999999, bottom = -999999;
    for (int i = 0; i < kRoomLayers; ++i) {
      const RoomView& v = room->views[i];
      Window_ClearViewMapping(i);
      if (!v.visible) continue;
      Window_SetViewMapping(i, float(v.xport), float(v.yport), float(v.wport), float(v.hport), float(v.xview),
                            float(v.yview), float(v.wview), float(v.hview), float(v.angle), v.surface);
      left = std::min(left, v.xport);
      right = std::max(right, v.xport + v.wport);
      top = std::min(top, v.yport);
      bottom = std::max(bottom, v.yport + v.hport);
    }
    // No visible port leaves nothing to scale by.
    g_draw.portScaleX = right > left ? float(sw) / float(right - left) : 1.0f;
    g_draw.portScaleY = bottom > top ? float(sh) / float(bottom - top) : 1.0f;
    if (room->clear_with_window_colour) Draw_Clear(Window_GetColor() | 0xFF000000u);
    for (int i = 0; i < kRoomLayers; ++i) {
      const RoomView& v = room->views[i];
      if (!v.visible) continue;
      g_draw.viewCurrent = i;
      Graphics_SetViewport(Real_ToInt32(v.xport * g_draw.portScaleX), Real_ToInt32(v.yport * g_draw.portScaleY),
                           Real_ToInt32(v.wport * g_draw.portScaleX), Real_ToInt32(v.hport * g_draw.portScaleY));
      Graphics_SetViewProjection(float(v.xview), float(v.yview), float(v.wview), float(v.hview), float(v.angle));
      DrawView(*room);
    }
    VertexBatch_Flush();
  } else {
    for (int i = 0; i < kRoomLayers; ++i) Window_ClearViewMapping(i);
    g_draw.viewCurrent = 0;
    VertexBatch_Flush();
    Graphics_SetViewport(0, 0, sw, sh);
    Graphics_SetViewProjection(0, 0, float(room->width), float(room->height), 0);
    DrawView(*room);
  }
  Graphics_SetViewport(0, 0, sw, sh);
  Graphics_SetViewProjection(0, 0, float(sw), float(sh), 0);
  g_draw.viewCurrent = 0;
}
