// Bitmaps that do not come from texture pages: BMP files and bitmaps made in
// memory (TBitmap), the one-frame bitmap loader (BitmapLoader) and the
// engine's 32-bit working image with its editing operations (CBitmap32).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Pixel formats, from bits per pixel.
enum BitmapFormat : int {
  kBitmap1 = 1,   // 1 bit
  kBitmap4 = 2,   // 4 bits
  kBitmap8 = 3,   // 8 bits
  kBitmap15 = 4,  // 15 bits (stored in 16)
  kBitmap16 = 5,  // 16 bits
  kBitmap24 = 6,  // blue, green, red bytes
  kBitmap32 = 7,  // the word 0xAARRGGBB unless stated otherwise
};
// The format of a bits-per-pixel value, and the bits a format's rows use.
int Bitmap_FormatOfBits(int bitsPerPixel);
int Bitmap_BitsOfFormat(int format);
// ((width * bits + 31) / 32) * 4, or -1 when that does not fit an int32.
int Bitmap_RowStride(int width, int format);

// Engine-built pixel blocks: the BMP file header without its "BM" (12 bytes)
// and a 40-byte information header, pixels from here on.
constexpr int kBitmapHeaderBytes = 52;

class IBitmap {
 public:
  virtual ~IBitmap() = default;
  // A whole BMP file held in a memory stream, given as the stream's bytes,
  // size and read position: at the end of the data nothing is loaded.
  virtual void LoadFromStream(const uint8_t* data, size_t size, size_t position) = 0;
  virtual void SetWidth(int width) = 0;
  virtual int GetWidth() const = 0;
  virtual void SetHeight(int height) = 0;
  virtual int GetHeight() const = 0;
  virtual void SetPixelFormat(int format) = 0;
  virtual int GetPixelFormat() const = 0;
  // The pixel start; `rowAddress` gets the start of `row` (null outside the
  // rows), `stride` the row stride. A bitmap without a block gets a zeroed
  // one of its size; null when that size is not a sane image.
  virtual uint8_t* Lock(int row, uint8_t** rowAddress, int* stride) = 0;
  virtual void Unlock(uint8_t* pixels) = 0;
  virtual void Assign(const IBitmap& other) = 0;
  virtual void Clear() = 0;
  virtual bool IsShared() const = 0;
  // Takes over an engine block (freed with MemoryManager::Release); a block
  // whose header does not describe pixels inside it is freed and refused.
  virtual void Attach(uint8_t* block, uint32_t blockSize) = 0;
};

class TBitmap final : public IBitmap {
 public:
  TBitmap() = default;
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Loads a BMP file (1, 4, 8, 16, 24 or 32 bits, uncompressed or 16/32-bit
  // bit fields with the usual masks, bottom-up or top-down). Rows end up top
  // first; 8-bit files become 32-bit. Anything else leaves the bitmap empty.
  void LoadFromStream(const uint8_t* data, size_t size, size_t position) override;
  void SetWidth(int width) override;
  int GetWidth() const override { return width_; }
  void SetHeight(int height) override;
  int GetHeight() const override { return height_; }
  void SetPixelFormat(int format) override;
  int GetPixelFormat() const override { return format_; }
  uint8_t* Lock(int row, uint8_t** rowAddress, int* stride) override;
  void Unlock(uint8_t*) override {}
  void Assign(const IBitmap& other) override;
  void Clear() override;
  bool IsShared() const override { return false; }
  void Attach(uint8_t* block, uint32_t blockSize) override;

  int Stride() const { return stride_; }
  int ChangeCount() const { return changes_; }
  const uint8_t* Block() const { return block_; }
  uint32_t BlockSize() const { return blockSize_; }
  // The pixel start of a bitmap that has a block (else null); row r starts
  // at PixelStart() + r * Stride().
  const uint8_t* PixelStart() const { return pixels_; }
  // True when the block holds height rows of the stride, each wide enough
  // for width pixels of the format.
  bool HasRows() const;

 private:
  void Changed() { ++changes_; }

  uint8_t* block_ = nullptr;
  bool shared_ = false;
  uint8_t* pixels_ = nullptr;
  uint32_t blockSize_ = 0;
  int format_ = kBitmap32;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  int changes_ = -1;
};

class IBitmapLoader {
 public:
  virtual ~IBitmapLoader() = default;
  virtual bool GetFlag() const = 0;
  virtual int GetFrameCount() const = 0;
  // A new bitmap of frame n, or null.
  virtual std::unique_ptr<TBitmap> GetFrame(int n) const = 0;
};

class BitmapLoader final : public IBitmapLoader {
 public:
  ~BitmapLoader() override;
  BitmapLoader(const BitmapLoader&) = delete;
  BitmapLoader& operator=(const BitmapLoader&) = delete;
  bool GetFlag() const override { return false; }
  int GetFrameCount() const override { return frames_; }
  std::unique_ptr<TBitmap> GetFrame(int n) const override;

