// The game window on the host: one window with an OpenGL 3.3 core context,
// made hidden, and the stock cursors it can show. It does what it is told;
// what a setting means for the game is the graphics layer's business.
#pragma once
#include <memory>
#include <string>

namespace gfx {
class GLDevice;
}

// The stock cursors, numbered as the engine's cursor table numbers them.
enum class StockCursor {
  Arrow,
  None,
  Cross,
  IBeam,
  SizeNESW,
  SizeNS,
  SizeNWSE,
  SizeWE,
  UpArrow,
  Wait,
  Hand,
  No,
  AppStarting,
  Help,
  SizeAll,
  Count
};

class PlatformWindow {
 public:
  // A hidden window with a client area of the size asked. Without a display
  // (and no driver named in SDL_VIDEODRIVER) it is made on the offscreen
  // driver. Null, with the reason in *error, when no window or context can be
  // made.
  static std::unique_ptr<PlatformWindow> Create(int width, int height, std::string* error);
  ~PlatformWindow();
  PlatformWindow(const PlatformWindow&) = delete;
  PlatformWindow& operator=(const PlatformWindow&) = delete;

  void SetTitle(const std::string& title);
  void SetResizable(bool resizable);
  // The client area's top left corner on the desktop.
  void SetPosition(int x, int y);
  void GetPosition(int* x, int* y) const;
  // Centres the window on its display.
  void Center();
  // The frame around the client area (0 where the system does not say).
  void GetBorders(int* top, int* left, int* bottom, int* right) const;
  void SetSize(int width, int height);
  // Full screen at the desktop's size, or windowed.
  void SetFullscreen(bool fullscreen);
  // The display mode the window takes in full screen; values of 0 or less
  // keep the current ones. False when the mode is refused.
  bool SetFullscreenMode(int width, int height, int refresh);
  // Size of the drawable area in pixels.
  void DrawableSize(int* width, int* height) const;
  void Show();
  bool IsShown() const;
  // Moves the pointer to a place in the client area.
  void WarpMouse(int x, int y);
  // Shows a stock cursor (a StockCursor number); None or a number outside
  // the table hides the pointer.
  void ShowCursor(int stock);
  void* GLContext() const;
  // The OpenGL renderer's name ("" when it does not say).
  std::string RendererName() const;
  // The device that draws into this window.
  std::unique_ptr<gfx::GLDevice> CreateDevice() const;

 private:
  struct State;
  explicit PlatformWindow(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};
