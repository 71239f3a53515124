// Test hook: frames named by TARNWICKE_CAPTURE_FRAME (a number, or numbers
// separated by commas, counted from 1) are saved as PNG files at
// TARNWICKE_CAPTURE_FILE ("%d" there becomes the frame number), read from
// the back buffer just before the present.
#pragma once

void FrameCapture_AfterFrame();
// Forgets the frame count (tests).
void FrameCapture_Reset();
// The snapshot action: the whole screen as a PNG file in the save area.
void Screen_Save(const char* fileName);
