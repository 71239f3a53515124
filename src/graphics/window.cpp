#include "graphics/window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/console.h"
#include "core/game_info.h"
#include "core/options.h"
#include "files/files.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "input/input.h"
#include "platform/events.h"
#include "platform/gfx/gl/gl_window.h"
#include "platform/keys.h"

void Main_ProcessMessages();

namespace {

constexpr uint32_t kFlagShowCursor = 0x20;
constexpr uint32_t kFlagSizeable = 0x40;
constexpr int kStockCursors = 15;

struct WindowState {
  std::unique_ptr<gfx::GLWindow> gl;
  int clientWidth = 0, clientHeight = 0;
  bool fullscreen = false;
  bool focus = true;
  std::string caption;
  uint32_t colour = 0xFF000000u;
  int cursorKind = 0;
  int cursorInUse = 0;  // stock cursor index
  bool keepPosition = false;
  bool showPending = true;
  SDL_Cursor* cursors[kStockCursors] = {};
};

WindowState g_window;

// Stock cursor of the table for each system cursor slot; -1 is none.
constexpr int kStockSystem[kStockCursors] = {
    SDL_SYSTEM_CURSOR_ARROW,  -1,
    SDL_SYSTEM_CURSOR_CROSSHAIR, SDL_SYSTEM_CURSOR_IBEAM,
    SDL_SYSTEM_CURSOR_SIZENESW, SDL_SYSTEM_CURSOR_SIZENS,
    SDL_SYSTEM_CURSOR_SIZENWSE, SDL_SYSTEM_CURSOR_SIZEWE,
    SDL_SYSTEM_CURSOR_ARROW,  // up arrow: SDL has none
    SDL_SYSTEM_CURSOR_WAIT,   SDL_SYSTEM_CURSOR_HAND,
    SDL_SYSTEM_CURSOR_NO,     SDL_SYSTEM_CURSOR_WAITARROW,
    SDL_SYSTEM_CURSOR_ARROW,  // help: SDL has none
    SDL_SYSTEM_CURSOR_SIZEALL,
};

// The stock cursor a cursor kind selects; -1 for kinds outside the table.
int StockCursorFor(int kind) {
  static const int kTable[23] = {0, 1, 0, 2, 3, 1, 4, 5, 6, 7, 8, 9, 10, 11, 11, 11, 11, 11, 11, 12, 13, 10, 14};
  if (kind > 0 || kind < -22) return -1;
  return kTable[-kind];
}

void ApplyCursor() {
  int stock = g_window.cursorInUse;
  if (!g_window.gl || !SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (stock < 0 || stock >= kStockCursors || kStockSystem[stock] < 0 || !g_window.cursors[stock]) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_SetCursor(g_window.cursors[stock]);
  SDL_ShowCursor(SDL_ENABLE);
}

uint32_t WindowFlags() { return GameInfo_Get().flags; }

void OuterSize(int clientWidth, int clientHeight, int* outerWidth, int* outerHeight) {
  int top = 0, left = 0, bottom = 0, right = 0;
  if (g_window.gl) SDL_GetWindowBordersSize(g_window.gl->Window(), &top, &left, &bottom, &right);
  *outerWidth = clientWidth + left + right;
  *outerHeight = clientHeight + top + bottom;
}

void KeyDown(const SDL_KeyboardEvent& key) {
  int vk = Keys_ToVirtualKey(key.keysym.sym);
  if (vk == 0) return;
  uint8_t repeat = key.repeat ? 1 : 0;
  Input_OnKeyDown(vk, 0, repeat);
  // The generic modifiers are sent twice so left and right can be told apart.
  if (int side = Keys_SideVirtualKey(key.keysym.sym)) Input_OnKeyDown(side, 0, repeat);
  // Text input brings no control characters.
  if (int c = Keys_ControlCharacter(vk)) Input_OnChar(c);
  if (vk == 13 && (key.keysym.mod & KMOD_ALT) && !repeat && Options_Get().alt_enter)
    Window_SetFullscreen(!g_window.fullscreen);
}

void KeyUp(const SDL_KeyboardEvent& key) {
  int vk = Keys_ToVirtualKey(key.keysym.sym);
  if (vk == 0) return;
  Input_OnKeyUp(vk, 0);
  if (int side = Keys_SideVirtualKey(key.keysym.sym)) Input_OnKeyUp(side, 0);
}

void TextInput(const char* text) {
  // UTF-8 to UTF-16 code units, as the character messages deliver them.
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    uint32_t c = *p;
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (extra) c &= 0x3F >> extra;
    ++p;
    for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i, ++p) c = (c << 6) | (*p & 0x3F);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      Input_OnChar(static_cast<int32_t>(0xD800 + (c >> 10)));
      Input_OnChar(static_cast<int32_t>(0xDC00 + (c & 0x3FF)));
    } else if (c < 0x10000) {
      Input_OnChar(static_cast<int32_t>(c));
    }
  }
}

int MouseButton(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
  }
  return 0;
}

}  // namespace

