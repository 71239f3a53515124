// Feeds arbitrary text to json_decode. Text it cannot read makes no
// container; what it reads writes out a text that reads again and writes out
// the very same text (after one more round when the first text held null,
// which a number JSON cannot hold becomes and which is then read as a left-out
// member or a 0). Every container and every block is given back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ds/json.h"
#include "ds/store.h"
#include "script/memory_manager.h"

namespace {

int LiveContainers() { return DS_LiveCount(eDS_Map) + DS_LiveCount(eDS_List); }

// Decodes, encodes and destroys; aborts when a text that JSON_Encode wrote
// does not read.
std::string RoundTrip(const std::string& text, bool mustRead) {
  const int id = JSON_Decode(text.c_str());
  if (id < 0) {
    if (mustRead || LiveContainers() != 0) std::abort();
    return "";
  }
  std::string encoded = JSON_Encode(id);
  DS_Destroy(eDS_Map, id);
  if (encoded.empty() || LiveContainers() != 0) std::abort();
  return encoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A script's text ends at its first NUL.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const uint32_t blocks = MemoryManager::LiveBlocks();
  const std::string first = RoundTrip(input.c_str(), false);
  if (!first.empty()) {
    const std::string second = RoundTrip(first, true);
    if (first.find("null") == std::string::npos && second != first) std::abort();
    if (RoundTrip(second, true) != second) std::abort();
  }
  DS_ResetAll();
  if (MemoryManager::LiveBlocks() != blocks) std::abort();
  return 0;
}
