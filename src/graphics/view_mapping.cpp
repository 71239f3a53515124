#include "graphics/view_mapping.h"

#include <cmath>

#include "core/rooms.h"
#include "core/run_state.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "graphics/viewport.h"
#include "graphics/window.h"
#include "input/input.h"
#include "script/convert.h"

namespace {

ViewMapping g_mapping;

constexpr float kPi = 3.1415927f;

int Nearest(float v) { return Real_RoundToInt32(v); }

bool InRange(int n) { return n >= 0 && n < kViewMappings; }

// Window pixels per picture pixel; a picture with no width (a window
// shrunk to its borders) converts as if unscaled rather than dividing by 0.
float PictureScale(int screen, int client, int border) {
  int picture = client - 2 * border;
  return picture > 0 ? float(screen) / float(picture) : 1.0f;
}

void MouseThroughView(int n, int* x, int* y) {
  int ox = 0, oy = 0;
  Display_GetLetterboxOffset(&ox, &oy);
  *x = *y = 0;
  Window_WindowToView(n, Window_GetMouseX() - ox, Window_GetMouseY() - oy, x, y);
}

bool DeviceMouse(int device, int* x, int* y) {
  *x = *y = 0;
  if (device < 0 || device >= kInputDevices) return false;
  Window_WindowToRoom(g_InputState.device_x[device], g_InputState.device_y[device], x, y);
  return true;
}

}  // namespace

const ViewMapping& Window_ViewMappings() { return g_mapping; }

ViewGeometry Window_CurrentViewGeometry() {
  ViewGeometry g;
  Display_GetLetterboxOffset(&g.letterboxX, &g.letterboxY);
  g.screenWidth = Display_ScreenTextureWidth();
  g.screenHeight = Display_ScreenTextureHeight();
  g.clientWidth = Window_GetWidth();
  g.clientHeight = Window_GetHeight();
  Graphics_GetPortScale(&g.portScaleX, &g.portScaleY);
  if (const CGameRoom* room = g_Run.room) {
    g.hasRoom = true;
    g.roomWidth = room->width;
    g.roomHeight = room->height;
  }
  return g;
}

void Window_SetViewMapping(int n, float portX, float portY, float portWidth, float portHeight, float viewX,
                           float viewY, float viewWidth, float viewHeight, float angle, int32_t surface) {
  if (!InRange(n)) return;
  ViewMappingRecord& r = g_mapping.records[n];
  if (!r.active) ++g_mapping.activeCount;
  r = ViewMappingRecord{1, viewX, viewY, viewWidth, viewHeight, portX, portY, portWidth, portHeight, angle, surface};
}

void Window_ClearViewMapping(int n) {
  if (!InRange(n)) return;
  ViewMappingRecord& r = g_mapping.records[n];
  if (!r.active) return;
  r.active = 0;
  --g_mapping.activeCount;
}

void Window_ClearViewMappings() { g_mapping = ViewMapping{}; }

void ViewMapping_WindowToView(const ViewMapping& mapping, const ViewGeometry& geometry, int n, int wx, int wy,
                              int* rx, int* ry) {
  if (!InRange(n)) return;
  const ViewMappingRecord& r = mapping.records[n];
  if (!r.active || r.portWidth == 0.0f || r.portHeight == 0.0f) return;
  float sx = PictureScale(geometry.screenWidth, geometry.clientWidth, geometry.letterboxX);
  float sy = PictureScale(geometry.screenHeight, geometry.clientHeight, geometry.letterboxY);
  float scaleX = geometry.portScaleX != 0.0f ? geometry.portScaleX : 1.0f;
  float scaleY = geometry.portScaleY != 0.0f ? geometry.portScaleY : 1.0f;
  float px = float(Real_ToInt32(float(wx) * sx / scaleX) - Real_ToInt32(r.portX));
  float py = float(Real_ToInt32(float(wy) * sy / scaleY) - Real_ToInt32(r.portY));
  float fx = px * r.viewWidth / r.portWidth;
  float fy = py * r.viewHeight / r.portHeight;
  if (std::fabs(r.angle) < 0.01f) {
    *rx = Nearest(r.viewX + fx);
    *ry = Nearest(r.viewY + fy);
    return;
  }
  float hw = r.viewWidth / 2, hh = r.viewHeight / 2;
  float dx = fx - hw, dy = fy - hh;
  float t = -r.angle * kPi / 180.0f;
  float c = std::cos(t), s = std::sin(t);
  *rx = Nearest(r.viewX + hw + c * dx + s * dy);
  *ry = Nearest(r.viewY + hh - s * dx + c * dy);
}

