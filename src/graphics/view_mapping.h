// Window positions to room positions through the views drawn this frame,
// and back. Room drawing records one mapping per visible view; the mouse
// variables and built-ins convert through them.
#pragma once
#include <cstdint>

constexpr int kViewMappings = 32;  // rooms use 0 to 7

struct ViewMappingRecord {
  uint8_t active = 0;
  float viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;  // room coordinates
  float portX = 0, portY = 0, portWidth = 0, portHeight = 0;  // port coordinates
  float angle = 0;                                            // degrees
  int32_t surface = -1;
};

struct ViewMapping {
  ViewMappingRecord records[kViewMappings];
  int32_t activeCount = 0;
};

// What the conversions need of the window, the screen and the room.
struct ViewGeometry {
  int letterboxX = 0, letterboxY = 0;    // border around the picture
  int screenWidth = 0, screenHeight = 0;  // the screen texture
  int clientWidth = 0, clientHeight = 0;  // the window's client area
  float portScaleX = 1.0f, portScaleY = 1.0f;
  bool hasRoom = false;
  int roomWidth = 0, roomHeight = 0;
};

const ViewMapping& Window_ViewMappings();
// The live window, screen, port scale and room.
ViewGeometry Window_CurrentViewGeometry();

void Window_SetViewMapping(int n, float portX, float portY, float portWidth, float portHeight, float viewX,
                           float viewY, float viewWidth, float viewHeight, float angle, int32_t surface);
void Window_ClearViewMapping(int n);
void Window_ClearViewMappings();

// The conversions on given records and geometry. wx and wy of WindowToView
// are relative to the picture (border removed); those of WindowToRoom are
// window pixels. Outputs are left alone where nothing converts.
void ViewMapping_WindowToView(const ViewMapping& mapping, const ViewGeometry& geometry, int n, int wx, int wy,
                              int* rx, int* ry);
void ViewMapping_WindowToRoom(const ViewMapping& mapping, const ViewGeometry& geometry, int wx, int wy, int* rx,
                              int* ry);
void ViewMapping_RoomToWindow(const ViewMapping& mapping, int n, float x, float y, int* outX, int* outY);

// The same on the live records and geometry.
void Window_WindowToView(int n, int wx, int wy, int* rx, int* ry);
void Window_WindowToRoom(int wx, int wy, int* rx, int* ry);
void Window_RoomToWindow(int n, float x, float y, int* outX, int* outY);
// The mouse through view n; 0 where that view converts nothing.
int Window_ViewMouseGetX(int n);
int Window_ViewMouseGetY(int n);
// The mouse of input device 0 to 4 through the topmost view under it; 0 for
// any other device.
int Window_ViewsMouseGetX(int device);
// A window client position as a position on the game screen: letterbox
// borders removed and the rest scaled to the screen size.
void Window_WindowToPort(int x, int y, int* portX, int* portY);
int Window_ViewsMouseGetY(int device);
