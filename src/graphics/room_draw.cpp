#include "graphics/room_draw.h"

#include <algorithm>

#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instances.h"
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
#include "sprites/sprites.h"

namespace {

struct DrawState {
  int viewCurrent = 0;
  int renderWidth = 640, renderHeight = 480;
  int viewport[4] = {};
  float portScaleX = 1.0f, portScaleY = 1.0f;
  float viewRect[4] = {-1e30f, -1e30f, 1e30f, 1e30f};
};
DrawState g_draw;

void CappedToScreen(int* width, int* height) {
  int sw = Display_GetWidth(), sh = Display_GetHeight();
  if (sw > 0) *width = std::min(*width, sw);
  if (sh > 0) *height = std::min(*height, sh);
}

// Instances from the greatest depth to the smallest: the list holds
// ascending depths. Those without a draw event draw their sprite.
void DrawInstances(const CGameRoom& room) {
  for (CObjInstance* i = room.active.Last(); i; i = i->Prev()) {
    if (i->marked_dead || i->deactivated || !i->visible) continue;
    if (Graphics_Is3DMode()) Graphics_SetDepth(std::min(i->depth, 11000.0f));
    int32_t owner = -1;
    if (Object_FindEvent(i->object_index, kEventDraw, 0, &owner)) Instance_PerformEvent(i, i, kEventDraw, 0);
    else Sprite_DrawInstanceDefault(i);
  }
}

// The room's own colour behind everything a view shows, then the instances.
void DrawView(const CGameRoom& room) {
  if (room.show_colour) Draw_Clear(room.colour | 0xFF000000u);
  DrawInstances(room);
}

}  // namespace

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
      Graphics_SetViewRect(float(v.xview), float(v.yview), float(v.xview + v.wview), float(v.yview + v.hview));
      DrawView(*room);
    }
    VertexBatch_Flush();
  } else {
    for (int i = 0; i < kRoomLayers; ++i) Window_ClearViewMapping(i);
    g_draw.viewCurrent = 0;
    VertexBatch_Flush();
    Graphics_SetViewport(0, 0, sw, sh);
    Graphics_SetViewProjection(0, 0, float(room->width), float(room->height), 0);
    Graphics_SetViewRect(0, 0, float(room->width), float(room->height));
    DrawView(*room);
  }
  Graphics_SetViewport(0, 0, sw, sh);
  Graphics_SetViewProjection(0, 0, float(sw), float(sh), 0);
  g_draw.viewCurrent = 0;
}
