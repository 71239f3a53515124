#include "graphics/frame_capture.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/console.h"
#include "graphics/render_states.h"

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

bool WritePng(const std::string& path, const std::vector<uint32_t>& argb, int width, int height) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint32_t c = argb[static_cast<size_t>(y) * width + x];
        row[x * 4 + 0] = static_cast<uint8_t>(c >> 16);
        row[x * 4 + 1] = static_cast<uint8_t>(c >> 8);
        row[x * 4 + 2] = static_cast<uint8_t>(c);
        row[x * 4 + 3] = static_cast<uint8_t>(c >> 24);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 && ok;
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
  if (!WritePng(path, pixels, w, h)) g_DebugConsole->Output("Frame capture: cannot write %s\n", path.c_str());
}