void ViewMapping_WindowToRoom(const ViewMapping& mapping, const ViewGeometry& geometry, int wx, int wy, int* rx,
                              int* ry) {
  wx -= geometry.letterboxX;
  wy -= geometry.letterboxY;
  if (mapping.activeCount <= 0) {
    float sx = 1.0f, sy = 1.0f;
    if (geometry.hasRoom) {
      sx = PictureScale(geometry.roomWidth, geometry.clientWidth, geometry.letterboxX);
      sy = PictureScale(geometry.roomHeight, geometry.clientHeight, geometry.letterboxY);
    }
    *rx = Real_ToInt32(float(wx) * sx);
    *ry = Real_ToInt32(float(wy) * sy);
    return;
  }
  for (int n = kViewMappings - 1; n >= 0; --n) {
    const ViewMappingRecord& r = mapping.records[n];
    if (!r.active) continue;
    ViewMapping_WindowToView(mapping, geometry, n, wx, wy, rx, ry);
    if (r.viewX <= float(*rx) && float(*rx) < r.viewX + r.viewWidth && r.viewY <= float(*ry) &&
        float(*ry) < r.viewY + r.viewHeight)
      return;
  }
}

void ViewMapping_RoomToWindow(const ViewMapping& mapping, int n, float x, float y, int* outX, int* outY) {
  *outX = Nearest(x);
  *outY = Nearest(y);
  if (!InRange(n)) return;
  const ViewMappingRecord& r = mapping.records[n];
  if (!r.active || r.viewWidth == 0.0f || r.viewHeight == 0.0f) return;
  float fx = (x - r.viewX) * r.portWidth / r.viewWidth;
  float fy = (y - r.viewY) * r.portHeight / r.viewHeight;
  if (std::fabs(r.angle) < 0.01f) {
    *outX = Nearest(r.portX + fx);
    *outY = Nearest(r.portY + fy);
    return;
  }
  float hw = r.portWidth / 2, hh = r.portHeight / 2;
  float dx = fx - hw, dy = fy - hh;
  float t = r.angle * kPi / 180.0f;
  float c = std::cos(t), s = std::sin(t);
  *outX = Nearest(r.portX + hw + c * dx + s * dy);
  *outY = Nearest(r.portY + hh - s * dx + c * dy);
}

void Window_WindowToView(int n, int wx, int wy, int* rx, int* ry) {
  ViewMapping_WindowToView(g_mapping, Window_CurrentViewGeometry(), n, wx, wy, rx, ry);
}

void Window_WindowToRoom(int wx, int wy, int* rx, int* ry) {
  ViewMapping_WindowToRoom(g_mapping, Window_CurrentViewGeometry(), wx, wy, rx, ry);
}

void Window_RoomToWindow(int n, float x, float y, int* outX, int* outY) {
  ViewMapping_RoomToWindow(g_mapping, n, x, y, outX, outY);
}

int Window_ViewMouseGetX(int n) {
  int x, y;
  MouseThroughView(n, &x, &y);
  return x;
}

int Window_ViewMouseGetY(int n) {
  int x, y;
  MouseThroughView(n, &x, &y);
  return y;
}

int Window_ViewsMouseGetX(int device) {
  int x, y;
  DeviceMouse(device, &x, &y);
  return x;
}

int Window_ViewsMouseGetY(int device) {
  int x, y;
  DeviceMouse(device, &x, &y);
  return y;
}

void Window_WindowToPort(int x, int y, int* portX, int* portY) {
  int bx = 0, by = 0;
  Display_GetLetterboxOffset(&bx, &by);
  const float w = float(Display_ScreenTextureWidth()), h = float(Display_ScreenTextureHeight());
  const float cw = float(Window_GetWidth() - 2 * bx), ch = float(Window_GetHeight() - 2 * by);
  // A window with no picture left (minimised) maps one to one.
  const float sx = cw > 0 ? w / cw : 1.0f, sy = ch > 0 ? h / ch : 1.0f;
  *portX = Real_ToInt32(std::trunc(double(sx * float(x - bx))));
  *portY = Real_ToInt32(std::trunc(double(float(y - by) * sy)));
}
