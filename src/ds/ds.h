// Data structures and buffers, as far as start-up needs them so far.
#pragma once
#include <cstdint>

void Crc32_InitTable();
void DS_SetGridAccessChecked(bool checked);
void InitDSFunctions();
void InitBufferFunctions();
