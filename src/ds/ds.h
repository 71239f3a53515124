// Data structures and buffers: what start-up calls.
#pragma once

// The handlers of ds_grid_set and ds_grid_get: checking ids and bounds, or
// (release mode) going straight to the cell.
void DS_SetGridAccessChecked(bool checked);
void InitDSFunctions();
void InitBufferFunctions();
// json_encode and json_decode, which close the "File.." group.
void InitJsonFunctions();
