#include "graphics/window.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "script/console.h"
#include "core/game_info.h"
#include "core/options.h"
#include "files/files.h"
#include "graphics/display.h"
#include "graphics/frame.h"
#include "input/input.h"
#include "platform/events.h"
#include "platform/keys.h"
#include "platform/window.h"


namespace {
// Drains the window messages; the runner installs it.
bool (*g_pump)() = nullptr;

constexpr uint32_t kFlagShowCursor = 0x20;
constexpr uint32_t kFlagSizeable = 0x40;
constexpr int kStockCursors = static_cast<int>(StockCursor::Count);

struct WindowState {
  std::unique_ptr<PlatformWindow> host;
  int clientWidth = 0, clientHeight = 0;
  bool fullscreen = false;
  bool focus = true;
  std::string caption;
  uint32_t colour = 0xFF000000u;
  int cursorKind = 0;
  int cursorInUse = 0;  // StockCursor number
  bool keepPosition = false;
  bool showPending = true;
};

WindowState g_window;

// The stock cursor a cursor kind selects; -1 for kinds outside the table.
int StockCursorFor(int kind) {
  static const int kTable[23] = {0, 1, 0, 2, 3, 1, 4, 5, 6, 7, 8, 9, 10, 11, 11, 11, 11, 11, 11, 12, 13, 10, 14};
  if (kind > 0 || kind < -22) return -1;
  return kTable[-kind];
}

void ApplyCursor() {
  if (g_window.host) g_window.host->ShowCursor(g_window.cursorInUse);
}

uint32_t WindowFlags() { return GameInfo_Get().flags; }

void OuterSize(int clientWidth, int clientHeight, int* outerWidth, int* outerHeight) {
  int top = 0, left = 0, bottom = 0, right = 0;
  if (g_window.host) g_window.host->GetBorders(&top, &left, &bottom, &right);
  *outerWidth = clientWidth + left + right;
  *outerHeight = clientHeight + top + bottom;
}

void KeyDown(const WindowEvent& key) {
  int vk = key.key;
  if (vk == 0) return;
  uint8_t repeat = key.repeat ? 1 : 0;
  Input_OnKeyDown(vk, 0, repeat);
  // The generic modifiers are sent twice so left and right can be told apart.
  if (key.sideKey) Input_OnKeyDown(key.sideKey, 0, repeat);
  // Text input brings no control characters.
  if (int c = Keys_ControlCharacter(vk)) Input_OnChar(c);
  if (vk == 13 && key.alt && !repeat && Options_Get().alt_enter) Window_SetFullscreen(!g_window.fullscreen);
}

void KeyUp(const WindowEvent& key) {
  if (key.key == 0) return;
  Input_OnKeyUp(key.key, 0);
  if (key.sideKey) Input_OnKeyUp(key.sideKey, 0);
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
  g_window.host = PlatformWindow::Create(clientW, clientH, &error);
  if (!g_window.host) {
    g_DebugConsole->Output("Window: %s\n", error.c_str());
    Display_NoteStartFailure(error);
    return;
  }
  g_window.host->SetResizable((WindowFlags() & kFlagSizeable) != 0);
  g_window.host->Center();
  g_window.clientWidth = clientW;
  g_window.clientHeight = clientH;
  g_window.showPending = true;
  g_window.focus = true;
  Window_SetCaption(GameInfo_Get().display_name.c_str());
  if (WindowFlags() & kFlagShowCursor) {
    g_window.cursorKind = 0;
    g_window.cursorInUse = 0;
  } else {
    g_window.cursorKind = -1;
    g_window.cursorInUse = static_cast<int>(StockCursor::None);
  }
  ApplyCursor();
  Events_SetHandler(Window_HandleEvent);
}

void Window_Destroy() {
  Events_SetHandler(nullptr);
  g_window.host.reset();
}

bool Window_Exists() { return g_window.host != nullptr; }
PlatformWindow* Window_Handle() { return g_window.host.get(); }
void* Window_GLContext() { return g_window.host ? g_window.host->GLContext() : nullptr; }

void Window_HandleEvent(const WindowEvent& ev) {
  switch (ev.kind) {
    case WindowEventKind::FocusGained: g_window.focus = true; break;
    case WindowEventKind::FocusLost:
      g_window.focus = false;
      Platform_RaisePauseEvent();
      break;
    case WindowEventKind::Close: Events_PostQuit(); break;
    case WindowEventKind::SizeChanged: Window_RefreshClientSize(); break;
    case WindowEventKind::KeyDown: KeyDown(ev); break;
    case WindowEventKind::KeyUp: KeyUp(ev); break;
    case WindowEventKind::Text: TextInput(ev.text); break;
    case WindowEventKind::MouseMove:
      // Signed: a pointer dragged past the left or top edge is at a negative
      // place, not 65,000 pixels to the right.
      Input_OnMouseMove(ev.x, ev.y);
      break;
    case WindowEventKind::ButtonDown:
      if (ev.button) Input_OnMouseDown(ev.button, ev.x, ev.y);
      break;
    case WindowEventKind::ButtonUp:
      if (ev.button) Input_OnMouseUp(ev.button, ev.x, ev.y);
      break;
    case WindowEventKind::Wheel:
      if (ev.wheel > 0)
        Input_OnWheelUp();
      else if (ev.wheel < 0)
        Input_OnWheelDown();
      break;
  }
}

void Window_SetCaption(const char* text) {
  g_window.caption = text ? text : "";
  if (g_window.host) g_window.host->SetTitle(g_window.caption);
}

const std::string& Window_GetCaption() { return g_window.caption; }

void Window_SetPosition(int x, int y) {
  if (!g_window.host) return;
  int top = 0, left = 0;
  g_window.host->GetBorders(&top, &left, nullptr, nullptr);
  // Positions name the outer edge; the host places the client area.
  g_window.host->SetPosition(x + left, y + top);
}

int Window_GetX() {
  if (!g_window.host) return 0;
  int x = 0, left = 0;
  g_window.host->GetPosition(&x, nullptr);
  g_window.host->GetBorders(nullptr, &left, nullptr, nullptr);
  return x - left;
}

int Window_GetY() {
  if (!g_window.host) return 0;
  int y = 0, top = 0;
  g_window.host->GetPosition(nullptr, &y);
  g_window.host->GetBorders(&top, nullptr, nullptr, nullptr);
  return y - top;
}

int Window_GetWidth() { return g_window.clientWidth; }
int Window_GetHeight() { return g_window.clientHeight; }

void Window_Center() {
  if (!g_window.host) return;
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
  return stock >= 0 && stock < kStockCursors && stock != static_cast<int>(StockCursor::None);
}

void Window_SetMouse(int x, int y) {
  if (!g_window.focus || !g_window.host) return;
  g_window.host->WarpMouse(x, y);
}

int Window_GetMouseX() { return g_InputState.mouse_x; }
int Window_GetMouseY() { return g_InputState.mouse_y; }
int Window_GetScreenWidth() { return Display_ScreenTextureWidth(); }
int Window_GetScreenHeight() { return Display_ScreenTextureHeight(); }

void Window_SetMessagePump(bool (*pump)()) { g_pump = pump; }

bool Window_ShowPending() {
  if (!g_window.showPending) return false;
  if (g_window.host) {
    g_window.host->Show();
    // Let the window manager map it before the first frame goes out.
    if (g_pump)
      for (int i = 0; i < 10; ++i) g_pump();
    Window_RefreshClientSize();
  }
  g_window.showPending = false;
  return true;
}

bool Window_IsVisible() {
  if (!g_window.host || g_window.showPending) return false;
  return g_window.host->IsShown();
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
  if (!g_window.host) return;
  int w = 0, h = 0;
  g_window.host->DrawableSize(&w, &h);
  g_window.clientWidth = w;
  g_window.clientHeight = h;
}

void Window_ApplyReset(bool fullscreen, int clientWidth, int clientHeight, bool keepPosition) {
  if (!g_window.host) return;
  PlatformWindow& w = *g_window.host;
  if (fullscreen) {
    w.SetFullscreen(true);
    Window_RefreshClientSize();
    return;
  }
  w.SetFullscreen(false);
  w.SetResizable((WindowFlags() & kFlagSizeable) != 0);
  if (clientWidth > 0 && clientHeight > 0) w.SetSize(clientWidth, clientHeight);
  if (!keepPosition) w.Center();
  g_window.clientWidth = clientWidth;
  g_window.clientHeight = clientHeight;
}

void Window_ResetForTests() {
  Window_Destroy();
  g_window = WindowState{};
}

