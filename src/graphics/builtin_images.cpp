// The images built into the program, by number. Image 15 is the built-in
// font's page (256 x 128); the others are not carried yet and stay empty,
// which loads as no texture.
#include <cstdint>
#include <vector>

#include "graphics/textures.h"

namespace {
constexpr uint8_t kFontPage[] = {
#include "graphics/builtin_font_image.inc"
};
constexpr int kImageCount = 17;
constexpr int kFontImage = 15;
}  // namespace

const std::vector<uint8_t>& Texture_BuiltinTable() {
  static const std::vector<uint8_t> table = [] {
    std::vector<std::vector<uint8_t>> images(kImageCount);
    images[kFontImage].assign(std::begin(kFontPage), std::end(kFontPage));
    return Texture_BuildEmbeddedTable(images);
  }();
  return table;
}
