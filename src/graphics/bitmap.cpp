#include "graphics/bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

namespace {

uint32_t Rd32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t RdI32(const uint8_t* p) { return static_cast<int32_t>(Rd32(p)); }
uint16_t Rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void Wr32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
void Wr16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitFields = 3;

// Writes the 52-byte header of an engine-built block: file size, pixel
// offset 52, a 40-byte information header.
void WriteEngineHeader(uint8_t* block, uint32_t blockSize, int width, int height, int bits) {
  std::memset(block, 0, kBitmapHeaderBytes);
  Wr32(block + 0, blockSize + 2);
  Wr32(block + 8, kBitmapHeaderBytes);
  Wr32(block + 12, 40);
  Wr32(block + 16, uint32_t(width));
  Wr32(block + 20, uint32_t(height));
  Wr16(block + 24, 1);
  Wr16(block + 26, uint16_t(bits));
  Wr32(block + 28, kCompressionRgb);
  Wr32(block + 32, blockSize - kBitmapHeaderBytes);
}

bool SaneSize(int width, int height) {
  return width > 0 && height > 0 && width <= Image_MaxSide() && height <= Image_MaxSide();
}

uint32_t ScriptColourToWord(uint32_t colour) {
  return 0xFF000000u | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

}  // namespace

int Bitmap_FormatOfBits(int bits) {
  switch (bits) {
    case 1: return kBitmap1;
    case 4: return kBitmap4;
    case 8: return kBitmap8;
    case 15: return kBitmap15;
    case 16: return kBitmap16;
    case 24: return kBitmap24;
    default: return kBitmap32;
  }
}

int Bitmap_BitsOfFormat(int format) {
  switch (format) {
    case kBitmap1: return 1;
    case kBitmap4: return 4;
    case kBitmap8: return 8;
    case kBitmap15: return 16;
    case kBitmap16: return 16;
    case kBitmap24: return 24;
    default: return 32;
  }
}

int Bitmap_RowStride(int width, int format) {
  if (width < 0) return -1;
  int64_t stride = (int64_t(width) * Bitmap_BitsOfFormat(format) + 31) / 32 * 4;
  return stride > INT32_MAX ? -1 : int(stride);
}

// ---------------------------------------------------------------- TBitmap

TBitmap::~TBitmap() { MemoryManager::Release(block_); }

void TBitmap::LoadFromStream(const uint8_t* data, size_t size, size_t position) {
  Clear();
  if (!data || position >= size) return;
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return;
  // Past here every refusal leaves an empty bitmap, never a half-read one.
  width_ = height_ = stride_ = 0;
  format_ = kBitmap32;
  const size_t blockSize = size - 2;
  if (blockSize < size_t(kBitmapHeaderBytes) || blockSize > 0x7FFFFFFFu) return;
  const uint8_t* b = data + 2;

  const uint32_t headerSize = Rd32(b + 12);
  // 40 bytes, or a later header (52 and up) that keeps the colour masks at
  // the same place; sizes in between are no header there is.
  if (headerSize < 40 || (headerSize > 40 && headerSize < 52) || size_t(headerSize) > blockSize - 12) return;
  const int32_t width = RdI32(b + 16);
  const int32_t rawHeight = RdI32(b + 20);
  const int bits = Rd16(b + 26);
  const uint32_t compression = Rd32(b + 28);
  const uint32_t coloursUsed = Rd32(b + 44);
  if (rawHeight == INT32_MIN) return;
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  if (!SaneSize(width, height)) return;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return;

  // Where the headers end: a 40-byte header with bit fields is followed by
  // the three colour masks.
  size_t headersEnd = 12 + size_t(headerSize);
  if (compression == kCompressionBitFields) {
    if (bits != 16 && bits != 32) return;
    if (headerSize == 40) headersEnd += 12;
    if (headersEnd > blockSize) return;
    if (bits == 32) {
      // Only the usual masks keep the words 0xAARRGGBB.
      if (Rd32(b + 52) != 0x00FF0000u || Rd32(b + 56) != 0x0000FF00u || Rd32(b + 60) != 0x000000FFu) return;
      if (headerSize >= 56) {
        uint32_t alphaMask = Rd32(b + 64);
        if (alphaMask != 0 && alphaMask != 0xFF000000u) return;
      }
    }
  } else if (compression != kCompressionRgb) {
    return;  // run-length, JPEG and PNG payloads are not read
  }

  const uint32_t offset = Rd32(b + 8);
  if (offset < 2 || size_t(offset) - 2 < headersEnd) return;
  const size_t pixelStart = size_t(offset) - 2;
  const int format = Bitmap_FormatOfBits(bits);
  const int stride = Bitmap_RowStride(width, format);
  if (stride <= 0) return;
  const uint64_t pixelBytes = uint64_t(stride) * uint64_t(height);
  if (pixelStart > blockSize || pixelBytes > blockSize - pixelStart) return;

  auto* block = static_cast<uint8_t*>(TW_ALLOC(uint32_t(blockSize), false));
  std::memcpy(block, b, blockSize);
  uint8_t* pixels = block + pixelStart;
  if (!topDown) {
    // Rows are stored bottom-up: row 0 becomes the top.
    std::vector<uint8_t> tmp(static_cast<size_t>(stride));
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
      uint8_t* a = pixels + size_t(top) * size_t(stride);
      uint8_t* z = pixels + size_t(bottom) * size_t(stride);
      std::memcpy(tmp.data(), a, size_t(stride));
      std::memcpy(a, z, size_t(stride));
      std::memcpy(z, tmp.data(), size_t(stride));
    }
  }

