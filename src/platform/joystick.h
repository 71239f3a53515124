// Joysticks on the host, asked directly on every call: pads 0 and 1 are the
// first two the system lists. Positions are unsigned 16-bit readings, 0 at
// one end of an axis and 65535 at the other (the centre reads 32768).
#pragma once
#include <cstdint>
#include <string>

struct JoystickCaps {
  std::string name;
  int axes = 0;
  int buttons = 0;
  bool hasPov = false;  // a point-of-view hat
};

// False (and nothing written) when no such joystick is connected.
bool Joystick_Caps(int pad, JoystickCaps* caps);
// Axis 0 to 5: x, y, z, r, u, v. False also for an axis the pad lacks.
bool Joystick_Axis(int pad, int axis, int32_t* position);
// Bit n - 1 for button n, buttons 1 to 32.
bool Joystick_Buttons(int pad, uint32_t* bits);
// The hat in hundredths of a degree clockwise from forward; 65535 centred.
bool Joystick_Pov(int pad, int32_t* reading);
// Closes every joystick the calls opened.
void Joystick_CloseAll();

// For tests: a joystick that exists only in this process, with the counts
// given; its pad number, or -1 when it cannot be made (or when a real
// joystick is already connected, so the pads would not be the tests' own).
int Joystick_AttachVirtual(const char* name, int axes, int buttons, int hats);
// Axis value -32768 to 32767 as the device reports it.
void Joystick_SetVirtualAxis(int pad, int axis, int16_t value);
void Joystick_SetVirtualButton(int pad, int button, bool down);
// Hat directions as bits: 1 up, 2 right, 4 down, 8 left.
void Joystick_SetVirtualHat(int pad, int hat, uint8_t directions);
void Joystick_DetachVirtual(int pad);
