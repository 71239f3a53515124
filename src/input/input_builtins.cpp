// The built-in variables of the mouse buttons and the keyboard.
#include "input/input_builtins.h"

#include "core/builtin_vars.h"
#include "input/input.h"
#include "script/value.h"

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
