// The variable-name table: every user variable name has one id, the same in
// every scope.
#pragma once
#include <string_view>

// Id of the user variable `name` (100000 + entry), entered when new; a
// negative result when the name cannot be a variable.
int VariableName_ToID(std::string_view name);
