// SDL key codes as the engine's key numbers (the Windows virtual-key
// numbering the game's data and scripts use).
#pragma once

// The key number for an SDL key code, generic modifiers first (16 Shift,
// 17 Ctrl, 18 Alt); 0 for keys the engine has no number for.
int Keys_ToVirtualKey(int sdlKeycode);
// The left/right number of a modifier (160 to 165), 0 for other keys.
int Keys_SideVirtualKey(int sdlKeycode);
// The control character a key types that SDL's text input does not deliver
// (8 Backspace, 9 Tab, 13 Enter, 27 Escape), 0 for other keys.
int Keys_ControlCharacter(int virtualKey);
// The numbers a key event carries for an engine key number: the generic
// modifier for a side number (160 to 165), the left side for a generic
// modifier (16 to 18), no side for other keys.
void Keys_GenericAndSide(int key, int* generic, int* side);
