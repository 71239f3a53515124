// Drawing the room each step through its views, into the screen texture.
#pragma once

// Draws the current room for this frame.
void Graphics_DrawScreen();
// Sizes the render area to the room just entered (its views' ports, or the
// room itself).
void Graphics_FitWindowToRoom();
void Graphics_SetScreenSize(int width, int height);
void Graphics_GetPortSize(int* width, int* height);
// Flushes, stores the viewport and sets it on the device.
void Graphics_SetViewport(int x, int y, int width, int height);
// The view being drawn (0 outside drawing).
int Graphics_ViewCurrent();
// Screen texture size over the extent of the visible view ports (1 and 1
// without views).
void Graphics_GetPortScale(float* x, float* y);
// The room rectangle of the view being drawn, which sprites are culled
// against (left, top, right, bottom); unbounded until a room is drawn.
void Graphics_GetViewRect(float* left, float* top, float* right, float* bottom);
void Graphics_SetViewRect(float left, float top, float right, float bottom);
// The size the GUI layer is drawn at; -1 for the screen texture's size.
void Graphics_SetGUISize(int width, int height);
void RoomDraw_ResetForTests();
