#include "platform/window.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdlib>

#include "platform/gfx/gl/gl_device.h"
#include "platform/gfx/gl/gl_window.h"

namespace {

constexpr int kStockCursors = static_cast<int>(StockCursor::Count);

// The system cursor for each stock cursor; -1 is none.
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

}  // namespace

struct PlatformWindow::State {
  std::unique_ptr<gfx::GLWindow> gl;
  SDL_Cursor* cursors[kStockCursors] = {};

  ~State() {
    for (SDL_Cursor*& c : cursors) {
      if (c) SDL_FreeCursor(c);
      c = nullptr;
    }
  }
  SDL_Window* Window() const { return gl->Window(); }
};

std::unique_ptr<PlatformWindow> PlatformWindow::Create(int width, int height, std::string* error) {
  auto state = std::make_unique<State>();
  state->gl = gfx::GLWindow::Create("", width, height, false, error);
  if (!state->gl && !std::getenv("SDL_VIDEODRIVER")) {
    // No display: run on the offscreen driver rather than not at all.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    state->gl = gfx::GLWindow::Create("", width, height, false, error);
  }
  if (!state->gl) return nullptr;
  for (int i = 0; i < kStockCursors; ++i)
    state->cursors[i] =
        kStockSystem[i] < 0 ? nullptr : SDL_CreateSystemCursor(static_cast<SDL_SystemCursor>(kStockSystem[i]));
  return std::unique_ptr<PlatformWindow>(new PlatformWindow(std::move(state)));
}

PlatformWindow::PlatformWindow(std::unique_ptr<State> state) : state_(std::move(state)) {}

PlatformWindow::~PlatformWindow() = default;

void PlatformWindow::SetTitle(const std::string& title) { SDL_SetWindowTitle(state_->Window(), title.c_str()); }

void PlatformWindow::SetResizable(bool resizable) {
  SDL_SetWindowResizable(state_->Window(), resizable ? SDL_TRUE : SDL_FALSE);
}

void PlatformWindow::SetPosition(int x, int y) { SDL_SetWindowPosition(state_->Window(), x, y); }

void PlatformWindow::GetPosition(int* x, int* y) const { SDL_GetWindowPosition(state_->Window(), x, y); }

void PlatformWindow::Center() {
  SDL_SetWindowPosition(state_->Window(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void PlatformWindow::GetBorders(int* top, int* left, int* bottom, int* right) const {
  int t = 0, l = 0, b = 0, r = 0;
  SDL_GetWindowBordersSize(state_->Window(), &t, &l, &b, &r);
  if (top) *top = t;
  if (left) *left = l;
  if (bottom) *bottom = b;
  if (right) *right = r;
}

void PlatformWindow::SetSize(int width, int height) { SDL_SetWindowSize(state_->Window(), width, height); }

void PlatformWindow::SetFullscreen(bool fullscreen) {
  SDL_SetWindowFullscreen(state_->Window(), fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool PlatformWindow::SetFullscreenMode(int width, int height, int refresh) {
  SDL_DisplayMode m;
  if (SDL_GetWindowDisplayMode(state_->Window(), &m) != 0) return false;
  if (width > 0) m.w = width;
  if (height > 0) m.h = height;
  if (refresh > 0) m.refresh_rate = refresh;
  return SDL_SetWindowDisplayMode(state_->Window(), &m) == 0;
}

void PlatformWindow::DrawableSize(int* width, int* height) const { state_->gl->DrawableSize(width, height); }

void PlatformWindow::Show() { SDL_ShowWindow(state_->Window()); }

bool PlatformWindow::IsShown() const { return (SDL_GetWindowFlags(state_->Window()) & SDL_WINDOW_SHOWN) != 0; }

void PlatformWindow::WarpMouse(int x, int y) { SDL_WarpMouseInWindow(state_->Window(), x, y); }

void PlatformWindow::ShowCursor(int stock) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (stock < 0 || stock >= kStockCursors || !state_->cursors[stock]) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_SetCursor(state_->cursors[stock]);
  SDL_ShowCursor(SDL_ENABLE);
}

void* PlatformWindow::GLContext() const { return state_->gl->Context(); }

std::string PlatformWindow::RendererName() const {
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return renderer ? renderer : "";
}

std::unique_ptr<gfx::GLDevice> PlatformWindow::CreateDevice() const {
  return std::make_unique<gfx::GLDevice>(state_->Window());
}
