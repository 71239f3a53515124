// The window-event pump: drains SDL's event queue and hands each window or
// input event, in the engine's own terms, to the handler registered here; a
// quit request is reported.
#pragma once
#include <functional>

enum class WindowEventKind {
  FocusGained,
  FocusLost,
  Close,
  SizeChanged,
  KeyDown,
  KeyUp,
  Text,
  MouseMove,
  ButtonDown,
  ButtonUp,
  Wheel,
};

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::FocusGained;
  // Keys: the engine's key number (never 0: keys without one are not
  // delivered), the left/right number of a modifier (0 for other keys),
  // auto-repeat, and whether Alt was held.
  int key = 0;
  int sideKey = 0;
  bool repeat = false;
  bool alt = false;
  // Buttons: 1 left, 2 right, 3 middle (other buttons are not delivered).
  int button = 0;
  // Pointer position in the client area for motion and buttons; may lie
  // outside it while a button is held.
  int x = 0, y = 0;
  // Wheel: above 0 away from the user, below 0 towards, whatever the
  // system's "natural" scrolling setting.
  int wheel = 0;
  // Text: UTF-8, valid during the handler call only.
  const char* text = "";
};

// Handler for every event other than quit; the window layer installs it.
void Events_SetHandler(std::function<void(const WindowEvent&)> handler);
// Drains the queue. Returns false when a quit request was taken from it.
bool Events_Pump();
// Queues a quit request (the next pump returns false).
void Events_PostQuit();
// Queues a key event made by the program, handed on by the pump like one the
// user typed (never as an auto-repeat). Keys are the engine's numbers 1 to
// 254; a generic modifier (16 Shift, 17 Ctrl, 18 Alt) stands for its left
// key and a side number (160 to 165) comes with its generic one, as the
// system reports real modifiers. Other numbers are ignored.
void Events_PushKey(int key, bool down);
// The system's own state of a key, outside the game's steps: true while it
// is held, or once after it went down since the last query of that key.
// Keys are the engine's numbers before any remapping by the game.
bool Events_KeyAsyncState(int key);
// Num Lock as the keyboard's lock state has it.
bool Events_NumLockOn();
// Turns Num Lock on or off, with the key's press and release queued.
void Events_SetNumLock(bool on);
// Releases SDL at the very end of the run.
void Events_Shutdown();
