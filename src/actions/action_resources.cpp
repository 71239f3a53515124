// Replacing sprites, sounds and backgrounds from files: each keeps the
// resource's own settings and takes only the new pixels or samples.
#include "actions/action_group.h"
#include "audio/legacy_sound.h"
#include "files/files.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "sprites/sprites.h"

namespace {

void Report(const char* message) { Error_ReportRuntime(ErrorSeverity::kError, message); }

// Looked for where the replace will read it: the save area, then the
// game's own directory.
bool FileFound(const std::string& name) {
  return LoadSave_SaveFileExists(name) || LoadSave_BundleFileExists(name);
}

// sprite, file, frames
TW_BUILTIN(action_replace_sprite) {
  const int index = RoundedArg(argc, args, 0);
  const CSprite* sprite = Sprite_Get(index);
  if (!sprite) return Report("Trying to replace non-existing resource.");
  const std::string name = TextArg(argc, args, 1);
  if (!FileFound(name)) return Report("File does not exist.");
  Sprite_Replace(index, name, RoundedArg(argc, args, 2), sprite->precise, sprite->transparent, sprite->smooth,
                 sprite->preload, sprite->xOrigin, sprite->yOrigin);
}

// sound, file
TW_BUILTIN(action_replace_sound) {
  const int index = RoundedArg(argc, args, 0);
  const CSound* sound = Sound_Get(index);
  if (!sound) return Report("Trying to replace non-existing resource.");
  const std::string name = TextArg(argc, args, 1);
  if (!FileFound(name)) return Report("File does not exist.");
  Sound_Replace(index, name, sound->kind, sound->preload);
}

// background, file
TW_BUILTIN(action_replace_background) {
  const int index = RoundedArg(argc, args, 0);
  const CBackgroundImage* image = Background_Get(index);
  if (!image) return Report("Trying to replace non-existing resource.");
  const std::string name = TextArg(argc, args, 1);
  if (!FileFound(name)) return Report("File does not exist.");
  Background_Replace(index, name, image->GetTransparent(), image->GetSmooth(), image->GetPreload());
}

const NamedBuiltin kResourceActions[] = {
    {"action_replace_sprite", action_replace_sprite},
    {"action_replace_sound", action_replace_sound},
    {"action_replace_background", action_replace_background},
};

}  // namespace

std::span<const NamedBuiltin> Action_ResourceBuiltins() { return kResourceActions; }
