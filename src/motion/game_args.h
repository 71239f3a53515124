// Argument reading shared by the families of the "Game.." group.
#pragma once
#include "script/builtin_args.h"

// The flags of this group hold from 0.5 up.
inline bool Game_FlagArg(int argc, const ScriptValue* args, int i) { return Arg(argc, args, i) >= 0.5; }