  if (bits == 8) {
    // Straight to 32 bits through the palette {blue, green, red, reserved}
    // after the headers; indices past the palette's entries are black.
    uint32_t palette[256];
    size_t entries = coloursUsed == 0 || coloursUsed > 256 ? 256 : coloursUsed;
    entries = std::min(entries, (pixelStart - headersEnd) / 4);
    for (size_t i = 0; i < 256; ++i) {
      if (i < entries) {
        const uint8_t* e = block + headersEnd + i * 4;
        palette[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
      } else {
        palette[i] = 0xFF000000u;
      }
    }
    const uint32_t newSize = uint32_t(width) * uint32_t(height) * 4 + kBitmapHeaderBytes;
    auto* wide = static_cast<uint8_t*>(TW_ALLOC(newSize, false));
    WriteEngineHeader(wide, newSize, width, height, 32);
    uint8_t* out = wide + kBitmapHeaderBytes;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = pixels + size_t(y) * size_t(stride);
      for (int x = 0; x < width; ++x, out += 4) Wr32(out, palette[row[x]]);
    }
    MemoryManager::Release(block);
    block_ = wide;
    blockSize_ = newSize;
    pixels_ = wide + kBitmapHeaderBytes;
    format_ = kBitmap32;
    stride_ = width * 4;
  } else {
    block_ = block;
    blockSize_ = uint32_t(blockSize);
    pixels_ = pixels;
    format_ = format;
    stride_ = stride;
  }
  width_ = width;
  height_ = height;
  Changed();
}

void TBitmap::SetWidth(int width) {
  width_ = width;
  stride_ = std::max(0, Bitmap_RowStride(width_, format_));
  Changed();
}

void TBitmap::SetHeight(int height) {
  height_ = height;
  stride_ = std::max(0, Bitmap_RowStride(width_, format_));
  Changed();
}

void TBitmap::SetPixelFormat(int format) {
  format_ = format;
  stride_ = std::max(0, Bitmap_RowStride(width_, format_));
  Changed();
}

bool TBitmap::HasRows() const {
  if (!block_ || width_ <= 0 || height_ <= 0 || stride_ <= 0) return false;
  if (stride_ < Bitmap_RowStride(width_, format_)) return false;
  size_t available = blockSize_ - size_t(pixels_ - block_);
  return uint64_t(stride_) * uint64_t(height_) <= available;
}

