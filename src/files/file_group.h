// The "File.." built-in group: its fixed order and the families that handle
// it, each beside what it binds.
#pragma once
#include "script/builtin_group.h"

BuiltinGroup Files_FileGroup();
