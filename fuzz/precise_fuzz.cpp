// Precise collision tests on arbitrary masks, placements and shapes: no
// crash, no undefined conversion, no endless walk, whatever the numbers
// (NaN and infinities included).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/precise.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  template <typename T>
  T Take() {
    T v{};
    if (size >= sizeof v) {
      std::memcpy(&v, data, sizeof v);
      data += sizeof v;
      size -= sizeof v;
    }
    return v;
  }
};

MaskPlacement Placement(Reader& r) {
  MaskPlacement p;
  p.frame = r.Take<int8_t>();
  p.x = r.Take<int16_t>();
  p.y = r.Take<int16_t>();
  p.left = p.x - r.Take<uint8_t>();
  p.top = p.y - r.Take<uint8_t>();
  p.right = p.x + r.Take<uint8_t>();
  p.bottom = p.y + r.Take<uint8_t>();
  p.xscale = r.Take<float>();
  p.yscale = r.Take<float>();
  p.angle = r.Take<float>();
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r{data, size};
  int w = r.Take<uint8_t>() % 33, h = r.Take<uint8_t>() % 33;
  int frames = r.Take<uint8_t>() % 4;
  std::vector<std::vector<uint8_t>> masks(size_t(r.Take<uint8_t>() % 3));
  for (auto& m : masks) {
    m.resize(size_t(w * h));
    for (auto& cell : m) cell = r.Take<uint8_t>() & 1;
  }
  MaskView a{w, h, r.Take<int8_t>(), r.Take<int8_t>(), frames, (r.Take<uint8_t>() & 1) != 0, &masks};
  MaskView b = a;
  b.hasMasks = !a.hasMasks;
  MaskPlacement pa = Placement(r), pb = Placement(r);
  MaskRect rect{r.Take<int16_t>(), r.Take<int16_t>(), 0, 0};
  rect.right = rect.left + r.Take<uint8_t>();
  rect.bottom = rect.top + r.Take<uint8_t>();
  Precise_Sprite(a, pa, b, pb);
  Precise_Point(a, pa, r.Take<int16_t>(), r.Take<int16_t>());
  Precise_Rectangle(a, pa, rect);
  Precise_Ellipse(a, pa, rect);
  Precise_Line(a, pa, rect.left, rect.top, rect.right, rect.bottom);
  Precise_Line(a, pa, rect.right, rect.top, rect.left, rect.bottom);
  return 0;
}
