// The "File.." built-in group: its fixed order and the families that handle
// it, each beside what it binds.
#pragma once
#include "script/builtin_group.h"

BuiltinGroup Files_FileGroup();

// The binary, text and current-file handles.
std::span<const NamedBuiltin> Files_HandleBuiltins();
// Existence, directories, search, attributes, names, programs, command line.
std::span<const NamedBuiltin> Files_SystemBuiltins();
// The registry store.
std::span<const NamedBuiltin> Files_RegistryBuiltins();
