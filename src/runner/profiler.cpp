#include "runner/profiler.h"
