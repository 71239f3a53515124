// The game window: one window with an OpenGL context, created hidden and
// shown with the first frame. Its events become the input layer's key,
// character, mouse and wheel calls; the window built-ins read and change its
// caption, place, size, full-screen wish, colour and cursor.
#pragma once
#include <cstdint>
#include <string>

class PlatformWindow;
struct WindowEvent;

// Creates the window of the client size asked (capped to the screen); on
// failure the window stays absent and nothing else happens.
void Window_Create(int width, int height);
void Window_Destroy();
bool Window_Exists();
PlatformWindow* Window_Handle();
// The OpenGL context that goes with the window (null without one).
void* Window_GLContext();

// One window event: what the window procedure does with it.
void Window_HandleEvent(const WindowEvent& event);

void Window_SetCaption(const char* text);
const std::string& Window_GetCaption();
void Window_SetPosition(int x, int y);
int Window_GetX();
int Window_GetY();
// Client size, in pixels.
int Window_GetWidth();
int Window_GetHeight();
void Window_Center();
void Window_SetSize(int width, int height);
void Window_SetRectangle(int x, int y, int width, int height);
void Window_SetFullscreen(bool flag);
// The wish alone, with no reset asked (device creation).
void Window_SetFullscreenFlag(bool flag);
bool Window_GetFullscreen();
// Stores colour | 0xFF000000; the getter gives the colour without alpha.
void Window_SetColor(uint32_t colour);
uint32_t Window_GetColor();
void Window_SetCursor(int kind);
int Window_GetCursor();
// Whether the stored kind shows a cursor at all.
bool Window_CursorVisible();
void Window_SetMouse(int x, int y);
int Window_GetMouseX();
int Window_GetMouseY();
int Window_GetScreenWidth();
int Window_GetScreenHeight();
// Shows the window the first time it is called; true then.
bool Window_ShowPending();
// What Window_ShowPending runs while the window manager maps the window.
void Window_SetMessagePump(bool (*pump)());
// Whether the window has been shown (with the first frame) and is not
// hidden now.
bool Window_IsVisible();
// Whether the window has the keyboard focus or its application is active.
bool Window_IsActive();
void Window_SetFocusForTests(bool focus);
void Window_SetClientSizeForTests(int width, int height);
// Leaves full screen before a dialog opens.
void Display_EnsureWindowed();

// Read and cleared by the next display reset.
bool Window_TakeKeepPosition();
// Refreshes the client size (at every frame start).
void Window_RefreshClientSize();
// Applies the window part of a display reset: style, full screen, and the
// client size, centred on the screen unless the position is to be kept.
void Window_ApplyReset(bool fullscreen, int clientWidth, int clientHeight, bool keepPosition);
// Forgets every window setting (tests).
void Window_ResetForTests();
