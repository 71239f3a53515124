// The "File.." built-in group: its fixed order and the families that handle
// it, each beside what it binds.
#pragma once
#include <span>

#include "script/builtin_group.h"

BuiltinGroup Files_FileGroup();

// The INI built-ins (ini_builtins.cpp).
std::span<const NamedBuiltin> Files_IniBuiltins();
// Forgets the script's open INI without saving it, as the end of a game does.
void Files_DiscardOpenIni();
// The binary, text and current-file handles.
std::span<const NamedBuiltin> Files_HandleBuiltins();
// Existence, directories, search, attributes, names, programs, command line.
std::span<const NamedBuiltin> Files_SystemBuiltins();
// The registry store.
std::span<const NamedBuiltin> Files_RegistryBuiltins();
