// The "Interaction.." group's dialogs, message boxes, file dialogs, splash
// screens and the message-styling built-ins this platform does not have.
// Each dialog clears the input afterwards: keys held when it came up must not
// count as pressed once it is gone.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "files/files.h"
#include "input/input.h"
#include "input/input_builtins.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "script/builtin_args.h"
#include "script/console.h"
#include "script/errors.h"
#include "services/dialogs.h"

namespace {

// ---- Texts ----------------------------------------------------------------------

// A shown number: whole numbers as integers, others with two decimals.
std::string NumberText(double x) {
  char text[64];
  if (std::isfinite(x) && x == std::floor(x) && std::fabs(x) < 2147483648.0)
    std::snprintf(text, sizeof text, "%d", int(x));
  else
    std::snprintf(text, sizeof text, "%.2f", x);
  return text;
}

std::string Converted(const char* text) {
  std::string s = text;
  Support_ConvertHashNewlines(&s);
  return s;
}

// A message: a string with its "#" line breaks, a number as NumberText.
std::string MessageArg(int argc, const ScriptValue* args, int i) {
  return IsStringArg(argc, args, i) ? Converted(TextArg(argc, args, i)) : NumberText(Arg(argc, args, i));
}

// The default of an input: a string with its line breaks, a number rounded.
std::string RoundedDefault(int argc, const ScriptValue* args, int i) {
  return IsStringArg(argc, args, i) ? Converted(TextArg(argc, args, i))
                                    : std::to_string(RoundedArg(argc, args, i));
}

const std::string& Caption() { return Support_GetCaption(); }

// ---- Dialogs --------------------------------------------------------------------

TW_BUILTIN(show_message) {
  Support_MessageBox(MessageArg(argc, args, 0));
  IO_Clear();
  Return(result, 1);
}

TW_BUILTIN(show_message_async) {
  const int32_t id = AsyncDialog_Message(Caption(), MessageArg(argc, args, 0));
  IO_Clear();
  Return(result, id);
}

TW_BUILTIN(show_question) {
  const bool yes = Question_Show(Caption(), TextArg(argc, args, 0));
  IO_Clear();
  Return(result, yes ? 1 : 0);
}

TW_BUILTIN(show_question_async) {
  const int32_t id = AsyncDialog_Question(Caption(), TextArg(argc, args, 0));
  IO_Clear();
  Return(result, id);
}

TW_BUILTIN(show_error) {
  const std::string text = MessageArg(argc, args, 0);
  Error_ReportRuntime(Arg(argc, args, 1) >= 0.5 ? ErrorSeverity::kFatal : ErrorSeverity::kError, text.c_str());
}

TW_BUILTIN(get_string) {
  char real[64];
  std::snprintf(real, sizeof real, "%.2f", Arg(argc, args, 1));
  const std::string defaultText = IsStringArg(argc, args, 1) ? Converted(TextArg(argc, args, 1)) : real;
  std::string answer;
  InputQuery_Show(Caption(), TextArg(argc, args, 0), defaultText, &answer);
  IO_Clear();
  ScriptValue_SetText(result, answer.c_str());
}

TW_BUILTIN(get_integer) {
  const std::string defaultText = RoundedDefault(argc, args, 1);
  std::string answer;
  const bool ok = InputQuery_Show(Caption(), TextArg(argc, args, 0), defaultText, &answer);
  IO_Clear();
  Return(result, ok ? std::atof(answer.c_str()) : double(Real_RoundToInt32(std::atof(defaultText.c_str()))));
}

TW_BUILTIN(get_string_async) {
  Return(result, AsyncDialog_Input(Caption(), TextArg(argc, args, 0), RoundedDefault(argc, args, 1)));
}

TW_BUILTIN(get_login_async) {
  if (argc != 2 || !IsStringArg(argc, args, 0) || !IsStringArg(argc, args, 1)) return;
  Return(result, AsyncDialog_Login(TextArg(argc, args, 0), TextArg(argc, args, 1)));
}

const NamedBuiltin kDialogBuiltins[] = {
    {"show_message", show_message},
    {"show_question", show_question},
    {"show_message_async", show_message_async},
    {"show_question_async", show_question_async},
    {"show_error", show_error},
    {"get_integer", get_integer},
    {"get_integer_async", get_string_async},
    {"get_string", get_string},
    {"get_string_async", get_string_async},
    {"get_login_async", get_login_async},
};

// ---- File dialogs ---------------------------------------------------------------

// The chosen path, absolute, or nothing after Cancel. The dialog runs in
// another process, so the working directory never moves.
std::optional<std::string> FileDialog(DialogKind kind, const char* filter, const char* fileName,
                                      const char* directory, const char* title) {
  DialogRequest q;
  q.kind = kind;
  q.filter = filter;
  q.text = std::string(fileName).substr(0, 259);
  q.value = directory;
  q.caption = title;
  DialogAnswer a = Dialog_Run(q);
  if (!a.ok || a.text.empty()) return std::nullopt;
  return Path_Absolute(a.text);
}

void FileBuiltin(ScriptValue* result, int argc, const ScriptValue* args, int wanted, DialogKind kind) {
  bool strings = argc == wanted;
  for (int i = 0; i < argc; ++i) strings = strings && args[i].IsString();
  std::optional<std::string> path;
  if (strings)
    path = FileDialog(kind, TextArg(argc, args, 0), TextArg(argc, args, 1), TextArg(argc, args, 2),
                      TextArg(argc, args, 3));
  if (path) {
    if (kind == DialogKind::kOpenFile)
      LoadSave_AllowRead(*path);
    else
      LoadSave_AllowWrite(*path);
  }
  IO_Clear();
  ScriptValue_SetText(result, path ? path->c_str() : "");
}

TW_BUILTIN(get_open_filename) { FileBuiltin(result, argc, args, 2, DialogKind::kOpenFile); }
TW_BUILTIN(get_save_filename) { FileBuiltin(result, argc, args, 2, DialogKind::kSaveFile); }
TW_BUILTIN(get_open_filename_ext) { FileBuiltin(result, argc, args, 4, DialogKind::kOpenFile); }
TW_BUILTIN(get_save_filename_ext) { FileBuiltin(result, argc, args, 4, DialogKind::kSaveFile); }

const NamedBuiltin kFileDialogBuiltins[] = {
    {"get_open_filename", get_open_filename},
    {"get_save_filename", get_save_filename},
    {"get_open_filename_ext", get_open_filename_ext},
    {"get_save_filename_ext", get_save_filename_ext},
};

// ---- Splash screens and shown media ---------------------------------------------

// Nothing is shown on this platform; the back ends always succeed.
bool Splash_ShowVideo(const char*, bool) { return true; }
bool Splash_ShowImage(const char*, int) { return true; }
bool Splash_ShowText(const char*, int) { return true; }

void ShowVideo(const char* file, bool loop) {
  if (!Splash_ShowVideo(file, loop))
    Error_ReportRuntime(ErrorSeverity::kError, "Video file not found (or name too long).");
  IO_Clear();
}
void ShowImage(const char* file, int delay) {
  if (!Splash_ShowImage(file, delay)) Error_ReportRuntime(ErrorSeverity::kError, "Image file not found.");
  IO_Clear();
}
void ShowText(const char* file, int delay) {
  if (!Splash_ShowText(file, delay)) Error_ReportRuntime(ErrorSeverity::kError, "Text file not found.");
  IO_Clear();
}

TW_BUILTIN(splash_setting) {}
TW_BUILTIN(splash_show_video) { ShowVideo(TextArg(argc, args, 0), Arg(argc, args, 1) > 0); }
TW_BUILTIN(splash_show_image) { ShowImage(TextArg(argc, args, 0), RoundedArg(argc, args, 1)); }
TW_BUILTIN(splash_show_text) { ShowText(TextArg(argc, args, 0), RoundedArg(argc, args, 1)); }
TW_BUILTIN(show_image) { ShowImage(TextArg(argc, args, 0), RoundedArg(argc, args, 2)); }
TW_BUILTIN(show_video) { ShowVideo(TextArg(argc, args, 0), Arg(argc, args, 2) > 0); }
TW_BUILTIN(show_text) { ShowText(TextArg(argc, args, 0), RoundedArg(argc, args, 3)); }

const NamedBuiltin kSplashBuiltins[] = {
    {"splash_set_caption", splash_setting},
    {"splash_set_fullscreen", splash_setting},
    {"splash_set_border", splash_setting},
    {"splash_set_size", splash_setting},
    {"splash_set_adapt", splash_setting},
    {"splash_set_top", splash_setting},
    {"splash_set_color", splash_setting},
    {"splash_set_main", splash_setting},
    {"splash_set_scale", splash_setting},
    {"splash_set_cursor", splash_setting},
    {"splash_set_interrupt", splash_setting},
    {"splash_set_stop_key", splash_setting},
    {"splash_set_stop_mouse", splash_setting},
    {"splash_show_video", splash_show_video},
    {"splash_show_image", splash_show_image},
    {"splash_show_text", splash_show_text},
    {"show_image", show_image},
    {"show_video", show_video},
    {"show_text", show_text},
};

// ---- What this platform does not have -------------------------------------------

void Say(const char* text) { g_OutputConsole->Output("%s", text); }

TW_BUILTIN(show_info) {
  Say("show_info(str) not supported\n");
  IO_Clear();
}
TW_BUILTIN(load_info) {
  Say("load_info(str) not supported\n");
  Return(result, 0);
}
TW_BUILTIN(show_message_ext) {
  Say("show_message_ext(str,but1,but2,but3) not impleneted\n");
  IO_Clear();
  Return(result, 1);
}
TW_BUILTIN(message_background) { Say("message_background(back) not impleneted\n"); }
TW_BUILTIN(message_button) { Say("message_button(spr) not impleneted\n"); }
TW_BUILTIN(message_alpha) { Say("message_alpha(alpha) not impleneted\n"); }
TW_BUILTIN(message_text_font) { Say("message_text_font(name,size,color,style) not impleneted\n"); }
TW_BUILTIN(message_button_font) { Say("message_button_font(name,size,color,style) not impleneted\n"); }
TW_BUILTIN(message_input_font) { Say("message_input_font(name,size,color,style) not impleneted\n"); }
TW_BUILTIN(message_mouse_color) { Say("message_mouse_color(col) not impleneted\n"); }
TW_BUILTIN(message_input_color) { Say("message_input_color(col) not impleneted\n"); }
TW_BUILTIN(message_position) { Say("message_position(x,y) not impleneted\n"); }
TW_BUILTIN(message_size) { Say("message_size(w,h)not impleneted\n"); }
TW_BUILTIN(message_caption) { Say("message_caption(show,str) not impleneted\n"); }
TW_BUILTIN(show_menu) {
  Say("show_menu(str,default) not implemented.\n");
  IO_Clear();
  Return(result, 0);
}
TW_BUILTIN(show_menu_pos) {
  Say("show_menu_pos(X,Y,str,default) not implemented.\n");
  IO_Clear();
  Return(result, 0);
}
TW_BUILTIN(get_color) {
  Say("get_color(def) is not implemented\n");
  IO_Clear();
  Return(result, 0);
}
TW_BUILTIN(get_directory) {
  Say("get_directory(dname) not implemented.\n");
  IO_Clear();
  ScriptValue_SetText(result, "");
}
TW_BUILTIN(get_directory_alt) {
  Say("get_directory_alt(capt,root) not implemented.\n");
  IO_Clear();
  ScriptValue_SetText(result, "");
}

const NamedBuiltin kMessageBuiltins[] = {
    {"show_info", show_info},
    {"load_info", load_info},
    {"show_message_ext", show_message_ext},
    {"message_background", message_background},
    {"message_button", message_button},
    {"message_alpha", message_alpha},
    {"message_text_font", message_text_font},
    {"message_button_font", message_button_font},
    {"message_input_font", message_input_font},
    {"message_mouse_color", message_mouse_color},
    {"message_input_color", message_input_color},
    {"message_position", message_position},
    {"message_size", message_size},
    {"message_caption", message_caption},
    {"show_menu", show_menu},
    {"show_menu_pos", show_menu_pos},
    {"get_color", get_color},
    {"get_directory", get_directory},
    {"get_directory_alt", get_directory_alt},
};

}  // namespace

std::span<const NamedBuiltin> Input_DialogBuiltins() { return kDialogBuiltins; }
std::span<const NamedBuiltin> Input_FileDialogBuiltins() { return kFileDialogBuiltins; }
std::span<const NamedBuiltin> Input_SplashBuiltins() { return kSplashBuiltins; }
std::span<const NamedBuiltin> Input_MessageBuiltins() { return kMessageBuiltins; }
