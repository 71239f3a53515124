// An OpenGL 3.3 device over an offscreen window (the software renderer when
// headless), brought up as the display's device for whole-frame benchmarks.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "graphics/display.h"
#include "platform/gfx/gl/gl_device.h"
#include "platform/gfx/gl/gl_window.h"

namespace bench {

class GLDisplay {
 public:
  // Null, and the benchmark skipped, when no context can be had.
  static std::unique_ptr<GLDisplay> Start(benchmark::State& state, const char* title, int width, int height) {
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::string error;
    auto window = gfx::GLWindow::Create(title, width, height, false, &error);
    if (!window) {
      state.SkipWithError(("no OpenGL 3.3 context: " + error).c_str());
      return nullptr;
    }
    std::unique_ptr<GLDisplay> d(new GLDisplay);
    d->window_ = std::move(window);
    d->device_ = std::make_unique<gfx::GLDevice>(d->window_->Window());
    Display_UseDeviceForTests(d->device_.get());
    Display_SetScreenSize(width, height);
    GR_D3D_Init(width, height, 0);
    return d;
  }
  ~GLDisplay() { Display_UseDeviceForTests(nullptr); }
  gfx::GLDevice* Device() { return device_.get(); }

 private:
  GLDisplay() = default;
  std::unique_ptr<gfx::GLWindow> window_;
  std::unique_ptr<gfx::GLDevice> device_;  // goes before its window
};

}  // namespace bench
