#include "script/variable_names.h"

int VariableName_ToID(std::string_view) { return -1; }