uint8_t* TBitmap::Lock(int row, uint8_t** rowAddress, int* stride) {
  if (rowAddress) *rowAddress = nullptr;
  if (stride) *stride = stride_;
  if (!block_) {
    if (!SaneSize(width_, height_) || stride_ <= 0) return nullptr;
    uint64_t size = uint64_t(stride_) * uint64_t(height_) + kBitmapHeaderBytes;
    if (size > 0x7FFFFFFFu) return nullptr;
    block_ = static_cast<uint8_t*>(TW_ALLOC(uint32_t(size), true));
    blockSize_ = uint32_t(size);
    WriteEngineHeader(block_, blockSize_, width_, height_, Bitmap_BitsOfFormat(format_));
    pixels_ = block_ + kBitmapHeaderBytes;
    Changed();
  }
  if (rowAddress && row >= 0 && row < height_ && HasRows()) *rowAddress = pixels_ + size_t(row) * size_t(stride_);
  return pixels_;
}

void TBitmap::Assign(const IBitmap& other) {
  if (&other == this) return;
  Clear();
  width_ = other.GetWidth();
  height_ = other.GetHeight();
  format_ = other.GetPixelFormat();
  stride_ = std::max(0, Bitmap_RowStride(width_, format_));
  if (const auto* t = dynamic_cast<const TBitmap*>(&other); t && t->block_) {
    block_ = static_cast<uint8_t*>(TW_ALLOC(t->blockSize_, false));
    std::memcpy(block_, t->block_, t->blockSize_);
    blockSize_ = t->blockSize_;
    // The pixels keep their place in the copied block.
    pixels_ = block_ + (t->pixels_ - t->block_);
    stride_ = t->stride_;
  }
  Changed();
}

void TBitmap::Clear() {
  MemoryManager::Release(block_);
  block_ = pixels_ = nullptr;
  blockSize_ = 0;
  Changed();
}

void TBitmap::Attach(uint8_t* block, uint32_t blockSize) {
  Clear();
  width_ = height_ = stride_ = 0;
  format_ = kBitmap32;
  if (!block) return;
  bool ok = blockSize >= uint32_t(kBitmapHeaderBytes) && MemoryManager::BlockSize(block) >= blockSize;
  uint32_t offset = 0;
  int32_t width = 0, height = 0;
  if (ok) {
    offset = Rd32(block + 8);
    width = RdI32(block + 16);
    height = RdI32(block + 20);
    ok = SaneSize(width, height) && offset >= uint32_t(kBitmapHeaderBytes) && offset <= blockSize &&
         uint64_t(width) * uint64_t(height) * 4 <= blockSize - offset;
  }
  if (!ok) {
    MemoryManager::Release(block);
    return;
  }
  block_ = block;
  blockSize_ = blockSize;
  pixels_ = block + offset;
  width_ = width;
  height_ = height;
  format_ = kBitmap32;
  stride_ = 4 * width;
  Changed();
}

// ---------------------------------------------------------------- BitmapLoader

BitmapLoader::~BitmapLoader() { MemoryManager::Release(block_); }

std::unique_ptr<BitmapLoader> BitmapLoader_Create(const uint32_t* pixels, int width, int height) {
  if (!pixels || !SaneSize(width, height)) return nullptr;
  std::unique_ptr<BitmapLoader> loader(new BitmapLoader());
  uint32_t size = uint32_t(width) * uint32_t(height) * 4 + kBitmapHeaderBytes;
  loader->block_ = static_cast<uint8_t*>(TW_ALLOC(size, false));
  WriteEngineHeader(loader->block_, size, width, height, 32);
  std::memcpy(loader->block_ + kBitmapHeaderBytes, pixels, size - kBitmapHeaderBytes);
  loader->blockSize_ = size;
  loader->frames_ = 1;
  return loader;
}

std::unique_ptr<TBitmap> BitmapLoader::GetFrame(int n) const {
  if (n < 0 || n >= frames_ || !block_) return nullptr;
  auto* copy = static_cast<uint8_t*>(TW_ALLOC(blockSize_, false));
  std::memcpy(copy, block_, blockSize_);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->Attach(copy, blockSize_);
  return bitmap;
}

// ---------------------------------------------------------------- CBitmap32

bool CBitmap32::Make(int width, int height) {
  *this = CBitmap32();
  if (width < 0 || height < 0 || width > Image_MaxSide() || height > Image_MaxSide()) return false;
  valid_ = true;
  width_ = width;
  height_ = height;
  byteSize_ = width * height * 4;
  pixels_.assign(size_t(width) * size_t(height), 0);
  return true;
}

