#include "ds/ds.h"

void Crc32_InitTable() {}
void DS_SetGridAccessChecked(bool) {}
void InitDSFunctions() {}
void InitBufferFunctions() {}
