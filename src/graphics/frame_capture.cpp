#include "graphics/frame_capture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "script/console.h"
#include "graphics/image_codecs.h"
#include "graphics/frame.h"
#include "graphics/render_states.h"
#include "graphics/window.h"
#include "script/errors.h"

namespace {

int64_t g_frame = 0;

const std::set<int64_t>& Wanted() {
  static const std::set<int64_t> frames = [] {
    std::set<int64_t> out;
    const char* v = std::getenv("TARNWICKE_CAPTURE_FRAME");
    if (!v) return out;
    std::stringstream in(v);
    std::string item;
    while (std::getline(in, item, ','))
      if (long long n = std::atoll(item.c_str()); n > 0) out.insert(n);
    return out;
  }();
  return frames;
}

}  // namespace

void FrameCapture_Reset() { g_frame = 0; }

void FrameCapture_AfterFrame() {
  ++g_frame;
  if (Wanted().empty() || !Wanted().count(g_frame)) return;
  gfx::Device* device = Graphics_Device();
  if (!device) return;
  int w = 0, h = 0;
  device->BackBufferSize(&w, &h);
  if (w <= 0 || h <= 0) return;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
  if (!device->ReadPixels(0, 0, 0, w, h, pixels.data())) return;
  const char* file = std::getenv("TARNWICKE_CAPTURE_FILE");
  std::string path = file ? file : "frame-%d.png";
  if (size_t at = path.find("%d"); at != std::string::npos) path.replace(at, 2, std::to_string(g_frame));
  std::vector<uint8_t> rgba = Image_ArgbToRgba(pixels.data(), pixels.size());
  if (!PNG_WriteToPath(path.c_str(), rgba.data(), w, h)) g_DebugConsole->Output("Frame capture: cannot write %s\n", path.c_str());
}

void Screen_Save(const char* fileName) {
  if (!fileName || !*fileName) {
    Error_ReportRuntime(ErrorSeverity::kError, "Trying to save screen to empty image file name.");
    return;
  }
  int w = Window_GetScreenWidth(), h = Window_GetScreenHeight();
  int rw = w, rh = h;
  std::vector<uint32_t> pixels = Graphics_ReadScreenPixels(w, h, 0, 0, &rw, &rh);
  if (pixels.empty()) return;
  std::vector<uint8_t> rgba = Image_ArgbToRgba(pixels.data(), pixels.size());
  write_png_file(fileName, rgba.data(), rw, rh);
}