void CBitmap32::Finish(bool removeBackground, bool smooth) {
  if (!removeBackground) return;
  RemoveBackground();
  if (smooth) Smooth();
}

CBitmap32 CBitmap32::Part(const CBitmap32& other, int x, int y, int width, int height) {
  CBitmap32 r;
  if (!other.valid_ || x < 0 || y < 0 || width < 0 || height < 0) return r;
  if (int64_t(x) + width > other.width_ || int64_t(y) + height > other.height_) return r;
  if (!r.Make(width, height) || width == 0) return r;
  for (int i = 0; i < height; ++i)
    std::copy_n(&other.pixels_[size_t(y + i) * size_t(other.width_) + size_t(x)], width,
                &r.pixels_[size_t(i) * size_t(width)]);
  return r;
}

CBitmap32 CBitmap32::Fill(int width, int height, uint32_t scriptColour) {
  CBitmap32 r;
  if (!r.Make(std::max(width, 1), std::max(height, 1))) return r;
  std::fill(r.pixels_.begin(), r.pixels_.end(), ScriptColourToWord(scriptColour));
  return r;
}

CBitmap32 CBitmap32::FromTBitmap(const TBitmap& bitmap, bool removeBackground, bool smooth) {
  CBitmap32 r;
  if (bitmap.GetPixelFormat() != kBitmap32 || !bitmap.HasRows()) return r;
  if (!r.Make(bitmap.GetWidth(), bitmap.GetHeight())) return r;
  for (int y = 0; y < r.height_; ++y) {
    const uint8_t* row = bitmap.PixelStart() + size_t(y) * size_t(bitmap.Stride());
    uint32_t* out = &r.pixels_[size_t(y) * size_t(r.width_)];
    for (int x = 0; x < r.width_; ++x) out[x] = Rd32(row + x * 4);
  }
  r.Finish(removeBackground, smooth);
  return r;
}

