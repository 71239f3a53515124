// The font family of the resource group: they convert their arguments and
// ask the font table.
#include <string>

#include "draw/fonts.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "sprites/sprites.h"

namespace {

void Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }

// A flag of this group is true from 0.5 on.

// The font of the first argument, or null.
CFontTW* FontArg(int argc, const ScriptValue* args) { return Font_Get(RoundedArg(argc, args, 0)); }

TW_BUILTIN(F_FontExists) { Return(result, Font_Exists(RoundedArg(argc, args, 0)) ? 1 : 0); }
TW_BUILTIN(F_FontGetName) { ScriptValue_SetText(result, Font_GetName(RoundedArg(argc, args, 0)).c_str()); }
TW_BUILTIN(F_FontGetFontName) {
  const CFontTW* f = FontArg(argc, args);
  ScriptValue_SetText(result, f ? f->GetName().c_str() : "");
}
TW_BUILTIN(F_FontGetSize) {
  const CFontTW* f = FontArg(argc, args);
  Return(result, f ? f->GetSize() : -1);
}
TW_BUILTIN(F_FontGetBold) {
  const CFontTW* f = FontArg(argc, args);
  Return(result, f ? (f->GetBold() ? 1 : 0) : -1);
}
TW_BUILTIN(F_FontGetItalic) {
  const CFontTW* f = FontArg(argc, args);
  Return(result, f ? (f->GetItalic() ? 1 : 0) : -1);
}
TW_BUILTIN(F_FontGetFirst) {
  const CFontTW* f = FontArg(argc, args);
  Return(result, f ? f->GetFirst() : -1);
}
TW_BUILTIN(F_FontGetLast) {
  const CFontTW* f = FontArg(argc, args);
  Return(result, f ? f->GetLast() : -1);
}

TW_BUILTIN(F_FontAdd) {
  Return(result, Font_Add(TextArg(argc, args, 0), RoundedArg(argc, args, 1), HalfFlagArg(argc, args, 2),
                          HalfFlagArg(argc, args, 3), RoundedArg(argc, args, 4), RoundedArg(argc, args, 5)));
}

TW_BUILTIN(F_FontAddSprite) {
  const int32_t sprite = RoundedArg(argc, args, 0);
  if (!Sprite_Exists(sprite)) return Report("Trying to create font from non-existing sprite.");
  Return(result,
         Font_AddSprite(sprite, RoundedArg(argc, args, 1), HalfFlagArg(argc, args, 2), RoundedArg(argc, args, 3)));
}

TW_BUILTIN(F_FontAddSpriteExt) {
  const int32_t sprite = RoundedArg(argc, args, 0);
  if (!Sprite_Exists(sprite)) return Report("Trying to create font from non-existing sprite.");
  Return(result,
         Font_AddSpriteExt(sprite, TextArg(argc, args, 1), HalfFlagArg(argc, args, 2), RoundedArg(argc, args, 3)));
}

TW_BUILTIN(F_FontReplace) {
  const int32_t font = RoundedArg(argc, args, 0);
  if (!Font_Exists(font)) return Report("Trying to replace non-existing font.");
  Return(result, Font_Replace(font, TextArg(argc, args, 1), RoundedArg(argc, args, 2), HalfFlagArg(argc, args, 3),
                              HalfFlagArg(argc, args, 4), RoundedArg(argc, args, 5), RoundedArg(argc, args, 6))
                     ? 1
                     : 0);
}

// The font, then the sprite; true when both exist (the first missing one is
// reported).
bool ReplaceSpriteChecks(int argc, const ScriptValue* args) {
  if (!Font_Exists(RoundedArg(argc, args, 0))) {
    Report("Trying to replace non-existing font.");
    return false;
  }
  if (!Sprite_Exists(RoundedArg(argc, args, 1))) {
    Report("Trying to replace font from non-existing sprite.");
    return false;
  }
  return true;
}

TW_BUILTIN(F_FontReplaceSprite) {
  if (!ReplaceSpriteChecks(argc, args)) return;
  Return(result, Font_ReplaceSprite(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), RoundedArg(argc, args, 2),
                                    HalfFlagArg(argc, args, 3), RoundedArg(argc, args, 4))
                     ? 1
                     : 0);
}

TW_BUILTIN(F_FontReplaceSpriteExt) {
  if (!ReplaceSpriteChecks(argc, args)) return;
  Return(result, Font_ReplaceSpriteExt(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), TextArg(argc, args, 2),
                                       HalfFlagArg(argc, args, 3), RoundedArg(argc, args, 4))
                     ? 1
                     : 0);
}

TW_BUILTIN(F_FontDelete) {
  const int32_t font = RoundedArg(argc, args, 0);
  if (!Font_Exists(font)) return Report("Trying to delete non-existing font.");
  Return(result, Font_Delete(font) ? 1 : 0);
}

}  // namespace

void Font_RegisterResourceFunctions() {
  static const struct {
    const char* name;
    BuiltinHandler handler;
    int args;
  } kFamily[] = {
      {"font_name", F_FontGetName, 1},
      {"font_exists", F_FontExists, 1},
      {"font_get_name", F_FontGetName, 1},
      {"font_get_fontname", F_FontGetFontName, 1},
      {"font_get_size", F_FontGetSize, 1},
      {"font_get_bold", F_FontGetBold, 1},
      {"font_get_italic", F_FontGetItalic, 1},
      {"font_get_first", F_FontGetFirst, 1},
      {"font_get_last", F_FontGetLast, 1},
      {"font_add", F_FontAdd, 6},
      {"font_replace", F_FontReplace, 7},
      {"font_add_sprite", F_FontAddSprite, 4},
      {"font_add_sprite_ext", F_FontAddSpriteExt, 4},
      {"font_replace_sprite", F_FontReplaceSprite, 5},
      {"font_replace_sprite_ext", F_FontReplaceSpriteExt, 5},
      {"font_delete", F_FontDelete, 1},
  };
  for (const auto& b : kFamily) FunctionRegistry_Add(b.name, b.handler, b.args);
}
