// Feeds arbitrary bytes to the font loader (the FONT chunk of a container)
// and, as script text, to the text layout in the font it loaded.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/game_data.h"
#include "draw/draw_state.h"
#include "draw/fonts.h"
#include "draw/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    GameDataFile file(std::vector<uint8_t>(data, data + size));
    for (const ChunkRef& c : file.Chunks())
      if (std::memcmp(c.tag, "FONT", 4) == 0) Font_Load(ChunkBody(file, c));
  } catch (const DataError&) {
    // Refusing damaged data is the expected outcome.
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  Draw_State().font = 0;
  for (int width : {-1, 0, 1, 40}) {
    Text_Width(text.c_str(), -1, width);
    Text_Height(text.c_str(), 3, width);
  }
  Font_Init();
  return 0;
}
