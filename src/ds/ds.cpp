#include "ds/ds.h"

void DS_SetGridAccessChecked(bool) {}
