// The text family of the drawing group: draw_text and its forms, and the
// string measures.
#include <string>

#include "draw/draw_builtins.h"
#include "draw/text.h"
#include "script/builtin_args.h"

namespace {

// What argument i shows: a string as it is, anything else formatted.
std::string Shown(int argc, const ScriptValue* args, int i) {
  if (i >= argc) return "";
  return args[i].IsString() ? std::string(args[i].Text()) : Text_FormatValue(args[i]);
}

TW_BUILTIN(F_DrawText) {
  Text_Draw(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(), -1, -1);
}

TW_BUILTIN(F_DrawTextExt) {
  Text_Draw(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(),
            RoundedArg(argc, args, 3), RoundedArg(argc, args, 4));
}

TW_BUILTIN(F_DrawTextTransformed) {
  Text_DrawTransformed(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(), -1, -1,
                       FloatArg(argc, args, 3), FloatArg(argc, args, 4), FloatArg(argc, args, 5));
}

TW_BUILTIN(F_DrawTextExtTransformed) {
  Text_DrawTransformed(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(),
                       RoundedArg(argc, args, 3), RoundedArg(argc, args, 4), FloatArg(argc, args, 5),
                       FloatArg(argc, args, 6), FloatArg(argc, args, 7));
}

TW_BUILTIN(F_DrawTextColour) {
  Text_DrawColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(), -1, -1,
                  ColourArg(argc, args, 3), ColourArg(argc, args, 4), ColourArg(argc, args, 5),
                  ColourArg(argc, args, 6), FloatArg(argc, args, 7));
}

TW_BUILTIN(F_DrawTextExtColour) {
  Text_DrawColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(),
                  RoundedArg(argc, args, 3), RoundedArg(argc, args, 4), ColourArg(argc, args, 5),
                  ColourArg(argc, args, 6), ColourArg(argc, args, 7), ColourArg(argc, args, 8),
                  FloatArg(argc, args, 9));
}

TW_BUILTIN(F_DrawTextTransformedColour) {
  Text_DrawTransformedColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(), -1, -1,
                             FloatArg(argc, args, 3), FloatArg(argc, args, 4), FloatArg(argc, args, 5),
                             ColourArg(argc, args, 6), ColourArg(argc, args, 7), ColourArg(argc, args, 8),
                             ColourArg(argc, args, 9), FloatArg(argc, args, 10));
}

TW_BUILTIN(F_DrawTextExtTransformedColour) {
  Text_DrawTransformedColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), Shown(argc, args, 2).c_str(),
                             RoundedArg(argc, args, 3), RoundedArg(argc, args, 4), FloatArg(argc, args, 5),
                             FloatArg(argc, args, 6), FloatArg(argc, args, 7), ColourArg(argc, args, 8),
                             ColourArg(argc, args, 9), ColourArg(argc, args, 10), ColourArg(argc, args, 11),
                             FloatArg(argc, args, 12));
}

// A real measures as the text draw_text shows for it.
TW_BUILTIN(F_StringWidth) { Return(result, Text_Width(Shown(argc, args, 0).c_str(), -1, -1)); }
TW_BUILTIN(F_StringHeight) { Return(result, Text_Height(Shown(argc, args, 0).c_str(), -1, -1)); }
TW_BUILTIN(F_StringWidthExt) {
  Return(result, Text_Width(Shown(argc, args, 0).c_str(), RoundedArg(argc, args, 1), RoundedArg(argc, args, 2)));
}
TW_BUILTIN(F_StringHeightExt) {
  Return(result, Text_Height(Shown(argc, args, 0).c_str(), RoundedArg(argc, args, 1), RoundedArg(argc, args, 2)));
}

}  // namespace

std::span<const NamedBuiltin> Draw_TextBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"string_width", F_StringWidth},
      {"string_height", F_StringHeight},
      {"string_width_ext", F_StringWidthExt},
      {"string_height_ext", F_StringHeightExt},
      {"draw_text", F_DrawText},
      {"draw_text_ext", F_DrawTextExt},
      {"draw_text_transformed", F_DrawTextTransformed},
      {"draw_text_ext_transformed", F_DrawTextExtTransformed},
      {"draw_text_color", F_DrawTextColour},
      {"draw_text_colour", F_DrawTextColour},
      {"draw_text_transformed_color", F_DrawTextTransformedColour},
      {"draw_text_transformed_colour", F_DrawTextTransformedColour},
      {"draw_text_ext_color", F_DrawTextExtColour},
      {"draw_text_ext_colour", F_DrawTextExtColour},
      {"draw_text_ext_transformed_color", F_DrawTextExtTransformedColour},
      {"draw_text_ext_transformed_colour", F_DrawTextExtTransformedColour},
  };
  return kEntries;
}