CBitmap32 CBitmap32::Convert(const TBitmap& bitmap, bool removeBackground, bool smooth) {
  CBitmap32 r;
  int format = bitmap.GetPixelFormat();
  if ((format != kBitmap24 && format != kBitmap32) || !bitmap.HasRows()) return r;
  if (!r.Make(bitmap.GetWidth(), bitmap.GetHeight())) return r;
  const int step = format == kBitmap24 ? 3 : 4;
  for (int y = 0; y < r.height_; ++y) {
    const uint8_t* p = bitmap.PixelStart() + size_t(y) * size_t(bitmap.Stride());
    uint32_t* out = &r.pixels_[size_t(y) * size_t(r.width_)];
    for (int x = 0; x < r.width_; ++x, p += step) out[x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  r.Finish(removeBackground, smooth);
  return r;
}

CBitmap32 CBitmap32::Strip(const TBitmap& bitmap, bool removeBackground, bool smooth, bool keepAlpha) {
  return keepAlpha ? FromTBitmap(bitmap, removeBackground, smooth) : Convert(bitmap, removeBackground, smooth);
}

CBitmap32 CBitmap32::FromPixels(int width, int height, std::vector<uint32_t> pixels) {
  CBitmap32 r;
  if (width < 0 || height < 0 || pixels.size() != size_t(width) * size_t(height)) return r;
  if (!r.Make(width, height)) return r;
  r.pixels_ = std::move(pixels);
  return r;
}

namespace {

struct Rgb {
  double r, g, b;
};
Rgb ChannelsOf(uint32_t scriptColour) {
  return {double(scriptColour & 0xFF), double(scriptColour >> 8 & 0xFF), double(scriptColour >> 16 & 0xFF)};
}
uint32_t Channel(double c1, double c2, double t) {
  // Nearest whole number, halves to even (the default rounding mode).
  double v = std::nearbyint(c1 * (1.0 - t) + c2 * t);
  return uint32_t(std::clamp(v, 0.0, 255.0));
}
uint32_t Mix(const Rgb& a, const Rgb& b, double t) {
  return 0xFF000000u | Channel(a.r, b.r, t) << 16 | Channel(a.g, b.g, t) << 8 | Channel(a.b, b.b, t);
}
// n / d, with 0 for an empty range (a one-pixel side).
double Ratio(int n, int d) { return d > 0 ? double(n) / double(d) : 0.0; }

}  // namespace

CBitmap32 CBitmap32::Gradient(int width, int height, uint32_t colour1, uint32_t colour2, int kind) {
  CBitmap32 r;
  const int w = std::max(width, 1), h = std::max(height, 1);
  if (!r.Make(w, h)) return r;
  const Rgb c1 = ChannelsOf(colour1), c2 = ChannelsOf(colour2);
  const int s = std::min(w, h) / 2;
  auto at = [&](int j, int i) -> uint32_t& { return r.pixels_[size_t(i) * size_t(w) + size_t(j)]; };
  switch (kind) {
    case kGradientHorizontal:
      for (int j = 0; j < w; ++j) {
        uint32_t c = Mix(c1, c2, Ratio(j, w));
        for (int i = 0; i < h; ++i) at(j, i) = c;
      }
      break;
    case kGradientVertical:
      for (int i = 0; i < h; ++i) {
        uint32_t c = Mix(c1, c2, Ratio(i, h));
        for (int j = 0; j < w; ++j) at(j, i) = c;
      }
      break;
    case kGradientRectangle:
      for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j) at(j, i) = Mix(c1, c2, Ratio(std::min({j, w - 1 - j, i, h - 1 - i}), s));
      break;
    case kGradientEllipse: {
      // Ring k paints the pixels of rows and columns k to size-1-k inside
      // its ellipse; later rings paint over earlier ones, so a pixel shows
      // the largest ring that reaches it (colour 1 when none does). The
      // half-axes shrink by one per ring, so the rings holding a pixel are
      // 0 to some K: a binary search finds K without painting every ring.
      const int cx = w / 2, cy = h / 2;
      for (int i = 0; i < h; ++i) {
        for (int j = 0; j < w; ++j) {
          const double dx = j - cx, dy = i - cy;
          auto inside = [&](int k) {
            const double a = (w - 2 * k) / 2, b = (h - 2 * k) / 2;
            return dx * dx / (a * a) + dy * dy / (b * b) <= 1.0;
          };
          const int reach = std::min({j, w - 1 - j, i, h - 1 - i, s - 1});
          if (reach < 0 || !inside(0)) {
            at(j, i) = Mix(c1, c2, 0.0);
            continue;
          }
          int lo = 0, hi = reach;  // inside(lo) holds
          while (lo < hi) {
            const int mid = lo + (hi - lo + 1) / 2;
            if (inside(mid)) lo = mid;
            else hi = mid - 1;
          }
          at(j, i) = Mix(c1, c2, Ratio(lo, s));
        }
      }
      break;
    }
    case kGradientDoubleHorizontal:
      for (int j = 0; j < w; ++j) {
        uint32_t c = Mix(c1, c2, Ratio(std::min(j, w - 1 - j), w / 2));
        for (int i = 0; i < h; ++i) at(j, i) = c;
      }
      break;
    case kGradientDoubleVertical:
      for (int i = 0; i < h; ++i) {
        uint32_t c = Mix(c1, c2, Ratio(std::min(i, h - 1 - i), h / 2));
        for (int j = 0; j < w; ++j) at(j, i) = c;
      }
      break;
    default:
      std::fill(r.pixels_.begin(), r.pixels_.end(), 0xFF000000u);
      break;
  }
  return r;
}

void CBitmap32::RemoveBackground() {
  if (!valid_ || width_ <= 0 || height_ <= 0) return;
  const int w = width_, h = height_;
  auto px = [&](int x, int y) -> uint32_t& { return pixels_[size_t(y) * size_t(w) + size_t(x)]; };
  const uint32_t key = px(0, h - 1) & 0xFFFFFFu;
  for (uint32_t& p : pixels_)
    if ((p & 0xFFFFFFu) == key) p &= 0xFFFFFFu;
  // Transparent pixels take an opaque neighbour's colour so that filtering
  // at the edge of the opaque area does not pull the key colour in.
  auto opaque = [](uint32_t p) { return (p >> 24) != 0; };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t& p = px(x, y);
      if (opaque(p)) continue;
      const uint32_t* from = nullptr;
      if (x > 0 && opaque(px(x - 1, y))) from = &px(x - 1, y);
      else if (x + 1 < w && opaque(px(x + 1, y))) from = &px(x + 1, y);
      else if (y > 0 && opaque(px(x, y - 1))) from = &px(x, y - 1);
      else if (y + 1 < h && opaque(px(x, y + 1))) from = &px(x, y + 1);
      if (from) p = *from & 0xFFFFFFu;
    }
  }
}

