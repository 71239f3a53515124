#include "input/input.h"

#include <cmath>
#include <cstring>

#include "input/input_record.h"
#include "platform/joystick.h"
#include "script/convert.h"
#include "script/value.h"

InputSwitches g_InputSwitches;

InputState g_InputState;
InputPending g_InputPending;

namespace {

// Scripts may set the frame set before the first step (room creation runs
// first); the first snapshot keeps that instead of the empty pending set.
bool s_seedPending = true;

// Window messages can arrive before IO_Init; they must not all map to key 0.
const bool s_keyMapReady = (IO_ResetKeyMap(), true);

bool (*s_pump)() = nullptr;
// Key-down and button-down messages taken so far, whatever they mapped to.
uint64_t s_keyDownMessages = 0;
uint64_t s_mouseDownMessages = 0;

bool IsHighSurrogate(uint16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The units of the pending string's last character: a surrogate pair is one
// character of two.
int LastCharacterUnits(const InputPending& p) {
  if (p.length >= 2 && IsLowSurrogate(p.keyboard_string[p.length - 1]) &&
      IsHighSurrogate(p.keyboard_string[p.length - 2]))
    return 2;
  return p.length > 0 ? 1 : 0;
}

// One character of UTF-8 text as 16-bit units (a pair above U+FFFF); the
// number of units, 0 at the end of the text.
int DecodeUnits(const char** cursor, uint16_t* units) {
  const auto* p = reinterpret_cast<const unsigned char*>(*cursor);
  if (*p >= 0xF0) {
    uint32_t c = *p & 0x07u;
    int n = 1;
    for (; n < 4 && (p[n] & 0xC0) == 0x80; ++n) c = (c << 6) | (p[n] & 0x3Fu);
    *cursor += n;
    if (n < 4 || c < 0x10000 || c > 0x10FFFF) {
      units[0] = 0xFFFD;
      return 1;
    }
    c -= 0x10000;
    units[0] = uint16_t(0xD800 + (c >> 10));
    units[1] = uint16_t(0xDC00 + (c & 0x3FF));
    return 2;
  }
  int c = UTF8_DecodeChar(cursor);
  units[0] = uint16_t(c);
  return c == 0 ? 0 : 1;
}

bool ValidKey(int key) { return key >= 0 && key < kInputKeys; }
bool ValidButton(int button) { return button >= 1 && button <= kMouseButtons; }
bool ValidDevice(int device) { return device >= 0 && device < kInputDevices; }
int MouseIndex(int button, int device) { return device * kMouseButtons + (button - 1); }

int StringLength(const uint16_t* text) {
  int n = 0;
  while (n < kKeyboardStringMax && text[n]) ++n;
  return n;
}

void SeedPendingFromFrame() {
  InputState& f = g_InputState;
  InputPending& p = g_InputPending;
  p.last_char = f.last_char;
  std::memcpy(p.keyboard_string, f.keyboard_string, sizeof p.keyboard_string);
  p.length = StringLength(p.keyboard_string);
  p.last_key = f.last_key;
  p.current_key = f.current_key;
  std::memcpy(p.keys_down, f.keys_down, sizeof p.keys_down);
  std::memcpy(p.keys_pressed, f.keys_pressed, sizeof p.keys_pressed);
  std::memcpy(p.keys_released, f.keys_released, sizeof p.keys_released);
  p.mouse_button = f.mouse_button[0];
  p.mouse_last_button = f.mouse_last_button[0];
  std::memcpy(p.mouse_down, f.mouse_down, sizeof p.mouse_down);
  std::memcpy(p.mouse_pressed, f.mouse_pressed, sizeof p.mouse_pressed);
  std::memcpy(p.mouse_released, f.mouse_released, sizeof p.mouse_released);
  p.wheel_up = f.wheel_up[0];
  p.wheel_down = f.wheel_down[0];
}

void Input_SnapshotState() {
  if (s_seedPending) {
    SeedPendingFromFrame();
    s_seedPending = false;
  }
  InputState& f = g_InputState;
  InputPending& p = g_InputPending;
  // The cursor field keeps its value until the window layer supplies one.
  f.last_char = p.last_char;
  std::memcpy(f.keyboard_string, p.keyboard_string, sizeof f.keyboard_string);
  f.mouse_x = f.device_x[0] = p.mouse_x;
  f.mouse_y = f.device_y[0] = p.mouse_y;
  std::memcpy(f.keys_down, p.keys_down, sizeof f.keys_down);
  f.current_key = p.current_key;
  f.last_key = p.last_key;
  for (int k = 0; k < kInputKeys; ++k) {
    if (p.keys_pressed[k]) f.keys_pressed[k] = 1;
    if (p.keys_released[k]) f.keys_released[k] = 1;
  }
  f.mouse_button[0] = p.mouse_button;
  f.mouse_last_button[0] = p.mouse_last_button;
  std::memcpy(f.mouse_down, p.mouse_down, sizeof p.mouse_down);  // device 0
  f.wheel_up[0] = p.wheel_up;
  f.wheel_down[0] = p.wheel_down;
  for (int b = 0; b < kMouseButtons; ++b) {
    if (p.mouse_pressed[b]) f.mouse_pressed[b] = 1;
    if (p.mouse_released[b]) f.mouse_released[b] = 1;
  }
  std::memset(p.mouse_pressed, 0, sizeof p.mouse_pressed);
  std::memset(p.mouse_released, 0, sizeof p.mouse_released);
  std::memset(p.keys_pressed, 0, sizeof p.keys_pressed);
  std::memset(p.keys_released, 0, sizeof p.keys_released);
  p.wheel_up = p.wheel_down = 0;
}

// Gamepads and virtual buttons are not built yet; both leave the step alone.
void Input_PollGamepads() {}
void IO_UpdateVirtualButtons() {}

}  // namespace

void IO_Init() {
  s_seedPending = true;
  IO_Clear();
  IO_ResetKeyMap();
  IO_OpenRecordFile();
}

void IO_Shutdown() {
  Joystick_CloseAll();
  IO_CloseRecordFile();
}

void IO_Clear() {
  g_InputState.keyboard_string[0] = 0;
  std::memcpy(g_InputPending.keyboard_string, g_InputState.keyboard_string, sizeof g_InputPending.keyboard_string);
  g_InputPending.length = 0;
  IO_ClearKeys();
  InputState& f = g_InputState;
  InputPending& p = g_InputPending;
  f.mouse_last_button[0] = f.mouse_button[0] = 0;
  p.mouse_button = p.mouse_last_button = 0;
  f.wheel_up[0] = f.wheel_down[0] = 0;
  p.wheel_up = p.wheel_down = 0;
  std::memset(p.mouse_down, 0, sizeof p.mouse_down);
  std::memset(p.mouse_pressed, 0, sizeof p.mouse_pressed);
  std::memset(p.mouse_released, 0, sizeof p.mouse_released);
  std::memset(f.mouse_down, 0, kMouseButtons);
  std::memset(f.mouse_pressed, 0, kMouseButtons);
  std::memset(f.mouse_released, 0, kMouseButtons);
}

void IO_Update() {
  InputState& f = g_InputState;
  std::memset(f.keys_pressed, 0, sizeof f.keys_pressed);
  std::memset(f.keys_released, 0, sizeof f.keys_released);
  std::memset(f.mouse_pressed, 0, sizeof f.mouse_pressed);
  std::memset(f.mouse_released, 0, sizeof f.mouse_released);
  std::memset(f.wheel_up, 0, sizeof f.wheel_up);
  std::memset(f.wheel_down, 0, sizeof f.wheel_down);
  if (g_IOPlayback) {
    IO_PlaybackFrame();
  } else {
    Input_SnapshotState();
    Input_PollGamepads();
    IO_UpdateVirtualButtons();
  }
  if (g_IORecord) IO_RecordFrame();
}

void IO_DrawVirtualButtons() {}
void IO_ReadVirtualButtonsIni(const IniFile&) {}
void InitGamepadFunctions() {}

void Input_OnKeyDown(int32_t code, int32_t, uint8_t repeat) {
  ++s_keyDownMessages;
  int key = IO_GetKeyMap(code);
  if (!ValidKey(key)) return;
  InputPending& p = g_InputPending;
  p.last_key = key;
  p.current_key = key;
  if (p.keys_down[key] != 1 && repeat == 0) p.keys_pressed[key] = 1;
  p.keys_down[key] = 1;
}

void Input_OnKeyUp(int32_t code, int32_t) {
  int key = IO_GetKeyMap(code);
  if (!ValidKey(key)) return;
  InputPending& p = g_InputPending;
  if (p.current_key == key) p.current_key = 0;
  p.keys_down[key] = 0;
  p.keys_pressed[key] = 0;
  p.keys_released[key] = 1;
}

void Input_OnChar(int32_t code) {
  InputPending& p = g_InputPending;
  uint16_t unit = uint16_t(code);
  p.last_char = unit;
  // The counter is shared with the setter and the seed: never trust it past
  // the buffer.
  if (p.length < 0 || p.length > kKeyboardStringMax) p.length = 0;
  // A full string starts again from its last character.
  if (p.length >= kKeyboardStringMax - 1) {
    int keep = LastCharacterUnits(p);
    std::memmove(p.keyboard_string, p.keyboard_string + p.length - keep, size_t(keep) * sizeof(uint16_t));
    p.length = keep;
  }
  if (unit == 8 && p.length > 0) {
    p.length -= LastCharacterUnits(p);
    p.keyboard_string[p.length] = 0;
    return;
  }
  if (unit >= 32) p.keyboard_string[p.length++] = unit;
  p.keyboard_string[p.length] = 0;
}

void Input_OnMouseDown(int button, int, int) {
  if (!ValidButton(button)) return;
  ++s_mouseDownMessages;
  InputPending& p = g_InputPending;
  p.mouse_last_button = button;
  p.mouse_button = button;
  if (!p.mouse_down[button - 1]) p.mouse_pressed[button - 1] = 1;
  p.mouse_down[button - 1] = 1;
}

void Input_OnMouseUp(int button, int, int) {
  if (!ValidButton(button)) return;
  InputPending& p = g_InputPending;
  p.mouse_button = 0;
  p.mouse_down[button - 1] = 0;
  p.mouse_pressed[button - 1] = 0;
  p.mouse_released[button - 1] = 1;
}

void Input_OnMouseMove(int32_t x, int32_t y) {
  g_InputPending.mouse_x = x;
  g_InputPending.mouse_y = y;
}

bool Input_OnWheelUp() {
  g_InputPending.wheel_up = 1;
  return true;
}

bool Input_OnWheelDown() {
  g_InputPending.wheel_down = 1;
  return true;
}

bool IO_KeyIsDown(int key) { return ValidKey(key) && g_InputState.keys_down[key]; }
bool IO_KeyWasPressed(int key) { return ValidKey(key) && g_InputState.keys_pressed[key]; }
bool IO_KeyWasReleased(int key) { return ValidKey(key) && g_InputState.keys_released[key]; }

void IO_KeyClear(int key) {
  if (!ValidKey(key)) return;
  g_InputState.keys_down[key] = g_InputState.keys_pressed[key] = g_InputState.keys_released[key] = 0;
  g_InputPending.keys_down[key] = g_InputPending.keys_pressed[key] = g_InputPending.keys_released[key] = 0;
}

void IO_ClearKeys() {
  InputState& f = g_InputState;
  InputPending& p = g_InputPending;
  f.last_key = f.current_key = 0;
  f.last_char = 0;
  p.last_key = p.current_key = 0;
  p.last_char = 0;
  std::memset(f.keys_down, 0, sizeof f.keys_down);
  std::memset(f.keys_pressed, 0, sizeof f.keys_pressed);
  std::memset(f.keys_released, 0, sizeof f.keys_released);
  std::memset(p.keys_down, 0, sizeof p.keys_down);
  std::memset(p.keys_pressed, 0, sizeof p.keys_pressed);
  std::memset(p.keys_released, 0, sizeof p.keys_released);
}

int IO_GetLastKey() { return g_InputState.last_key; }
int IO_GetCurrentKey() { return g_InputState.current_key; }
int IO_GetLastChar() { return g_InputState.last_char; }

void IO_SetLastKey(int key) {
  if (!ValidKey(key)) return;
  g_InputState.last_key = key;
  g_InputPending.last_key = key;
  g_InputPending.current_key = 0;
}

void IO_SetCurrentKey(int key) {
  if (ValidKey(key)) g_InputState.current_key = key;
}

void IO_SetLastChar(int byte) {
  // The byte is signed: values from 128 widen to 0xFF80 and up.
  uint16_t unit = uint16_t(int16_t(int8_t(uint8_t(byte))));
  g_InputState.last_char = unit;
  g_InputPending.last_char = unit;
}

const char* IO_GetKeyboardString() {
  // Three bytes at most per 16-bit unit (four per pair), plus the terminator.
  static char buffer[3080];
  char* out = buffer;
  const uint16_t* s = g_InputState.keyboard_string;
  for (int i = 0; i < kKeyboardStringMax && s[i]; ++i) {
    if (IsHighSurrogate(s[i]) && i + 1 < kKeyboardStringMax && IsLowSurrogate(s[i + 1])) {
      uint32_t c = 0x10000 + ((uint32_t(s[i]) - 0xD800) << 10) + (uint32_t(s[i + 1]) - 0xDC00);
      *out++ = char(0xF0 | (c >> 18));
      *out++ = char(0x80 | ((c >> 12) & 0x3F));
      *out++ = char(0x80 | ((c >> 6) & 0x3F));
      *out++ = char(0x80 | (c & 0x3F));
      ++i;
    } else {
      // A lone half of a pair is no character: it reads as U+FFFD.
      UTF8_EncodeChar(&out, IsHighSurrogate(s[i]) || IsLowSurrogate(s[i]) ? 0xFFFD : s[i]);
    }
  }
  *out = 0;
  return buffer;
}

void IO_SetKeyboardString(const char* text) {
  int n = 0;
  if (text) {
    while (n < kKeyboardStringMax && *text) {
      uint16_t units[2];
      int count = DecodeUnits(&text, units);
      // A pair that does not fit whole is left out.
      if (count == 0 || n + count > kKeyboardStringMax) break;
      for (int i = 0; i < count; ++i) g_InputState.keyboard_string[n++] = units[i];
    }
  }
  g_InputState.keyboard_string[n] = 0;
  g_InputPending.length = n;
  std::memcpy(g_InputPending.keyboard_string, g_InputState.keyboard_string, sizeof g_InputPending.keyboard_string);
}

int IO_GetMouseButton(int device) { return ValidDevice(device) ? g_InputState.mouse_button[device] : 0; }
int IO_GetMouseLastButton(int device) { return ValidDevice(device) ? g_InputState.mouse_last_button[device] : 0; }

void IO_SetMouseButton(int button, int device) {
  if (ValidButton(button) && ValidDevice(device)) g_InputState.mouse_button[device] = button;
}

void IO_SetMouseLastButton(int button, int device) {
  if (ValidButton(button) && ValidDevice(device)) g_InputState.mouse_last_button[device] = button;
}

bool IO_MouseIsDown(int button, int device) {
  return ValidButton(button) && ValidDevice(device) && g_InputState.mouse_down[MouseIndex(button, device)];
}

bool IO_MouseWasPressed(int button, int device) {
  return ValidButton(button) && ValidDevice(device) && g_InputState.mouse_pressed[MouseIndex(button, device)];
}

bool IO_MouseWasReleased(int button, int device) {
  return ValidButton(button) && ValidDevice(device) && g_InputState.mouse_released[MouseIndex(button, device)];
}

bool IO_WheelUp(int device) { return ValidDevice(device) && g_InputState.wheel_up[device]; }
bool IO_WheelDown(int device) { return ValidDevice(device) && g_InputState.wheel_down[device]; }

void IO_MouseClear(int button, int device) {
  if (!ValidButton(button) || !ValidDevice(device)) return;
  int i = MouseIndex(button, device);
  g_InputState.mouse_down[i] = g_InputState.mouse_pressed[i] = g_InputState.mouse_released[i] = 0;
  if (device == 0) {
    g_InputPending.mouse_down[button - 1] = 0;
    g_InputPending.mouse_pressed[button - 1] = 0;
    g_InputPending.mouse_released[button - 1] = 0;
  }
}

int IO_GetKeyMap(int key) { return ValidKey(key) ? g_InputState.key_map[key] : key; }

void IO_SetKeyMap(int key, int value) {
  if (ValidKey(key)) g_InputState.key_map[key] = value;
}

void IO_ResetKeyMap() {
  for (int k = 0; k < kInputKeys; ++k) g_InputState.key_map[k] = k;
}

void IO_SetMessagePump(bool (*pump)()) { s_pump = pump; }

bool IO_ProcessMessages() { return s_pump ? s_pump() : false; }

uint64_t IO_KeyDownMessages() { return s_keyDownMessages; }
uint64_t IO_MouseDownMessages() { return s_mouseDownMessages; }
