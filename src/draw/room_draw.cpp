#include "draw/room_draw.h"

#include <algorithm>
#include <cmath>

#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "graphics/batching.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/matrices.h"
#include "graphics/render_states.h"
#include "graphics/view_mapping.h"
#include "graphics/viewport.h"
#include "graphics/window.h"
#include "input/input.h"
#include "script/convert.h"
#include "sprites/sprites.h"

namespace {
bool HasEvent(const CObjInstance* i, int subtype) {
  return Object_FindEventInherited(i->object_index, kEventDraw, subtype) != nullptr;
}

bool Drawable(const CObjInstance* i) { return !i->MarkedDead() && !i->deactivated && i->visible; }

void DrawInstance(CObjInstance* i) {
  if (HasEvent(i, 0)) {
    Instance_PerformEvent(i, i, kEventDraw, 0);
  } else {
    Sprite_DrawInstanceDefault(i);
  }
}

void DrawTile(const RoomTile& t) {
  CBackgroundImage* b = Background_Get(t.background);
  if (!b) return;
  b->DrawPart(float(t.left), float(t.top), float(t.width), float(t.height), float(t.x), float(t.y), float(t.xscale),
              float(t.yscale), t.blend, float(t.alpha));
}

void DrawLayers(const CGameRoom& room, bool foreground, float left, float top, float width, float height) {
  for (const RoomBackground& layer : room.backgrounds) {
    if (!layer.visible || layer.foreground != foreground) continue;
    CBackgroundImage* b = Background_Get(layer.index);
    if (!b) continue;
    b->DrawTiled(float(layer.x), float(layer.y), float(layer.xscale), float(layer.yscale), layer.tile_h,
                 layer.tile_v, left, top, width, height, layer.blend, float(layer.alpha));
  }
}

RoomParticleHooks g_particleHooks;

// At or below this a particle level means no system is left.
constexpr float kNoParticleLevel = -1.0e8f;

// Instances (from the greatest depth: the list holds ascending depths),
// tiles (sorted by descending depth) and particle-system depths merged by
// depth. A system goes first only when it lies deeper than the next
// instance and at least as deep as the next tile; a tile goes first only
// when it lies deeper than the next instance.
void DrawDepthPass(const CGameRoom& room) {
  CObjInstance* i = room.active.Last();
  const RoomTileArray& tiles = room.Tiles();
  int32_t t = 0;
  const bool threeD = Graphics_Is3DMode();
  const bool particles = g_particleHooks.maxDepth && g_particleHooks.nextDepthBelow && g_particleHooks.drawAtDepth;
  float level = particles ? g_particleHooks.maxDepth() : -1.0e9f;
  for (;;) {
    while (i && !Drawable(i)) i = i->Prev();
    while (t < tiles.Count() && !tiles[t].visible) ++t;
    bool tileLeft = t < tiles.Count();
    bool levelLeft = level > kNoParticleLevel;
    if (!i && !tileLeft && !levelLeft) break;
    if (levelLeft && (!i || level > i->depth) && (!tileLeft || double(level) >= tiles[t].depth)) {
      Graphics_SetDepth(std::min(level, 11000.0f));
      g_particleHooks.drawAtDepth(level);
      level = g_particleHooks.nextDepthBelow(level);
    } else if (i && (!tileLeft || !(tiles[t].depth > double(i->depth)))) {
      if (threeD) Graphics_SetDepth(std::min(i->depth, 11000.0f));
      CObjInstance* next = i->Prev();
      DrawInstance(i);
      i = next;
    } else {
      if (threeD) Graphics_SetDepth(float(std::min(tiles[t].depth, 11000.0)));
      DrawTile(tiles[t]);
      ++t;
    }
  }
}

void ClearDepth() {
  if (Graphics_Is3DMode()) Graphics_Clear(0, 1.0f, 0, 6);
}

// What one view shows of the room within the rectangle.
void DrawView(const CGameRoom& room, float left, float top, float right, float bottom) {
  Graphics_SetViewRect(left, top, right, bottom);
  ClearDepth();
  if (room.show_colour) Draw_Clear(room.colour | 0xFF000000u);
  Graphics_SetDepth(12000);
  DrawLayers(room, false, left, top, right - left, bottom - top);
  DrawDepthPass(room);
  Graphics_SetDepth(-12000);
  DrawLayers(room, true, left, top, right - left, bottom - top);
  Graphics_SetDepth(-13000);
}

void DrawGUI(const CGameRoom& room, float width, float height) {
  Graphics_SetViewRect(0, 0, width, height);
  for (CObjInstance* i = room.active.Last(); i;) {
    CObjInstance* next = i->Prev();
    if (Drawable(i) && HasEvent(i, 64)) Instance_PerformEvent(i, i, kEventDraw, 64);
    i = next;
  }
}

// Moves a view after the instance it follows, within its borders, the room
// and its speed limits.
void FollowInstance(RoomView& v, const CGameRoom& room) {
  if (v.object < 0) return;
  CObjInstance* target = nullptr;
  if (v.object < kObjectIndexLimit) {
    if (CObject* o = Object_Find(v.object))
      for (CObjInstance* c : o->OwnInstances())
        if (!c->MarkedDead() && !c->deactivated) {
          target = c;
          break;
        }
  } else if (CObjInstance* c = g_InstanceIdMap.Find(v.object); c && !c->MarkedDead() && !c->deactivated) {
    target = c;
  }
  if (!target) return;
  target->EnsureBoundingBox();
  const int32_t ix = Real_RoundToInt32(double(target->x)), iy = Real_RoundToInt32(double(target->y));
  auto axis = [](int32_t pos, int32_t size, int32_t border, int32_t at, int32_t roomSize, int32_t speed) {
    int32_t n = pos;
    if (2 * border >= size) {
      n = at - size / 2;
    } else if (at - border < pos) {
      n = at - border;
    } else if (at + border > pos + size) {
      n = at + border - size;
    }
    if (n < 0) n = 0;
    if (n + size > roomSize) n = roomSize - size;
    if (speed >= 0) n = std::clamp(n, pos - speed, pos + speed);
    return n;
  };
  v.xview = axis(v.xview, v.wview, v.hborder, ix, room.width, v.hspeed);
  v.yview = axis(v.yview, v.hview, v.vborder, iy, room.height, v.vspeed);
}

}  // namespace

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
  Graphics_CapToScreen(&width, &height);
  if (width == Display_ScreenTextureWidth() && height == Display_ScreenTextureHeight()) return;
  Graphics_SetScreenSize(width, height);
}

