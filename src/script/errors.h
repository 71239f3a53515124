// Runtime error reporting, as far as start-up needs it so far.
#pragma once
#include <cstdint>

extern bool g_ShowErrors;  // off with "-noerrors"
