// The joystick built-ins: each asks the host's joystick directly, and any
// failure of the query gives the built-in's default result.
#include "input/input_builtins.h"
#include "platform/joystick.h"
#include "script/builtin_args.h"

namespace {

constexpr int kCentre = 101;  // keypad 5

// Exactly 2 names the second joystick; anything else the first.
int Pad(int argc, const ScriptValue* args) { return Arg(argc, args, 0) == 2.0 ? 1 : 0; }

TW_BUILTIN(F_JoystickExists) {
  JoystickCaps caps;
  Return(result, Joystick_Caps(Pad(argc, args), &caps));
}

TW_BUILTIN(F_JoystickName) {
  JoystickCaps caps;
  Joystick_Caps(Pad(argc, args), &caps);
  ScriptValue_SetText(result, caps.name.c_str());
}

TW_BUILTIN(F_JoystickAxes) {
  JoystickCaps caps;
  Joystick_Caps(Pad(argc, args), &caps);
  Return(result, caps.axes);
}

TW_BUILTIN(F_JoystickButtons) {
  JoystickCaps caps;
  Joystick_Caps(Pad(argc, args), &caps);
  Return(result, caps.buttons);
}

// Only the point-of-view capability counts: a joystick with a z axis or a
// rudder has other capabilities and no hat.
TW_BUILTIN(F_JoystickHasPov) {
  JoystickCaps caps;
  Joystick_Caps(Pad(argc, args), &caps);
  Return(result, caps.hasPov);
}

// Row from y (6 up, 3 middle, 0 down) plus column from x (97 left, 98
// middle, 99 right): the numeric-keypad key laid out as the stick points.
int Direction(int32_t x, int32_t y) {
  int row = y < 20000 ? 6 : y <= 44000 ? 3 : 0;
  int column = x < 20000 ? 97 : x <= 44000 ? 98 : 99;
  return column + row;
}

TW_BUILTIN(F_JoystickDirection) {
  int pad = Pad(argc, args);
  int32_t x = 0, y = 0;
  if (!Joystick_Axis(pad, 0, &x) || !Joystick_Axis(pad, 1, &y)) {
    Return(result, kCentre);
    return;
  }
  Return(result, Direction(x, y));
}

TW_BUILTIN(F_JoystickCheckButton) {
  uint32_t bits = 0;
  int button = RoundedArg(argc, args, 1);
  if (button < 1 || button > 32 || !Joystick_Buttons(Pad(argc, args), &bits)) {
    Return(result, 0);
    return;
  }
  Return(result, (bits >> (button - 1)) & 1u);
}

// 0 .. 65535 maps to -1 .. about 1.00003, in single precision.
void AxisResult(ScriptValue* result, int argc, const ScriptValue* args, int axis) {
  int32_t position = 0;
  if (!Joystick_Axis(Pad(argc, args), axis, &position)) {
    Return(result, 0);
    return;
  }
  Return(result, float(position) / 32767.0f - 1.0f);
}

TW_BUILTIN(F_JoystickXpos) { AxisResult(result, argc, args, 0); }
TW_BUILTIN(F_JoystickYpos) { AxisResult(result, argc, args, 1); }
TW_BUILTIN(F_JoystickZpos) { AxisResult(result, argc, args, 2); }
TW_BUILTIN(F_JoystickRpos) { AxisResult(result, argc, args, 3); }
TW_BUILTIN(F_JoystickUpos) { AxisResult(result, argc, args, 4); }
TW_BUILTIN(F_JoystickVpos) { AxisResult(result, argc, args, 5); }

TW_BUILTIN(F_JoystickPov) {
  int32_t reading = 0;
  if (!Joystick_Pov(Pad(argc, args), &reading)) {
    Return(result, -1);
    return;
  }
  double degrees = reading / 100.0;
  Return(result, degrees > 360 ? -1 : degrees);
}

const NamedBuiltin kJoystick[] = {
    {"joystick_exists", F_JoystickExists},
    {"joystick_direction", F_JoystickDirection},
    {"joystick_name", F_JoystickName},
    {"joystick_axes", F_JoystickAxes},
    {"joystick_buttons", F_JoystickButtons},
    {"joystick_has_pov", F_JoystickHasPov},
    {"joystick_check_button", F_JoystickCheckButton},
    {"joystick_xpos", F_JoystickXpos},
    {"joystick_ypos", F_JoystickYpos},
    {"joystick_zpos", F_JoystickZpos},
    {"joystick_rpos", F_JoystickRpos},
    {"joystick_upos", F_JoystickUpos},
    {"joystick_vpos", F_JoystickVpos},
    {"joystick_pov", F_JoystickPov},
};

}  // namespace

std::span<const NamedBuiltin> Input_JoystickBuiltins() { return kJoystick; }