void Graphics_DrawScreen() {
  CGameRoom* room = g_Run.room;
  if (!room || !Graphics_Device()) return;
  const float sw = float(Display_ScreenTextureWidth()), sh = float(Display_ScreenTextureHeight());
  // Views follow their instances and record their mappings.
  int left = 999999, right = -999999, top = 999999, bottom = -999999;
  for (int i = 0; i < kRoomLayers; ++i) {
    RoomView& v = room->views[i];
    Window_ClearViewMapping(i);
    if (!room->views_enabled || !v.visible) continue;
    FollowInstance(v, *room);
    Window_SetViewMapping(i, float(v.xport), float(v.yport), float(v.wport), float(v.hport), float(v.xview),
                          float(v.yview), float(v.wview), float(v.hview), float(v.angle), v.surface);
    left = std::min(left, v.xport);
    right = std::max(right, v.xport + v.wport);
    top = std::min(top, v.yport);
    bottom = std::max(bottom, v.yport + v.hport);
  }
  // No visible port leaves nothing to scale by.
  const float scaleX = right > left ? sw / float(right - left) : 1.0f;
  const float scaleY = bottom > top ? sh / float(bottom - top) : 1.0f;
  Graphics_SetPortScale(scaleX, scaleY);
  room->SortTiles();
  if (room->views_enabled) {
    if (room->clear_with_window_colour) Draw_Clear(Window_GetColor() | 0xFF000000u);
    for (int i = 0; i < kRoomLayers; ++i) {
      const RoomView& v = room->views[i];
      if (!v.visible) continue;
      Graphics_SetViewCurrent(i);
      Graphics_SetViewport(Real_ToInt32(v.xport * scaleX), Real_ToInt32(v.yport * scaleY),
                           Real_ToInt32(v.wport * scaleX), Real_ToInt32(v.hport * scaleY));
      Graphics_SetViewProjection(float(v.xview), float(v.yview), float(v.wview), float(v.hview), float(v.angle));
      float l = float(v.xview), t = float(v.yview), r = float(v.xview + v.wview), b = float(v.yview + v.hview);
      if (std::fabs(v.angle) >= 0.001) {
        // A turned view can show corners beyond its own rectangle.
        l = float(v.xview - v.hview / 2);
        t = float(v.yview - v.wview / 2);
        r = float(v.xview + v.wview + v.hview / 2);
        b = float(v.yview + v.hview + v.wview / 2);
      }
      DrawView(*room, l, t, r, b);
    }
    VertexBatch_Flush();
    Graphics_SetViewport(0, 0, int(sw), int(sh));
    Graphics_SetViewProjection(0, 0, sw, sh, 0);
    Graphics_SetViewRect(0, 0, sw, sh);
  } else {
    Graphics_SetViewCurrent(0);
    VertexBatch_Flush();
    Graphics_SetViewport(0, 0, int(sw), int(sh));
    Graphics_SetViewProjection(0, 0, float(room->width), float(room->height), 0);
    DrawView(*room, 0, 0, float(room->width), float(room->height));
  }
  // The GUI layer: no views, no 3D.
  const bool perspective = RenderState_GetPerspectiveFlag();
  const bool threeD = Graphics_Is3DMode();
  Graphics_Set3DMode(false);
  int guiWidth = -1, guiHeight = -1;
  Graphics_GetGUISize(&guiWidth, &guiHeight);
  float gw = guiWidth > 0 ? float(guiWidth) : sw;
  float gh = guiHeight > 0 ? float(guiHeight) : sh;
  Graphics_SetViewport(0, 0, int(sw), int(sh));
  Graphics_SetViewProjection(0, 0, gw, gh, 0);
  DrawGUI(*room, gw, gh);
  if (CSprite* cursor = Sprite_Get(g_Run.cursor_sprite)) {
    int px = 0, py = 0;
    Window_WindowToPort(g_InputState.mouse_x, g_InputState.mouse_y, &px, &py);
    cursor->DrawExt(int(g_Run.step_counter), float(px), float(py), 1, 1, 0, 0xFFFFFF, 1);
  }
  Graphics_Set3DMode(threeD);
  Graphics_SetViewCurrent(0);
  RenderState_SetPerspectiveFlag(perspective);
  Graphics_SetViewProjection(0, 0, sw, sh, 0);
  Graphics_SetViewRect(0, 0, sw, sh);
}

void RoomDraw_SetParticleHooks(const RoomParticleHooks& hooks) { g_particleHooks = hooks; }
