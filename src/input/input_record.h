// Recording and playback: each step's frame set as one fixed-size record,
// little-endian, no header. Playback files are untrusted.
#pragma once
#include <cstddef>
#include <cstdint>

#include "input/input.h"

constexpr size_t kIORecordFrameSize = 2939;

// Writes the recorded fields of the frame set.
void IO_EncodeFrame(const InputState& state, uint8_t (&out)[kIORecordFrameSize]);
// Reads the recorded fields into the frame set, normalising what a damaged
// file could make inconsistent (flags to 0 or 1, key and button codes out of
// range to 0, the string terminated). Other fields are left alone.
void IO_DecodeFrame(const uint8_t (&in)[kIORecordFrameSize], InputState& state);

// Opens the file named by g_IOFileName for the flags set (playback wins and
// clears the record flag). A file that cannot be opened leaves none open.
void IO_OpenRecordFile();
void IO_CloseRecordFile();
// Reads the next step into the frame set; a short last record ends playback.
void IO_PlaybackFrame();
// Appends the frame set as this step's record.
void IO_RecordFrame();
