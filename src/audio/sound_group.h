// The "Sound.." built-in group (the legacy sound_, cd_ and MCI_command
// built-ins, then the audio_ ones), and the sound family of the
// "Resource.." group.
#pragma once
#include <span>

#include "script/builtin_group.h"

BuiltinGroup Audio_SoundGroup();
std::span<const NamedBuiltin> Audio_LegacySoundBuiltins();
std::span<const NamedBuiltin> Audio_CdBuiltins();
std::span<const NamedBuiltin> Audio_AudioBuiltins();
// sound_exists, sound_add, sound_discard ... of the "Resource.." group.
void Sound_RegisterResourceFunctions();
