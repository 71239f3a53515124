// The input subsystem's built-in variables (mouse_x, keyboard_key ...).
#pragma once

// Binds them in the built-in variable table (a binder of the table).
void Input_BindVariables();
