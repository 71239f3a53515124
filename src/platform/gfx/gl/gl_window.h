// An SDL window with an OpenGL 3.3 core context, current on the creating
// thread: present, read back the framebuffer, destroy.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace gfx {

class GLWindow {
 public:
  // Starts SDL video if needed. Null, with the reason in *error, when no
  // window or no 3.3 core context can be made.
  static std::unique_ptr<GLWindow> Create(const char* title, int width, int height, bool visible,
                                          std::string* error);
  ~GLWindow();
  GLWindow(const GLWindow&) = delete;
  GLWindow& operator=(const GLWindow&) = delete;

  SDL_Window* Window() const { return window_; }
  void* Context() const { return context_; }
  // Size of the default framebuffer in pixels.
  void DrawableSize(int* width, int* height) const;
  void Present();
  // The current read framebuffer as 0xAARRGGBB words, row 0 at the top.
  std::vector<uint32_t> ReadPixels(int* width, int* height) const;

 private:
  GLWindow() = default;
  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  bool startedVideo_ = false;
};

}  // namespace gfx
