// Feeds arbitrary bytes to the DDS decoder.
#include "decoder_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return DecoderFuzz_Init(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return DecoderFuzz_Run(DDS_Load, data, size, [](uint32_t) { return true; });
}
