#include "script/builtin_args.h"
#include "script/errors.h"
#include "sprites/resource_group.h"
#include "sprites/sprites.h"

namespace {

const BuiltinGroupName kResourceGroup[] = {
    // Sprites.
    {"sprite_name", 1},
    {"sprite_exists", 1},
    {"sprite_get_name", 1},
    {"sprite_get_number", 1},
    {"sprite_get_width", 1},
    {"sprite_get_height", 1},
    {"sprite_get_transparent", 1},
    {"sprite_get_smooth", 1},
    {"sprite_get_preload", 1},
    {"sprite_get_xoffset", 1},
    {"sprite_get_yoffset", 1},
    {"sprite_get_bbox_mode", 1},
    {"sprite_get_bbox_left", 1},
    {"sprite_get_bbox_right", 1},
    {"sprite_get_bbox_top", 1},
    {"sprite_get_bbox_bottom", 1},
    {"sprite_get_precise", 1},
    {"sprite_collision_mask", 9},
    {"sprite_set_cache_size", 2},
    {"sprite_set_cache_size_ext", 3},
    {"font_set_cache_size", 2},
    {"sprite_get_tpe", 2},
    {"sprite_set_offset", 3},
    {"sprite_set_bbox_mode", 2},
    {"sprite_set_bbox", 5},
    {"sprite_set_precise", 2},
    {"sprite_set_alpha_from_sprite", 2},
    {"sprite_add", 6},
    {"sprite_create_from_screen", 8},
    {"sprite_add_from_screen", 7},
    {"sprite_create_from_surface", 9},
    {"sprite_add_from_surface", 8},
    {"sprite_replace", 7},
    {"sprite_add_sprite", 1},
    {"sprite_replace_sprite", 2},
    {"sprite_save_strip", 2},
    {"sprite_delete", 1},
    {"sprite_duplicate", 1},
    {"sprite_assign", 2},
    {"sprite_merge", 2},
    {"sprite_save", 3},
    // Backgrounds.
    {"background_name", 1},
    {"background_exists", 1},
    {"background_get_name", 1},
    {"background_get_width", 1},
    {"background_get_height", 1},
    {"background_get_transparent", 1},
    {"background_get_smooth", 1},
    {"background_get_preload", 1},
    {"background_set_alpha_from_background", 2},
    {"background_create_color", 3},
    {"background_replace", 4},
    {"background_create_from_screen", 6},
    {"background_create_from_surface", 7},
    {"background_create_gradient", 5},
    {"background_add", 3},
    {"background_add_background", 1},
    {"background_replace_background", 2},
    {"background_delete", 1},
    {"background_duplicate", 1},
    {"background_assign", 2},
    {"background_save", 2},
};

void Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }

// name, frames, remove background (from a half), smooth, x origin, y origin
TW_BUILTIN(sprite_add) {
  Return(result, Sprite_Add(TextArg(argc, args, 0), RoundedArg(argc, args, 1), false, HalfFlagArg(argc, args, 2),
                            FlagArg(argc, args, 3), false, RoundedArg(argc, args, 4), RoundedArg(argc, args, 5)));
}

// index, name, frames, remove background, smooth, x origin, y origin
TW_BUILTIN(sprite_replace) {
  const int index = RoundedArg(argc, args, 0);
  if (!Sprite_Exists(index)) return Report("Trying to replace non-existing sprite.");
  bool kinds = IsRealArg(argc, args, 0) && IsStringArg(argc, args, 1);
  for (int i = 2; i < argc; ++i) kinds = kinds && IsRealArg(argc, args, i);
  if (!kinds) return Report("sprite_replace: illegal argument type");
  Return(result, Sprite_Replace(index, TextArg(argc, args, 1), RoundedArg(argc, args, 2), true, FlagArg(argc, args, 3),
                                FlagArg(argc, args, 4), true, RoundedArg(argc, args, 5), RoundedArg(argc, args, 6))
                     ? 1
                     : 0);
}

// name, transparent, smooth; preload from a fourth argument when a call
// gives one, else set, as every other image loaded from a file is.
TW_BUILTIN(background_add) {
  const bool preload = argc > 3 ? HalfFlagArg(argc, args, 3) : true;
  Return(result, Background_Add(TextArg(argc, args, 0), HalfFlagArg(argc, args, 1), HalfFlagArg(argc, args, 2),
                                preload));
}

// index, name, transparent, smooth
TW_BUILTIN(background_replace) {
  const int index = RoundedArg(argc, args, 0);
  if (!Background_Exists(index)) return Report("Trying to replace non-existing background.");
  Return(result, Background_Replace(index, TextArg(argc, args, 1), HalfFlagArg(argc, args, 2),
                                    HalfFlagArg(argc, args, 3), true)
                     ? 1
                     : 0);
}

const NamedBuiltin kFileBuiltins[] = {
    {"sprite_add", sprite_add},
    {"sprite_replace", sprite_replace},
    {"background_replace", background_replace},
    {"background_add", background_add},
};

// A new family joins here and in resource_group.h.
const BuiltinFamily kFamilies[] = {
    Sprite_FileBuiltins,
};

}  // namespace

std::span<const NamedBuiltin> Sprite_FileBuiltins() { return kFileBuiltins; }

BuiltinGroup Sprite_ResourceGroup() { return {kResourceGroup, kFamilies}; }

void InitResourceFunctions() { BuiltinGroup_Register(Sprite_ResourceGroup()); }