 private:
  friend std::unique_ptr<BitmapLoader> BitmapLoader_Create(const uint32_t*, int, int);
  BitmapLoader() = default;
  uint8_t* block_ = nullptr;
  uint32_t blockSize_ = 0;
  int frames_ = 0;
};
// One frame holding a copy of the width x height 32-bit pixels; null when
// the size is not a sane image or there are no pixels.
std::unique_ptr<BitmapLoader> BitmapLoader_Create(const uint32_t* pixels, int width, int height);

// {left, top, right, bottom} of the pixels whose alpha is not 0.
struct BitmapBounds {
  int32_t left, top, right, bottom;
  bool operator==(const BitmapBounds&) const = default;
};

enum GradientKind : int {
  kGradientHorizontal = 0,
  kGradientVertical = 1,
  kGradientRectangle = 2,
  kGradientEllipse = 3,
  kGradientDoubleHorizontal = 4,
  kGradientDoubleVertical = 5,
};

// The engine's 32-bit working image: width x height words 0xAARRGGBB, rows
// top to bottom. An invalid image has no pixels and every operation on it
// does nothing. Sizes over kImageMaxSide (graphics/image_codecs.h) give an
// invalid image.
class CBitmap32 {
 public:
  CBitmap32() = default;  // invalid
  virtual ~CBitmap32() = default;
  CBitmap32(const CBitmap32& other) = default;
  CBitmap32& operator=(const CBitmap32& other) = default;
  CBitmap32(CBitmap32&&) = default;
  CBitmap32& operator=(CBitmap32&&) = default;

  // The rectangle of `other`; invalid unless it lies wholly inside.
  static CBitmap32 Part(const CBitmap32& other, int x, int y, int width, int height);
  // Sizes of 0 or less become 1; every pixel the script colour 0x00BBGGRR,
  // opaque.
  static CBitmap32 Fill(int width, int height, uint32_t scriptColour);
  // A 32-bit TBitmap's words as they are (alpha kept); other formats give
  // an invalid image.
  static CBitmap32 FromTBitmap(const TBitmap& bitmap, bool removeBackground, bool smooth);
  // A 24- or 32-bit TBitmap's colours with alpha forced opaque.
  static CBitmap32 Convert(const TBitmap& bitmap, bool removeBackground, bool smooth);
  // FromTBitmap when keepAlpha, else Convert.
  static CBitmap32 Strip(const TBitmap& bitmap, bool removeBackground, bool smooth, bool keepAlpha);
  // Script colours 0x00BBGGRR; see GradientKind. Other kinds stay black.
  static CBitmap32 Gradient(int width, int height, uint32_t colour1, uint32_t colour2, int kind);
  // Takes width x height words; invalid when their count does not match.
  static CBitmap32 FromPixels(int width, int height, std::vector<uint32_t> pixels);

  void Assign(const CBitmap32& other) { *this = other; }
  void RemoveBackground();
  void Smooth();
  void SetAlphaFrom(const CBitmap32& other);
  // Nearest neighbour; sizes of 0 or less or over the limit change nothing.
  void Resize(int width, int height);
  // Nothing when invalid.
  std::optional<BitmapBounds> GetBounds() const;
  // A new 32-bit TBitmap whose pixel bytes are R,G,B,A; null when invalid.
  std::unique_ptr<TBitmap> ToTBitmap() const;

  bool IsValid() const { return valid_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  // The pixels (null when invalid) and their byte count.
  const uint32_t* GetData(int* byteSize) const;
  uint32_t* Pixels() { return valid_ ? pixels_.data() : nullptr; }
  uint32_t At(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }

 private:
  bool Make(int width, int height);  // valid, zeroed; false when too large
  void Finish(bool removeBackground, bool smooth);

  bool valid_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t byteSize_ = 0;
  std::vector<uint32_t> pixels_;
};