void Window_Create(int width, int height) {
  int screenW = Display_GetWidth(), screenH = Display_GetHeight();
  int clientW = screenW > 0 && width > screenW ? screenW : width;
  int clientH = screenH > 0 && height > screenH ? screenH : height;
  if (clientW <= 0) clientW = 1;
  if (clientH <= 0) clientH = 1;
  Display_SetScreenSize(int(GameInfo_Get().width), int(GameInfo_Get().height));
  // Test hook: the window comes up at "WxH", as if the player had resized it
  // (offscreen drivers cannot resize a window once it exists).
  if (const char* size = std::getenv("TARNWICKE_WINDOW_SIZE")) {
    int rw = 0, rh = 0;
    if (std::sscanf(size, "%dx%d", &rw, &rh) == 2 && rw > 0 && rh > 0) {
      clientW = rw;
      clientH = rh;
    }
  }
  Log("AdjustWindowRectEx\n");
  Log("RegisterClassEx\n");
  Log("CreateWindowEx\n");
  std::string error;
  g_window.gl = gfx::GLWindow::Create("", clientW, clientH, false, &error);
  if (!g_window.gl && !std::getenv("SDL_VIDEODRIVER")) {
    // No display: run on the offscreen driver rather than not at all.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    g_window.gl = gfx::GLWindow::Create("", clientW, clientH, false, &error);
  }
  if (!g_window.gl) {
    g_DebugConsole->Output("Window: %s\n", error.c_str());
    Display_NoteStartFailure(error);
    return;
  }
  SDL_Window* w = g_window.gl->Window();
  SDL_SetWindowResizable(w, (WindowFlags() & kFlagSizeable) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  g_window.clientWidth = clientW;
  g_window.clientHeight = clientH;
  g_window.showPending = true;
  g_window.focus = true;
  Window_SetCaption(GameInfo_Get().display_name.c_str());
  for (int i = 0; i < kStockCursors; ++i)
    g_window.cursors[i] =
        kStockSystem[i] < 0 ? nullptr : SDL_CreateSystemCursor(static_cast<SDL_SystemCursor>(kStockSystem[i]));
  if (WindowFlags() & kFlagShowCursor) {
    g_window.cursorKind = 0;
    g_window.cursorInUse = 0;
  } else {
    g_window.cursorKind = -1;
    g_window.cursorInUse = 1;
  }
  ApplyCursor();
  Events_SetHandler(Window_HandleEvent);
}

void Window_Destroy() {
  Events_SetHandler(nullptr);
  for (SDL_Cursor*& c : g_window.cursors) {
    if (c) SDL_FreeCursor(c);
    c = nullptr;
  }
  g_window.gl.reset();
}

bool Window_Exists() { return g_window.gl != nullptr; }
SDL_Window* Window_Handle() { return g_window.gl ? g_window.gl->Window() : nullptr; }
void* Window_GLContext() { return g_window.gl ? g_window.gl->Context() : nullptr; }

void Window_HandleEvent(const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_WINDOWEVENT:
      switch (ev.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: g_window.focus = true; break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          g_window.focus = false;
          Platform_RaisePauseEvent();
          break;
        case SDL_WINDOWEVENT_CLOSE: Events_PostQuit(); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: Window_RefreshClientSize(); break;
      }
      break;
    case SDL_KEYDOWN: KeyDown(ev.key); break;
    case SDL_KEYUP: KeyUp(ev.key); break;
    case SDL_TEXTINPUT: TextInput(ev.text.text); break;
    case SDL_MOUSEMOTION:
      // Unsigned 16-bit words, as the window messages carry them.
      g_InputPending.mouse_x = ev.motion.x & 0xFFFF;
      g_InputPending.mouse_y = ev.motion.y & 0xFFFF;
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (int b = MouseButton(ev.button.button)) Input_OnMouseDown(b, ev.button.x, ev.button.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (int b = MouseButton(ev.button.button)) Input_OnMouseUp(b, ev.button.x, ev.button.y);
      break;
    case SDL_MOUSEWHEEL: {
      int delta = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
      if (delta > 0)
        Input_OnWheelUp();
      else if (delta < 0)
        Input_OnWheelDown();
      break;
    }
  }
}

void Window_SetCaption(const char* text) {
  g_window.caption = text ? text : "";
  if (g_window.gl) SDL_SetWindowTitle(g_window.gl->Window(), g_window.caption.c_str());
}

const std::string& Window_GetCaption() { return g_window.caption; }

void Window_SetPosition(int x, int y) {
  if (!g_window.gl) return;
  int top = 0, left = 0;
  SDL_GetWindowBordersSize(g_window.gl->Window(), &top, &left, nullptr, nullptr);
  // Positions name the outer edge; SDL places the client area.
  SDL_SetWindowPosition(g_window.gl->Window(), x + left, y + top);
}

int Window_GetX() {
  if (!g_window.gl) return 0;
  int x = 0, left = 0;
  SDL_GetWindowPosition(g_window.gl->Window(), &x, nullptr);
  SDL_GetWindowBordersSize(g_window.gl->Window(), nullptr, &left, nullptr, nullptr);
  return x - left;
}

int Window_GetY() {
  if (!g_window.gl) return 0;
  int y = 0, top = 0;
  SDL_GetWindowPosition(g_window.gl->Window(), nullptr, &y);
  SDL_GetWindowBordersSize(g_window.gl->Window(), &top, nullptr, nullptr, nullptr);
  return y - top;
}

int Window_GetWidth() { return g_window.clientWidth; }
int Window_GetHeight() { return g_window.clientHeight; }

void Window_Center() {
  if (!g_window.gl) return;
  int outerW = 0, outerH = 0;
  OuterSize(g_window.clientWidth, g_window.clientHeight, &outerW, &outerH);
  Window_SetPosition((Display_DesktopWidth() - outerW) / 2, (Display_DesktopHeight() - outerH) / 2);
}

void Window_SetSize(int width, int height) {
  Display_RequestScreenSize(width, height);
  int currentW = g_window.fullscreen ? Display_ScreenTextureWidth() : g_window.clientWidth;
  int currentH = g_window.fullscreen ? Display_ScreenTextureHeight() : g_window.clientHeight;
  if (width != currentW || height != currentH) {
    Graphics_RequestReset();
    g_window.keepPosition = true;
  }
}

void Window_SetRectangle(int x, int y, int width, int height) {
  Window_SetPosition(x, y);
  Window_SetSize(width, height);
  g_window.keepPosition = true;
}

void Window_SetFullscreen(bool flag) {
  g_window.fullscreen = flag;
  Graphics_RequestReset();
}

void Window_SetFullscreenFlag(bool flag) { g_window.fullscreen = flag; }

bool Window_GetFullscreen() { return g_window.fullscreen; }

void Window_SetColor(uint32_t colour) { g_window.colour = colour | 0xFF000000u; }
uint32_t Window_GetColor() { return g_window.colour & 0x00FFFFFFu; }

void Window_SetCursor(int kind) {
  g_window.cursorKind = kind;
  int stock = StockCursorFor(kind);
  if (stock < 0) return;
  g_window.cursorInUse = stock;
  ApplyCursor();
}

int Window_GetCursor() { return g_window.cursorKind; }

bool Window_CursorVisible() {
  int stock = g_window.cursorInUse;
  return stock >= 0 && stock < kStockCursors && kStockSystem[stock] >= 0;
}

void Window_SetMouse(int x, int y) {
  if (!g_window.focus || !g_window.gl) return;
  SDL_WarpMouseInWindow(g_window.gl->Window(), x, y);
}

int Window_GetMouseX() { return g_InputState.mouse_x; }
int Window_GetMouseY() { return g_InputState.mouse_y; }
int Window_GetScreenWidth() { return Display_ScreenTextureWidth(); }
int Window_GetScreenHeight() { return Display_ScreenTextureHeight(); }

bool Window_ShowPending() {
  if (!g_window.showPending) return false;
  if (g_window.gl) {
    SDL_ShowWindow(g_window.gl->Window());
    // Let the window manager map it before the first frame goes out.
    for (int i = 0; i < 10; ++i) Main_ProcessMessages();
    Window_RefreshClientSize();
  }
  g_window.showPending = false;
  return true;
}

bool Window_IsVisible() {
  if (!g_window.gl || g_window.showPending) return false;
  return (SDL_GetWindowFlags(g_window.gl->Window()) & SDL_WINDOW_SHOWN) != 0;
}

bool Window_IsActive() { return g_window.focus; }
void Window_SetFocusForTests(bool focus) { g_window.focus = focus; }
void Window_SetClientSizeForTests(int width, int height) {
  g_window.clientWidth = width;
  g_window.clientHeight = height;
}

void Display_EnsureWindowed() {
  Window_ShowPending();
  if (!g_window.fullscreen) return;
  g_window.fullscreen = false;
  Graphics_ResetToWindowed();
}

bool Window_TakeKeepPosition() {
  bool keep = g_window.keepPosition;
  g_window.keepPosition = false;
  return keep;
}

void Window_RefreshClientSize() {
  if (!g_window.gl) return;
  int w = 0, h = 0;
  g_window.gl->DrawableSize(&w, &h);
  g_window.clientWidth = w;
  g_window.clientHeight = h;
}

void Window_ApplyReset(bool fullscreen, int clientWidth, int clientHeight, bool keepPosition) {
  if (!g_window.gl) return;
  SDL_Window* w = g_window.gl->Window();
  if (fullscreen) {
    SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
    Window_RefreshClientSize();
    return;
  }
  SDL_SetWindowFullscreen(w, 0);
  SDL_SetWindowResizable(w, (WindowFlags() & kFlagSizeable) ? SDL_TRUE : SDL_FALSE);
  if (clientWidth > 0 && clientHeight > 0) SDL_SetWindowSize(w, clientWidth, clientHeight);
  if (!keepPosition) SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  g_window.clientWidth = clientWidth;
  g_window.clientHeight = clientHeight;
}

void Window_ResetForTests() {
  Window_Destroy();
  g_window = WindowState{};
}

