// Feeds arbitrary bytes to the GIF decoder: its alpha is 0 or 0xFF only.
#include "decoder_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return DecoderFuzz_Init(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return DecoderFuzz_Run(GIF_Load, data, size, [](uint32_t p) { return (p >> 24) == 0 || (p >> 24) == 0xFF; });
}
