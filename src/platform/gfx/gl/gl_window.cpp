#include "platform/gfx/gl/gl_window.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <utility>

#include "platform/leaks_ignored.h"

namespace gfx {

std::unique_ptr<GLWindow> GLWindow::Create(const char* title, int width, int height, bool visible,
                                           std::string* error) {
  std::unique_ptr<GLWindow> w(new GLWindow());
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      if (error) *error = std::string("SDL video: ") + SDL_GetError();
      return nullptr;
    }
    w->startedVideo_ = true;
  }
  // Attributes only take effect for windows and contexts made after them.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  Uint32 flags = SDL_WINDOW_OPENGL | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  w->window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, flags);
  if (!w->window_) {
    if (error) *error = std::string("window: ") + SDL_GetError();
    return nullptr;
  }
  w->context_ = SDL_GL_CreateContext(w->window_);
  if (!w->context_) {
    if (error) *error = std::string("OpenGL 3.3 context: ") + SDL_GetError();
    return nullptr;
  }
  if (SDL_GL_MakeCurrent(w->window_, w->context_) != 0 || epoxy_gl_version() < 33) {
    if (error) *error = "OpenGL 3.3 not available";
    return nullptr;
  }
  // The driver is loaded now; it may unload when the last window goes.
  Leaks_KeepLoadedLibraries();
  return w;
}

GLWindow::~GLWindow() {
  if (context_) SDL_GL_DeleteContext(context_);
  if (window_) SDL_DestroyWindow(window_);
  if (startedVideo_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GLWindow::DrawableSize(int* width, int* height) const { SDL_GL_GetDrawableSize(window_, width, height); }

void GLWindow::Present() { SDL_GL_SwapWindow(window_); }

std::vector<uint32_t> GLWindow::ReadPixels(int* width, int* height) const {
  int w = 0, h = 0;
  DrawableSize(&w, &h);
  if (width) *width = w;
  if (height) *height = h;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
  if (pixels.empty()) return pixels;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  // This packing yields native 0xAARRGGBB words whatever the byte order.
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
  // The window is stored bottom-up.
  for (int y = 0; y < h / 2; ++y)
    std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(y) * w, pixels.begin() + static_cast<ptrdiff_t>(y + 1) * w,
                     pixels.begin() + static_cast<ptrdiff_t>(h - 1 - y) * w);
  return pixels;
}

}  // namespace gfx
