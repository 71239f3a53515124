// The keyboard and mouse built-ins and variables over the frame set.
#include "input/input_builtins.h"

#include "core/builtin_vars.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "script/builtin_args.h"
#include "script/value.h"

namespace {

// ---- Keyboard --------------------------------------------------------------------

// Code 0 (vk_nokey) asks whether no key is in the table, 1 (vk_anykey)
// whether any is, 2 to 255 that key; anything else is false.
bool KeyTest(bool (*entry)(int), int key) {
  if (key == 0 || key == 1) {
    bool any = false;
    for (int k = 0; k < kInputKeys && !any; ++k) any = entry(k);
    return key == 0 ? !any : any;
  }
  return key >= 2 && key < kInputKeys && entry(key);
}

TW_BUILTIN(F_KeyboardCheck) { Return(result, KeyTest(IO_KeyIsDown, RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_KeyboardCheckPressed) { Return(result, KeyTest(IO_KeyWasPressed, RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_KeyboardCheckReleased) { Return(result, KeyTest(IO_KeyWasReleased, RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_KeyboardCheckDirect) { Return(result, Events_KeyAsyncState(RoundedArg(argc, args, 0))); }

TW_BUILTIN(F_KeyboardGetNumlock) { Return(result, Events_NumLockOn()); }
TW_BUILTIN(F_KeyboardSetNumlock) { Events_SetNumLock(HalfFlagArg(argc, args, 0)); }
TW_BUILTIN(F_KeyboardKeyPress) { Events_PushKey(RoundedArg(argc, args, 0), true); }
TW_BUILTIN(F_KeyboardKeyRelease) { Events_PushKey(RoundedArg(argc, args, 0), false); }

TW_BUILTIN(F_KeyboardSetMap) { IO_SetKeyMap(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1)); }
TW_BUILTIN(F_KeyboardGetMap) { Return(result, IO_GetKeyMap(RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_KeyboardUnsetMap) { IO_ResetKeyMap(); }

TW_BUILTIN(F_KeyboardClear) {
  IO_ProcessMessages();
  IO_KeyClear(RoundedArg(argc, args, 0));
}

// Pumps the window messages every 50 ms until a count moves; the window
// closing ends the wait too, or the game could never be quit.
void WaitFor(uint64_t (*count)()) {
  const uint64_t start = count();
  while (IO_ProcessMessages() && count() == start) Clock_SleepMicroseconds(50000);
}

TW_BUILTIN(F_KeyboardWait) {
  IO_SetLastKey(0);
  WaitFor(IO_KeyDownMessages);
}

TW_BUILTIN(F_IoClear) {
  IO_ProcessMessages();
  IO_Clear();
}

TW_BUILTIN(F_IoHandle) { IO_ProcessMessages(); }

// ---- Mouse -----------------------------------------------------------------------

bool ButtonTest(bool (*entry)(int, int), int button, int device) {
  if (button == -1 || button == 0) {
    bool any = entry(1, device) || entry(2, device) || entry(3, device);
    return button == 0 ? !any : any;
  }
  return entry(button, device);
}

TW_BUILTIN(F_MouseCheckButton) { Interaction_MouseCheckButton(result, self, other, RoundedArg(argc, args, 0), 0); }
TW_BUILTIN(F_MouseCheckButtonPressed) {
  Interaction_MouseCheckButtonPressed(result, self, other, RoundedArg(argc, args, 0), 0);
}
TW_BUILTIN(F_MouseCheckButtonReleased) {
  Interaction_MouseCheckButtonReleased(result, self, other, RoundedArg(argc, args, 0), 0);
}
TW_BUILTIN(F_MouseWheelUp) { Return(result, IO_WheelUp(0)); }
TW_BUILTIN(F_MouseWheelDown) { Return(result, IO_WheelDown(0)); }

TW_BUILTIN(F_MouseClear) {
  IO_ProcessMessages();
  if (TruncatedArg(argc, args, 0) == -1) {
    for (int b = 1; b <= kMouseButtons; ++b) IO_MouseClear(b, 0);
  } else {
    IO_MouseClear(RoundedArg(argc, args, 0), 0);
  }
}

TW_BUILTIN(F_MouseWait) {
  // The setter refuses 0, which is what this must store.
  g_InputState.mouse_last_button[0] = 0;
  WaitFor(IO_MouseDownMessages);
}

TW_BUILTIN(F_DeviceMouseDbclickEnable) {}

const NamedBuiltin kKeyboard[] = {
    {"keyboard_get_numlock", F_KeyboardGetNumlock},
    {"keyboard_set_numlock", F_KeyboardSetNumlock},
    {"keyboard_key_press", F_KeyboardKeyPress},
    {"keyboard_key_release", F_KeyboardKeyRelease},
    {"keyboard_set_map", F_KeyboardSetMap},
    {"keyboard_get_map", F_KeyboardGetMap},
    {"keyboard_unset_map", F_KeyboardUnsetMap},
    {"keyboard_check", F_KeyboardCheck},
    {"keyboard_check_pressed", F_KeyboardCheckPressed},
    {"keyboard_check_released", F_KeyboardCheckReleased},
    {"keyboard_check_direct", F_KeyboardCheckDirect},
    {"keyboard_clear", F_KeyboardClear},
    {"io_clear", F_IoClear},
    {"io_handle", F_IoHandle},
    {"keyboard_wait", F_KeyboardWait},
};

const NamedBuiltin kMouse[] = {
    {"mouse_check_button", F_MouseCheckButton},
    {"mouse_check_button_pressed", F_MouseCheckButtonPressed},
    {"mouse_check_button_released", F_MouseCheckButtonReleased},
    {"mouse_wheel_up", F_MouseWheelUp},
    {"mouse_wheel_down", F_MouseWheelDown},
    {"mouse_clear", F_MouseClear},
    {"device_mouse_dbclick_enable", F_DeviceMouseDbclickEnable},
    {"mouse_wait", F_MouseWait},
};

}  // namespace

std::span<const NamedBuiltin> Input_KeyboardBuiltins() { return kKeyboard; }
std::span<const NamedBuiltin> Input_MouseBuiltins() { return kMouse; }

void Interaction_MouseCheckButton(ScriptValue* result, CObjInstance*, CObjInstance*, int button, int device) {
  Return(result, ButtonTest(IO_MouseIsDown, button, device));
}
void Interaction_MouseCheckButtonPressed(ScriptValue* result, CObjInstance*, CObjInstance*, int button, int device) {
  Return(result, ButtonTest(IO_MouseWasPressed, button, device));
}
void Interaction_MouseCheckButtonReleased(ScriptValue* result, CObjInstance*, CObjInstance*, int button,
                                          int device) {
  Return(result, ButtonTest(IO_MouseWasReleased, button, device));
}

namespace {
TW_VAR_GETTER(GetMouseButton) { return BuiltinVar_SetReal(out, IO_GetMouseButton(0)); }
TW_VAR_SETTER(SetMouseButton) {
  IO_SetMouseButton(BuiltinVar_Rounded(value), 0);
  return true;
}
TW_VAR_GETTER(GetMouseLastButton) { return BuiltinVar_SetReal(out, IO_GetMouseLastButton(0)); }
TW_VAR_SETTER(SetMouseLastButton) {
  IO_SetMouseLastButton(BuiltinVar_Rounded(value), 0);
  return true;
}
TW_VAR_GETTER(GetKeyboardKey) { return BuiltinVar_SetReal(out, IO_GetCurrentKey()); }
TW_VAR_SETTER(SetKeyboardKey) {
  IO_SetCurrentKey(BuiltinVar_Rounded(value));
  return true;
}
TW_VAR_GETTER(GetKeyboardLastKey) { return BuiltinVar_SetReal(out, IO_GetLastKey()); }
TW_VAR_SETTER(SetKeyboardLastKey) {
  IO_SetLastKey(BuiltinVar_Rounded(value));
  return true;
}
TW_VAR_GETTER(GetKeyboardLastChar) {
  char text[8] = {};
  char* cursor = text;
  UTF8_EncodeChar(&cursor, IO_GetLastChar());
  *cursor = 0;
  return BuiltinVar_SetText(out, text);
}
TW_VAR_SETTER(SetKeyboardLastChar) {
  const char* text = value->Text();
  if (*text) IO_SetLastChar(static_cast<unsigned char>(*text));
  return true;
}
TW_VAR_GETTER(GetKeyboardString) { return BuiltinVar_SetText(out, IO_GetKeyboardString()); }
TW_VAR_SETTER(SetKeyboardString) {
  IO_SetKeyboardString(value->Text());
  return true;
}
}  // namespace

void Input_BindVariables() {
  BuiltinVar_Bind("mouse_button", GetMouseButton, SetMouseButton);
  BuiltinVar_Bind("mouse_lastbutton", GetMouseLastButton, SetMouseLastButton);
  BuiltinVar_Bind("keyboard_key", GetKeyboardKey, SetKeyboardKey);
  BuiltinVar_Bind("keyboard_lastkey", GetKeyboardLastKey, SetKeyboardLastKey);
  BuiltinVar_Bind("keyboard_lastchar", GetKeyboardLastChar, SetKeyboardLastChar);
  BuiltinVar_Bind("keyboard_string", GetKeyboardString, SetKeyboardString);
}
