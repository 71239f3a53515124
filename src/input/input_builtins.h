// The input subsystem's built-ins: the "Interaction.." group's keyboard,
// mouse and joystick families, and the built-in variables (keyboard_key,
// mouse_button ...).
#pragma once
#include <span>
#include <string>
#include <vector>

#include "script/builtin_group.h"

class CObjInstance;
struct ScriptValue;

// Binds the variables in the built-in variable table (a binder of the table).
void Input_BindVariables();

// Sets the dialogs' caption to its first text and registers the group in
// its one fixed order with the input families and those of higher layers
// (draw_highscore); a name no family handles yet is left out.
void InitInteractionFunctions(std::span<const BuiltinFamily> higher = {});
// The group's order and the input families.
BuiltinGroup Input_InteractionGroup();
// The input families and the higher ones together.
std::vector<BuiltinFamily> Input_InteractionFamilies(std::span<const BuiltinFamily> higher);
std::span<const NamedBuiltin> Input_KeyboardBuiltins();
std::span<const NamedBuiltin> Input_MouseBuiltins();
std::span<const NamedBuiltin> Input_JoystickBuiltins();
// The high-score table's built-ins (draw_highscore, which draws, is not among
// them: drawing sits above input).
std::span<const NamedBuiltin> Input_HighScoreBuiltins();
// Message boxes and the input, question and login dialogs.
std::span<const NamedBuiltin> Input_DialogBuiltins();
// The open and save file dialogs.
std::span<const NamedBuiltin> Input_FileDialogBuiltins();
// Splash screens and shown media: nothing is shown on this platform.
std::span<const NamedBuiltin> Input_SplashBuiltins();
// show_info, the message_* styling, menus, get_color, get_directory: each
// says on the console that this platform lacks it.
std::span<const NamedBuiltin> Input_MessageBuiltins();

// The mouse tests for a button of a device: -1 any of buttons 1 to 3, 0 none
// of them, 1 to 3 that button, anything else false. Shared with the
// device-mouse built-ins, which pass their device.
void Interaction_MouseCheckButton(ScriptValue* result, CObjInstance* self, CObjInstance* other, int button,
                                  int device);
void Interaction_MouseCheckButtonPressed(ScriptValue* result, CObjInstance* self, CObjInstance* other, int button,
                                         int device);
void Interaction_MouseCheckButtonReleased(ScriptValue* result, CObjInstance* self, CObjInstance* other, int button,
                                          int device);
