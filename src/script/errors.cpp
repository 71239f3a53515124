#include "script/errors.h"

bool g_ShowErrors = true;
