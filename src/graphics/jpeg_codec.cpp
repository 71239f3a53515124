// JPEG decoding through the libjpeg 6b API (libjpeg-turbo). The library's
// standard error handler ends the process; ours jumps back to JPEG_Load, and
// the warnings that mean damaged or missing data count as errors too, so a
// corrupt or cut file is refused rather than padded with grey.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "graphics/image_codecs.h"
#include "script/memory_manager.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

bool IsDamage(int code) {
  switch (code) {
    case JWRN_JPEG_EOF:           // data cut short
    case JWRN_HIT_MARKER:         // entropy data cut by a marker
    case JWRN_HUFF_BAD_CODE:      // corrupt entropy data
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_TOO_MUCH_DATA:
      return true;
    default:
      return false;
  }
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  if (IsDamage(cinfo->err->msg_code)) ErrorExit(cinfo);
  cinfo->err->num_warnings++;
}

void OutputNothing(j_common_ptr) {}

// The source is the whole data; running past its end is a warning, which
// EmitMessage turns into an error.
void InitSource(j_decompress_ptr) {}
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}
void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (size_t(count) > src->bytes_in_buffer) {
    count -= long(src->bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= size_t(count);
}
void TermSource(j_decompress_ptr) {}

uint8_t Scale(unsigned a, unsigned b) { return uint8_t((a * b + 127) / 255); }

}  // namespace

uint32_t* JPEG_Load(const uint8_t* data, size_t size, int* width, int* height) {
  if (!data || size == 0) return nullptr;
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  ErrorManager err;
  jpeg_source_mgr source;
  uint32_t* volatile result = nullptr;
  uint8_t* volatile line = nullptr;

  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputNothing;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    MemoryManager::Release(result);
    MemoryManager::Release(line);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  source.next_input_byte = data;
  source.bytes_in_buffer = size;
  source.init_source = InitSource;
  source.fill_input_buffer = FillInputBuffer;
  source.skip_input_data = SkipInputData;
  source.resync_to_restart = jpeg_resync_to_restart;
  source.term_source = TermSource;
  cinfo.src = &source;

  // Tables-only headers are read past.
  int header;
  do header = jpeg_read_header(&cinfo, FALSE);
  while (header == JPEG_HEADER_TABLES_ONLY);
  if (header != JPEG_HEADER_OK) ErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
  const unsigned maxSide = unsigned(Image_MaxSide());
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > maxSide ||
      cinfo.image_height > maxSide)
    ErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
  // Grey becomes RGB; CMYK and YCCK arrive as CMYK.
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;

  jpeg_start_decompress(&cinfo);
  const unsigned w = cinfo.output_width, h = cinfo.output_height;
  const int components = cinfo.output_components;
  if (w == 0 || h == 0 || w > maxSide || h > maxSide || components != (cmyk ? 4 : 3))
    ErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
  // Adobe files store CMYK inverted (255 is no ink).
  const bool inverted = cinfo.saw_Adobe_marker;
  line = static_cast<uint8_t*>(TW_ALLOC(w * unsigned(components), false));
  result = static_cast<uint32_t*>(TW_ALLOC(w * h * 4, false));
  while (cinfo.output_scanline < h) {
    JSAMPROW row = line;
    const unsigned y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    uint32_t* out = result + size_t(y) * w;
    const uint8_t* p = line;
    if (components == 3) {
      for (unsigned x = 0; x < w; ++x, p += 3) out[x] = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    } else {
      for (unsigned x = 0; x < w; ++x, p += 4) {
        unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
        if (!inverted) c = 255 - c, m = 255 - m, ye = 255 - ye, k = 255 - k;
        out[x] = 0xFF000000u | uint32_t(Scale(c, k)) << 16 | uint32_t(Scale(m, k)) << 8 | Scale(ye, k);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  MemoryManager::Release(line);
  if (width) *width = int(w);
  if (height) *height = int(h);
  return result;
}
