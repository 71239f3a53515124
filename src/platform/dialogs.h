// The game's input, question, message and login dialogs and its open and
// save file dialogs. With a display, zenity on the PATH and
// TARNWICKE_NO_DIALOGS unset they are zenity windows (started with an
// argument vector, never through a shell). Otherwise the answers come in
// order from the file TARNWICKE_DIALOG_ANSWERS names, one line a dialog; with
// no such file a dialog is cancelled at once. Either way the dialog's text
// goes to stderr, so nothing blocks on a machine without a display.
#pragma once
#include <memory>
#include <string>

enum class DialogKind { kInput, kQuestion, kMessage, kLogin, kOpenFile, kSaveFile };

struct DialogRequest {
  DialogKind kind = DialogKind::kMessage;
  std::string caption;  // the window title
  // Input: prompt and default answer. Question and message: the text.
  // Login: default user name and password. File dialogs: the file name and
  // the directory (may be empty); the caption is the dialog's title.
  std::string text;
  std::string value;
  // File dialogs: "description|pattern|description|pattern..." (patterns
  // separated by ';').
  std::string filter;
};

struct DialogAnswer {
  bool ok = false;  // OK, Yes, a chosen file; false for Cancel, No
  std::string text;  // the input's text, the chosen path, the login's user name
  std::string password;
};

// A dialog shown beside the running game.
class OpenDialog {
 public:
  virtual ~OpenDialog() = default;
  // True once answered, with the answer; never blocks.
  virtual bool Poll(DialogAnswer* answer) = 0;
};

// Shows the dialog and waits for its answer.
DialogAnswer Dialog_Run(const DialogRequest& request);
// Shows the dialog without waiting; destroying it closes a window still open.
std::unique_ptr<OpenDialog> Dialog_Open(const DialogRequest& request);
// For tests: the answer file is read again from its first line.
void Dialog_RewindAnswers();
