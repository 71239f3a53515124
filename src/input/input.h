// Input: the per-step keyboard and mouse tables, the window hooks that feed
// them, and recording and playback of the step's input. Virtual buttons and
// gamepads are still stubs.
#pragma once
#include <cstdint>
#include <string>

class IniFile;

// The input's command-line switches.
struct InputSwitches {
  bool record = false;    // "-record"
  bool playback = false;  // "-playback"
  std::string file_name;  // the record or playback file

  void Reset() { *this = InputSwitches(); }
};
extern InputSwitches g_InputSwitches;
inline bool& g_IORecord = g_InputSwitches.record;
inline bool& g_IOPlayback = g_InputSwitches.playback;
inline std::string& g_IOFileName = g_InputSwitches.file_name;

constexpr int kInputDevices = 5;        // device 0 is the system mouse
constexpr int kInputKeys = 256;
constexpr int kMouseButtons = 3;        // 1 left, 2 right, 3 middle
constexpr int kKeyboardStringMax = 1024;

// The frame set: what events, built-ins and variables read during a step.
// Mouse tables are device-major: entry (device, button) at
// device * 3 + (button - 1).
struct InputState {
  uint16_t last_char = 0;
  uint16_t keyboard_string[kKeyboardStringMax + 1] = {};
  int32_t last_key = 0;
  int32_t current_key = 0;
  uint8_t keys_down[kInputKeys] = {};
  uint8_t keys_released[kInputKeys] = {};
  uint8_t keys_pressed[kInputKeys] = {};
  int32_t mouse_last_button[kInputDevices] = {};
  int32_t mouse_button[kInputDevices] = {};
  uint8_t mouse_down[kInputDevices * kMouseButtons] = {};
  uint8_t mouse_released[kInputDevices * kMouseButtons] = {};
  uint8_t mouse_pressed[kInputDevices * kMouseButtons] = {};
  uint8_t wheel_up[kInputDevices] = {};
  uint8_t wheel_down[kInputDevices] = {};
  int32_t cursor_x = 0, cursor_y = 0;  // screen coordinates
  int32_t mouse_x = 0, mouse_y = 0;    // device 0, window client coordinates
  int32_t device_x[kInputDevices] = {};
  int32_t device_y[kInputDevices] = {};
  int32_t key_map[kInputKeys] = {};
};

// The set the window hooks write between steps (device 0 only). Index
// button - 1 into the mouse tables.
struct InputPending {
  uint16_t last_char = 0;
  uint16_t keyboard_string[kKeyboardStringMax + 1] = {};
  int32_t length = 0;  // characters in keyboard_string
  int32_t last_key = 0;
  int32_t current_key = 0;
  uint8_t keys_down[kInputKeys] = {};
  uint8_t keys_pressed[kInputKeys] = {};
  uint8_t keys_released[kInputKeys] = {};
  int32_t mouse_last_button = 0;
  int32_t mouse_button = 0;
  uint8_t mouse_down[kMouseButtons] = {};
  uint8_t mouse_pressed[kMouseButtons] = {};
  uint8_t mouse_released[kMouseButtons] = {};
  uint8_t wheel_up = 0, wheel_down = 0;
  int32_t mouse_x = 0, mouse_y = 0;
};

extern InputState g_InputState;
extern InputPending g_InputPending;

void IO_Init();
void IO_Shutdown();
// Forgets all held, pressed and released keys and buttons and the typed text.
void IO_Clear();
// Draws the visible virtual buttons over the frame.
void IO_DrawVirtualButtons();
// Marks every virtual button free (a room is left).
void IO_VirtualButtonsClear();

// An on-screen button: a rectangle in GUI coordinates that acts as a key, or
// as a mouse button when its key is 0.
struct VirtualButton {
  int16_t flags = 0;  // bit 0 in use (active), bit 1 visible
  int16_t slot = 0;
  int32_t x = 0, y = 0, x2 = 0, y2 = 0, w = 0, h = 0, u = 0, v = 0;
  int32_t key = 0, button = 0;
};
constexpr int kVirtualButtonCount = 128;
// The record, or null outside 0 to 127.
VirtualButton* IO_VirtualButton(int index);
// The first free record's index, or -1 when all are in use.
int IO_VirtualButtonAlloc();
void IO_VirtualButtonFree(int index);
// The table inside a saved game: the tag 851, the record count, then each
// record. Load is all or nothing: false, and the table unchanged, unless the
// tag matches and every record is there.
class ValueStream;
void IO_VirtualButtonsSave(ValueStream* buffer);
bool IO_VirtualButtonsLoad(ValueStream* buffer);
// Per-step input update at the start of each game step: edges last exactly
// one step.
void IO_Update();
void IO_ReadVirtualButtonsIni(const IniFile& ini);
void InitGamepadFunctions();

// Window hooks; codes are Windows virtual keys before the key map.
// repeat is the message's previous-key-state bit.
void Input_OnKeyDown(int32_t code, int32_t modifiers, uint8_t repeat);
void Input_OnKeyUp(int32_t code, int32_t modifiers);
// One UTF-16 code unit of a character message.
void Input_OnChar(int32_t code);
void Input_OnMouseDown(int button, int x, int y);
void Input_OnMouseUp(int button, int x, int y);
void Input_OnMouseMove(int32_t x, int32_t y);
// Both return whether the message was handled (always).
bool Input_OnWheelUp();
bool Input_OnWheelDown();

// Frame-set accessors; out-of-range arguments never touch the tables.
bool IO_KeyIsDown(int key);
bool IO_KeyWasPressed(int key);
bool IO_KeyWasReleased(int key);
void IO_KeyClear(int key);
void IO_ClearKeys();
int IO_GetLastKey();
int IO_GetCurrentKey();
int IO_GetLastChar();
void IO_SetLastKey(int key);
// Until the next step only: the step update takes the held key again.
void IO_SetCurrentKey(int key);
void IO_SetLastChar(int byte);
// UTF-8, valid until the next call.
const char* IO_GetKeyboardString();
// Null empties the string.
void IO_SetKeyboardString(const char* text);
int IO_GetMouseButton(int device);
int IO_GetMouseLastButton(int device);
void IO_SetMouseButton(int button, int device);
void IO_SetMouseLastButton(int button, int device);
bool IO_MouseIsDown(int button, int device);
bool IO_MouseWasPressed(int button, int device);
bool IO_MouseWasReleased(int button, int device);
bool IO_WheelUp(int device);
bool IO_WheelDown(int device);
void IO_MouseClear(int button, int device);
// The runner's window-message pump, for built-ins that pump. Pumping answers
// false once the window is closing (or when no pump is installed), so a
// waiting loop can end.
void IO_SetMessagePump(bool (*pump)());
bool IO_ProcessMessages();
// Key-down and button-down messages taken since the start, whatever the key
// map made of them: waiting ends when a count moves.
uint64_t IO_KeyDownMessages();
uint64_t IO_MouseDownMessages();
int IO_GetKeyMap(int key);
void IO_SetKeyMap(int key, int value);
void IO_ResetKeyMap();
