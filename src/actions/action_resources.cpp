// Replacing sprites, sounds and backgrounds from files: each keeps the
// resource's own settings and takes only the new pixels or samples.
#include "actions/action_args.h"
#include "actions/action_group.h"
#include "audio/legacy_sound.h"
#include "files/files.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "sprites/sprites.h"

namespace {

// True when the resource exists and the file is where the replace will
// read it (the save area, then the game's own directory); else the report.
bool CanReplace(bool exists, const std::string& name) {
  if (!exists) Action_Report("Trying to replace non-existing resource.");
  else if (!LoadSave_SaveFileExists(name) && !LoadSave_BundleFileExists(name)) Action_Report("File does not exist.");
  else return true;
  return false;
}

// sprite, file, frames
TW_BUILTIN(action_replace_sprite) {
  const int index = RoundedArg(argc, args, 0);
  const CSprite* s = Sprite_Get(index);
  const std::string name = TextArg(argc, args, 1);
  if (!CanReplace(s, name)) return;
  Sprite_Replace(index, name, RoundedArg(argc, args, 2), s->precise, s->transparent, s->smooth, s->preload,
                 s->xOrigin, s->yOrigin);
}

// sound, file
TW_BUILTIN(action_replace_sound) {
  const int index = RoundedArg(argc, args, 0);
  const CSound* s = Sound_Get(index);
  const std::string name = TextArg(argc, args, 1);
  if (CanReplace(s, name)) Sound_Replace(index, name, s->kind, s->preload);
}

// background, file
TW_BUILTIN(action_replace_background) {
  const int index = RoundedArg(argc, args, 0);
  const CBackgroundImage* b = Background_Get(index);
  const std::string name = TextArg(argc, args, 1);
  if (CanReplace(b, name)) Background_Replace(index, name, b->GetTransparent(), b->GetSmooth(), b->GetPreload());
}

const NamedBuiltin kResourceActions[] = {
    {"action_replace_sprite", action_replace_sprite},
    {"action_replace_sound", action_replace_sound},
    {"action_replace_background", action_replace_background},
};

}  // namespace

std::span<const NamedBuiltin> Action_ResourceBuiltins() { return kResourceActions; }