void CBitmap32::Smooth() {
  if (!valid_) return;
  const int w = width_, h = height_;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if ((pixels_[size_t(y) * size_t(w) + size_t(x)] >> 24) != 0) continue;
      for (int yy = std::max(0, y - 1); yy <= std::min(h - 1, y + 1); ++yy) {
        for (int xx = std::max(0, x - 1); xx <= std::min(w - 1, x + 1); ++xx) {
          uint32_t& q = pixels_[size_t(yy) * size_t(w) + size_t(xx)];
          if ((q >> 24) >= 0x20) q -= 0x20000000u;
        }
      }
    }
  }
}

void CBitmap32::SetAlphaFrom(const CBitmap32& other) {
  if (!valid_ || !other.valid_) return;
  const int w = std::min(width_, other.width_), h = std::min(height_, other.height_);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t o = other.pixels_[size_t(y) * size_t(other.width_) + size_t(x)];
      uint32_t grey = ((o >> 16 & 0xFF) + (o >> 8 & 0xFF) + (o & 0xFF)) / 3;
      uint32_t& p = pixels_[size_t(y) * size_t(width_) + size_t(x)];
      uint32_t alpha = std::min(p >> 24, grey);
      p = (p & 0xFFFFFFu) | alpha << 24;
    }
  }
}

void CBitmap32::Resize(int width, int height) {
  // An empty image has no pixel to stretch.
  if (!valid_ || pixels_.empty() || (width == width_ && height == height_)) return;
  if (width <= 0 || height <= 0 || width > Image_MaxSide() || height > Image_MaxSide()) return;
  std::vector<uint32_t> out(size_t(width) * size_t(height));
  for (int i = 0; i < height; ++i) {
    const size_t sy = size_t(int64_t(i) * height_ / height);
    for (int j = 0; j < width; ++j) {
      const size_t sx = size_t(int64_t(j) * width_ / width);
      out[size_t(i) * size_t(width) + size_t(j)] = pixels_[sy * size_t(width_) + sx];
    }
  }
  pixels_ = std::move(out);
  width_ = width;
  height_ = height;
  byteSize_ = width * height * 4;
}

std::optional<BitmapBounds> CBitmap32::GetBounds() const {
  if (!valid_) return std::nullopt;
  BitmapBounds b{width_ - 1, height_ - 1, 0, 0};
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if ((pixels_[size_t(y) * size_t(width_) + size_t(x)] >> 24) == 0) continue;
      b.left = std::min(b.left, x);
      b.top = std::min(b.top, y);
      b.right = std::max(b.right, x);
      b.bottom = std::max(b.bottom, y);
    }
  }
  return b;
}

std::unique_ptr<TBitmap> CBitmap32::ToTBitmap() const {
  if (!valid_) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  if (width_ <= 0 || height_ <= 0) return bitmap;
  uint32_t size = uint32_t(width_) * uint32_t(height_) * 4 + kBitmapHeaderBytes;
  auto* block = static_cast<uint8_t*>(TW_ALLOC(size, false));
  WriteEngineHeader(block, size, width_, height_, 32);
  uint8_t* out = block + kBitmapHeaderBytes;
  for (uint32_t p : pixels_) {
    *out++ = uint8_t(p >> 16);
    *out++ = uint8_t(p >> 8);
    *out++ = uint8_t(p);
    *out++ = uint8_t(p >> 24);
  }
  bitmap->Attach(block, size);
  return bitmap;
}

const uint32_t* CBitmap32::GetData(int* byteSize) const {
  if (byteSize) *byteSize = valid_ ? byteSize_ : 0;
  return valid_ ? pixels_.data() : nullptr;
}
