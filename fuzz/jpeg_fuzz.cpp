// Feeds arbitrary bytes to the JPEG decoder: it must fail cleanly (never end
// the process, as libjpeg's own error handler would); its pixels are opaque.
#include "decoder_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return DecoderFuzz_Init(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return DecoderFuzz_Run(JPEG_Load, data, size, [](uint32_t p) { return (p >> 24) == 0xFF; });
}
