// The render area and the view being drawn: the viewport, the port scale,
// the room rectangle sprites are culled against, the GUI layer's size.
#pragma once

void Graphics_SetScreenSize(int width, int height);
void Graphics_GetPortSize(int* width, int* height);
// Caps a render size to the display.
void Graphics_CapToScreen(int* width, int* height);
// Flushes, stores the viewport and sets it on the device.
void Graphics_SetViewport(int x, int y, int width, int height);
// The view being drawn (0 outside drawing).
int Graphics_ViewCurrent();
void Graphics_SetViewCurrent(int view);
// Screen texture size over the extent of the visible view ports (1 and 1
// without views).
void Graphics_GetPortScale(float* x, float* y);
void Graphics_SetPortScale(float x, float y);
// The room rectangle of the view being drawn, which sprites are culled
// against (left, top, right, bottom); unbounded until a room is drawn.
void Graphics_GetViewRect(float* left, float* top, float* right, float* bottom);
void Graphics_SetViewRect(float left, float top, float right, float bottom);
// The size the GUI layer is drawn at; -1 for the screen texture's size.
void Graphics_SetGUISize(int width, int height);
void Graphics_GetGUISize(int* width, int* height);
void RoomDraw_ResetForTests();
