#include "draw/draw.h"

#include <optional>
#include <string>
#include <vector>

namespace {
// Fonts are not made yet, only named: scripts can name a font and get the
// index it keeps, while no font index draws (Font_Exists) and the built-in
// font needs nothing made.
std::vector<std::optional<std::string>> g_fontNames;
}  // namespace

bool Font_Load(const ChunkBody& body) {
  g_fontNames = body.RecordNames(0, "font");
  return true;
}

int32_t Font_Find(std::string_view name) { return RecordNames_Find(g_fontNames, name); }

bool Font_Exists(int32_t) { return false; }
void Font_Clear() { g_fontNames.clear(); }
void Font_InitTextures() {}
void Font_Shutdown() { Font_Clear(); }
void Text_EnsureDefaultFont() {}
void Text_FreeDefaultFont() {}
void Init3DFunctions() {}
void InitVertexBufferFunctions() {}
void InitVertexFormatFunctions() {}
void Vertex_SetCheckedHandlers(bool) {}
